#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "platform/CommonPortable.h"
#include "settings/Prefs.h"
#include "settings/W_prefs.h"
#include "support/TempDir.h"
#include "plot/Draw.h"

namespace {

const std::string kDefaultFile =
    "[Quorvy]\r\n"
    "Expression=\r\n"
    "MinX=-100.000\r\n"
    "MaxX=100.000\r\n"
    "Iterations=10000\r\n"
    "DecimalPoint=.\r\n"
    "bEnableParsingDebug=0\r\n"
    "bEnableEvalDebug=0\r\n"
    "bAutoScaleX=1\r\n"
    "bAutoScaleY=1\r\n"
    "bDontDraw=0\r\n"
    "bSaveWinPos=0\r\n";

class PrefsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetProfileDirectory(dir.path().c_str());
        ResetToStartState();
    }
    void TearDown() override { SetProfileDirectory("."); }

    void WriteIni(const std::string& body) { dir.Write(kIniFileName, "[Quorvy]\r\n" + body); }
    std::string Ini() const { return dir.Read(kIniFileName); }

    TempDir dir;
};

TEST_F(PrefsFileTest, NoFileKeepsTheDefaults) {
    EXPECT_EQ(ReadPreferences(), 1);
    EXPECT_STREQ(gPrefs.UserFnStr, "");
    EXPECT_EQ(gPrefs.MinX, -100.0);
    EXPECT_EQ(gPrefs.MaxX, 100.0);
    EXPECT_EQ(gPrefs.Iterations, 10000u);
    EXPECT_EQ(g_DeltaX, 0.02);
    EXPECT_STREQ(gPrefs.DecimalPoint, ".");
    EXPECT_EQ(gPrefs.bAutoScaleX, 1);
    EXPECT_EQ(gPrefs.bAutoScaleY, 1);
    EXPECT_EQ(gPrefs.WPosRect.left, 40);
    EXPECT_EQ(gPrefs.WPosRect.bottom, 430);
    EXPECT_FALSE(dir.Exists(kIniFileName));
}

TEST_F(PrefsFileTest, WritesEveryKeyInOrder) {
    WritePreferences();
    EXPECT_EQ(Ini(), kDefaultFile);
}

TEST_F(PrefsFileTest, RectangleKeysOnlyWithPositionSaving) {
    gPrefs.bSaveWinPos = 1;
    gPrefs.WPosRect = {11, 22, 333, 444};
    std::strcpy(gPrefs.UserFnStr, "2SIN(X)*X");
    WritePreferences();
    std::string expected = kDefaultFile;
    expected.replace(expected.find("Expression=") + 11, 0, "2SIN(X)*X");
    expected.replace(expected.find("bSaveWinPos=0"), 13, "bSaveWinPos=1");
    expected += "Y1=22\r\nX1=11\r\nY2=444\r\nX2=333\r\n";
    EXPECT_EQ(Ini(), expected);

    InitGVars();
    gPrefs.UserFnStr[0] = '\0';
    ReadPreferences();
    EXPECT_STREQ(gPrefs.UserFnStr, "2SIN(X)*X");
    EXPECT_EQ(gPrefs.WPosRect.left, 11);
    EXPECT_EQ(gPrefs.WPosRect.top, 22);
    EXPECT_EQ(gPrefs.WPosRect.right, 333);
    EXPECT_EQ(gPrefs.WPosRect.bottom, 444);
}

TEST_F(PrefsFileTest, RectangleIgnoredWhilePositionSavingIsOffAndKeptInTheFile) {
    WriteIni("bSaveWinPos=0\r\nY1=5\r\nX1=6\r\nY2=500\r\nX2=600\r\n");
    ReadPreferences();
    EXPECT_EQ(gPrefs.WPosRect.left, InitialRect.left);
    EXPECT_EQ(gPrefs.WPosRect.top, InitialRect.top);
    EXPECT_EQ(gPrefs.WPosRect.right, InitialRect.right);
    EXPECT_EQ(gPrefs.WPosRect.bottom, InitialRect.bottom);
    WritePreferences();
    EXPECT_NE(Ini().find("Y1=5\r\nX1=6\r\nY2=500\r\nX2=600\r\n"), std::string::npos);
}

TEST_F(PrefsFileTest, ReadingThenWritingKeepsUnknownLines) {
    const std::string original =
        "; my settings\r\n"
        "[Quorvy]\r\n"
        "Expression=LOG(X)\r\n"
        "Colour=green\r\n"
        "MinX=-5.000\r\n"
        "MaxX=5.000\r\n"
        "Iterations=100\r\n"
        "DecimalPoint=,\r\n"
        "bEnableParsingDebug=0\r\n"
        "bEnableEvalDebug=0\r\n"
        "bAutoScaleX=1\r\n"
        "bAutoScaleY=0\r\n"
        "bDontDraw=0\r\n"
        "bSaveWinPos=0\r\n"
        "\r\n"
        "[Elsewhere]\r\n"
        "MinX=7\r\n";
    dir.Write(kIniFileName, original);
    ReadPreferences();
    EXPECT_STREQ(gPrefs.UserFnStr, "LOG(X)");
    EXPECT_EQ(gPrefs.MinX, -5.0);
    EXPECT_EQ(gPrefs.Iterations, 100u);
    EXPECT_STREQ(gPrefs.DecimalPoint, ",");
    EXPECT_EQ(gPrefs.bAutoScaleY, 0);
    EXPECT_EQ(g_DeltaX, 0.1);
    WritePreferences();
    EXPECT_EQ(Ini(), original);
}

struct ReadCase {
    const char* line;
    bool (*holds)();
    const char* what;
};

TEST_F(PrefsFileTest, ValuesConvertAsDocumented) {
    const ReadCase cases[] = {
        {"bAutoScaleX=2", [] { return gPrefs.bAutoScaleX == 1; }, "2 reads as on"},
        {"bAutoScaleX=-1", [] { return gPrefs.bAutoScaleX == 0; }, "-1 reads as off"},
        {"bAutoScaleX=yes", [] { return gPrefs.bAutoScaleX == 0; }, "a word reads as off"},
        {"bDontDraw= 3", [] { return gPrefs.bDontDraw == 1; }, "blank then 3 reads as on"},
        {"MinX=", [] { return gPrefs.MinX == 0.0; }, "an empty MinX is 0"},
        {"MinX=0.000", [] { return gPrefs.MinX == 0.0; }, "0.000"},
        {"MaxX=12.5abc", [] { return gPrefs.MaxX == 12.5; }, "leading number"},
        {"Iterations=250", [] { return gPrefs.Iterations == 250u; }, "count"},
        {"DecimalPoint=,;", [] { return std::strcmp(gPrefs.DecimalPoint, ",") == 0; },
         "first character only"},
        {"DecimalPoint=", [] { return gPrefs.DecimalPoint[0] == '\0'; }, "empty"},
        {"Expression=", [] { return gPrefs.UserFnStr[0] == '\0'; }, "empty formula"},
    };
    for (const auto& c : cases) {
        InitGVars();
        WriteIni(std::string(c.line) + "\r\n");
        ReadPreferences();
        EXPECT_TRUE(c.holds()) << c.what;
    }
}

TEST_F(PrefsFileTest, SwitchesAreRewrittenAsZeroOrOne) {
    WriteIni("bAutoScaleX=2\r\nbAutoScaleY=-1\r\n");
    ReadPreferences();
    WritePreferences();
    EXPECT_NE(Ini().find("bAutoScaleX=1\r\nbAutoScaleY=0\r\n"), std::string::npos);
}

TEST_F(PrefsFileTest, RangeEndsKeepThousandths) {
    gPrefs.MinX = 0.0004;
    gPrefs.MaxX = 2.5;
    WritePreferences();
    EXPECT_NE(Ini().find("MinX=0.000\r\nMaxX=2.500\r\n"), std::string::npos);
    ReadPreferences();
    EXPECT_EQ(gPrefs.MinX, 0.0);
    EXPECT_EQ(gPrefs.MaxX, 2.5);
}

TEST_F(PrefsFileTest, HugeRangeEndsAreWrittenInExponentForm) {
    gPrefs.MinX = -1e300;
    gPrefs.MaxX = 1e300;
    gPrefs.Iterations = 10;
    WritePreferences();
    EXPECT_NE(Ini().find("MinX=-1.000e+300\r\nMaxX=1.000e+300\r\n"), std::string::npos);
    InitGVars();
    ReadPreferences();
    EXPECT_EQ(gPrefs.MinX, -1e300);
    EXPECT_EQ(gPrefs.MaxX, 1e300);
}

TEST_F(PrefsFileTest, LongFormulaIsCutTo255) {
    WriteIni("Expression=" + std::string(300, 'X') + "\r\n");
    ReadPreferences();
    EXPECT_EQ(std::string(gPrefs.UserFnStr), std::string(255, 'X'));
}

TEST_F(PrefsFileTest, UnusableWalksFallBackToTheDefaults) {
    const char* files[] = {
        "Iterations=0\r\n",
        "Iterations=-5\r\n",
        "MinX=10\r\nMaxX=10\r\n",
        "MinX=10\r\nMaxX=-10\r\n",
        "MinX=abc\r\nMaxX=xyz\r\n",
        "MinX=1000000000000000\r\nMaxX=1000000000000001\r\nIterations=10000\r\n",
        "MinX=-inf\r\nMaxX=5\r\n",
        "MaxX=nan\r\n",
    };
    for (const char* file : files) {
        InitGVars();
        WriteIni(file);
        ReadPreferences();
        EXPECT_EQ(gPrefs.MinX, -100.0) << file;
        EXPECT_EQ(gPrefs.MaxX, 100.0) << file;
        EXPECT_EQ(gPrefs.Iterations, 10000u) << file;
        EXPECT_EQ(g_DeltaX, 0.02) << file;
    }
}

constexpr PrefReplaced kKept = PrefReplaced::Kept;
constexpr PrefReplaced kCount = PrefReplaced::CountOutOfRange;
constexpr PrefReplaced kSpan = PrefReplaced::SpanNotUsable;
constexpr PrefReplaced kStep = PrefReplaced::StepTooSmall;

TEST_F(PrefsFileTest, OnlyWhatIsInvalidGoesBackAndIsReported) {
    const struct {
        const char* file;
        double minX;
        double maxX;
        uint32_t iterations;
        PrefReplaced why[3];  // of MinX, MaxX, Iterations
    } cases[] = {
        {"MinX=-7\r\nMaxX=7\r\nIterations=4294967295\r\n", -7, 7, 10000, {kKept, kKept, kCount}},
        {"MinX=-7\r\nMaxX=7\r\nIterations=2147483648\r\n", -7, 7, 10000, {kKept, kKept, kCount}},
        {"MinX=-7\r\nMaxX=7\r\nIterations=99999999999999999999\r\n",
         -7,
         7,
         10000,
         {kKept, kKept, kCount}},
        {"MinX=-5\r\nMaxX=5\r\nIterations=0\r\n", -5, 5, 10000, {kKept, kKept, kCount}},
        {"MinX=-5\r\nMaxX=5\r\nIterations=-3\r\n", -5, 5, 10000, {kKept, kKept, kCount}},
        {"MinX=-7\r\nMaxX=7\r\nIterations=2147483647\r\n",
         -7,
         7,
         2147483647,
         {kKept, kKept, kKept}},
        {"MinX=5\r\nMaxX=-5\r\nIterations=20\r\n", -100, 100, 20, {kSpan, kSpan, kKept}},
        {"MinX=5\r\nMaxX=-5\r\nIterations=0\r\n", -100, 100, 10000, {kSpan, kSpan, kCount}},
        {"MinX=1e16\r\nMaxX=10000000000000002\r\nIterations=4\r\n",
         -100,
         100,
         10000,
         {kStep, kStep, kStep}},
        {"MaxX=-500\r\n", -100, 100, 10000, {kKept, kSpan, kKept}},  // a missing key is not told
    };
    const int minX = PrefIndexOf(offsetof(_PrefsStruct, MinX));
    for (const auto& c : cases) {
        InitGVars();
        WriteIni(c.file);
        PrefsReport report;
        ReadPreferences(&report);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(report.keys[minX + i].why, c.why[i]) << c.file << kPrefTable[minX + i].key;
        }
        EXPECT_EQ(gPrefs.MinX, c.minX) << c.file;
        EXPECT_EQ(gPrefs.MaxX, c.maxX) << c.file;
        EXPECT_EQ(gPrefs.Iterations, c.iterations) << c.file;
        EXPECT_EQ(g_DeltaX, (c.maxX - c.minX) / c.iterations) << c.file;
    }
}

TEST_F(PrefsFileTest, EveryValueNotUsedAsWrittenIsReportedWithWhatWasUsed) {
    const std::string longFormula(300, 'X');
    const struct {
        std::string file;
        const char* key;
        bool present;
        PrefReplaced why;
        std::string put;
    } cases[] = {
        {"MinX=12abc\r\n", "MinX", true, PrefReplaced::NotANumber, "12"},
        {"Iterations=7.5\r\n", "Iterations", true, PrefReplaced::NotAWholeNumber, "7"},
        {"bAutoScaleX=2\r\n", "bAutoScaleX", true, PrefReplaced::NotASwitch, "1"},
        {"DecimalPoint=,;\r\n", "DecimalPoint", true, PrefReplaced::NotOneCharacter, ","},
        {"Expression=" + longFormula + "\r\n", "Expression", true, PrefReplaced::TooLong,
         longFormula.substr(0, 255)},
        {"Expression=X\r\n", "Expression", true, kKept, ""},
        {"bSaveWinPos=0\r\nX1=5\r\n", "X1", true, kKept, ""},  // present, gated off, unread
        {"MinX=1\r\n", "MaxX", false, kKept, ""},
        {std::string("MinX=5\0"
                     "1\r\n",
                     9),
         "MinX", true, PrefReplaced::HoldsNul, "5"},
        {std::string("Expression=X\0Y\r\n", 16), "Expression", true, PrefReplaced::HoldsNul, "X"},
    };
    for (const auto& c : cases) {
        InitGVars();
        WriteIni(c.file);
        PrefsReport report;
        ReadPreferences(&report);
        int index = 0;
        while (std::strcmp(kPrefTable[index].key, c.key) != 0) {
            ++index;
        }
        const PrefFound& found = report.keys[index];
        EXPECT_EQ(found.present, c.present) << c.file;
        EXPECT_EQ(found.why, c.why) << c.file;
        EXPECT_EQ(found.put, c.put) << c.file;
        if (c.present) {  // the value as the file writes it
            const size_t from = c.file.find(std::string(c.key) + "=") + std::strlen(c.key) + 1;
            EXPECT_EQ(found.text, c.file.substr(from, c.file.find('\r', from) - from));
        }
    }
}

// A link carries the formula, the range with every digit, the count, and the settings that
// differ from their defaults; never the window's rectangle.
TEST_F(PrefsFileTest, LinkKeysAreTheSettingsAPlotNeeds) {
    const std::string kWalk = "MaxX\t100\nIterations\t10000\n";
    const struct {
        std::string file;
        std::string keys;
    } cases[] = {
        {"", "Expression\t\nMinX\t-100\n" + kWalk},
        {"Expression=2SIN(X)*X\r\nMinX=0.1\r\n",
         "Expression\t2SIN(X)*X\nMinX\t0.10000000000000001\n" + kWalk},
        {"DecimalPoint=,\r\nbAutoScaleY=0\r\nbSaveWinPos=1\r\nX1=5\r\n",
         "Expression\t\nMinX\t-100\n" + kWalk +
             "DecimalPoint\t,\nbAutoScaleY\t0\nbSaveWinPos\t1\n"},
    };
    for (const auto& c : cases) {
        InitGVars();
        WriteIni(c.file);
        ReadPreferences();
        EXPECT_EQ(LinkKeyLines(), c.keys) << c.file;
    }
}

TEST_F(PrefsFileTest, AHugeCountSurvivesAStartAndAnExit) {
    WriteIni("MinX=-7\r\nMaxX=7\r\nIterations=2147483647\r\n");
    ReadPreferences();
    WritePreferences();
    EXPECT_NE(Ini().find("\r\nIterations=2147483647\r\n"), std::string::npos);
    gPrefs.Iterations = 4294967295u;  // whatever the record holds is written as it is
    WritePreferences();
    EXPECT_NE(Ini().find("\r\nIterations=4294967295\r\n"), std::string::npos);
}

TEST_F(PrefsFileTest, UsableWalksAreKept) {
    WriteIni("MinX=1000000000000000\r\nMaxX=1000000000000100\r\nIterations=100\r\n");
    ReadPreferences();
    EXPECT_EQ(gPrefs.MinX, 1e15);
    EXPECT_EQ(gPrefs.Iterations, 100u);
    EXPECT_EQ(g_DeltaX, 1.0);
}

TEST(PrefsRules, WalkChecks) {
    EXPECT_FALSE(IterationsAcceptable(0));
    EXPECT_FALSE(IterationsAcceptable(-5));
    EXPECT_TRUE(IterationsAcceptable(1));
    EXPECT_TRUE(IterationsAcceptable(2147483647));
    EXPECT_FALSE(IterationsAcceptable(2147483648));
    EXPECT_TRUE(RangeAcceptable(-100, 100, 10000));
    EXPECT_FALSE(RangeAcceptable(100, 100, 10));
    EXPECT_FALSE(RangeAcceptable(100, -100, 10));
    EXPECT_FALSE(RangeAcceptable(-1e308, 1e308, 10));  // the span overflows
    EXPECT_FALSE(RangeAcceptable(1e15, 1e15 + 1, 10000));
    EXPECT_TRUE(RangeAcceptable(1e15, 1e15 + 1, 4));
    EXPECT_TRUE(RangeAcceptable(0, 1, 0));  // the count has its own message
}

}  // namespace

namespace {

TEST(PrefTable, GatedKeysStandAfterThePositionSwitch) {
    int switchRow = -1;
    for (int i = 0; i < kPrefCount; ++i) {
        const PrefDescriptor& d = kPrefTable[i];
        if (d.offset == offsetof(_PrefsStruct, bSaveWinPos)) {
            switchRow = i;
        }
        if (d.gate == PrefGate::WithPositionSaving) {
            EXPECT_GE(switchRow, 0) << d.key;
            EXPECT_EQ(d.kind, PrefKind::RectSide) << d.key;
        }
    }
}

TEST(PrefTable, EverySwitchHasItsOwnCheckBoxInRecordOrder) {
    int nextId = 1011;
    for (const PrefDescriptor& d : kPrefTable) {
        if (d.kind == PrefKind::Switch) {
            EXPECT_EQ(d.dialogId, nextId++) << d.key;
        }
    }
    EXPECT_EQ(nextId, 1017);
}

}  // namespace
