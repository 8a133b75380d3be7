#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "commands/Commands.h"
#include "settings/SetGetD.h"
#include "settings/Settings.h"
#include "support/MessageCapture.h"
#include "plot/Draw.h"
#include "support/Formula.h"

namespace {

const std::string kIterations = "Numero di iterazioni Zero o Negative!";
const std::string kRange = "Il DeltaX e' Zero o Negativo!";

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetToStartState();
        TempPrefs = gPrefs;
    }
    QWnd dialog = reinterpret_cast<QWnd>(0x77);
};

struct CheckCase {
    double minX;
    double maxX;
    int32_t iterations;
    std::vector<std::string> messages;
};

TEST_F(SettingsTest, ChecksShowTheirMessagesInOrderAndCommitNothing) {
    const CheckCase cases[] = {
        {-100, 100, 0, {kIterations}},
        {-100, 100, -5, {kIterations}},
        {5, 5, 10, {kRange}},
        {5, -5, 10, {kRange}},
        {0, 0, 10, {kRange}},  // two words read as 0 and 0
        {5, -5, 0, {kIterations, kRange}},
        {1e15, 1e15 + 1, 10000, {kRange}},  // the step could not advance X
        {-1e308, 1e308, 10, {kRange}},
    };
    for (const auto& c : cases) {
        MessageCapture capture;
        TempPrefs.MinX = c.minX;
        TempPrefs.MaxX = c.maxX;
        EXPECT_EQ(CheckAndCommitSettings(dialog, c.iterations), 0);
        EXPECT_EQ(capture.texts(), c.messages) << c.minX << " " << c.maxX << " " << c.iterations;
        for (const auto& m : capture.messages()) {
            EXPECT_EQ(m.title, "Errore!");
            EXPECT_EQ(m.owner, dialog);
            EXPECT_EQ(m.style, 0);
        }
        EXPECT_EQ(gPrefs.MinX, -100.0);
        EXPECT_EQ(gPrefs.MaxX, 100.0);
        EXPECT_EQ(gPrefs.Iterations, 10000u);
        EXPECT_EQ(g_DeltaX, 0.02);
    }
}

// A change of view is a new range given as the dialog's OK gives it; its steps count from the
// range the change began on, and Reset view returns to the range last set in Settings.
TEST_F(SettingsTest, ViewChangesCommitAsTheDialogDoes) {
    const struct {
        double column;
        double factor;
        double pan;
        std::vector<std::string> messages;
        double minX;  // the range afterwards
        double maxX;
    } cases[] = {
        {200, 2, 0, {}, -50, 50},
        {0, 1, 40, {}, -120, 80},           // from the start of the change, not -50..50
        {0, 1e18, 0, {kRange}, -100, 100},  // the step would no longer move X
        {0, 0, 0, {kRange}, -100, 100},     // no finite range
        {400, 1.0 / 4, 0, {}, -700, 100},   // zoomed out around the right edge
    };
    gPrefs.MinX = 1;
    gPrefs.MaxX = 2;
    NoteSettingsRange();
    for (const auto& c : cases) {
        MessageCapture capture;
        gPrefs.MinX = -100;
        gPrefs.MaxX = 100;
        BeginViewChange();
        EXPECT_EQ(ChangeView(c.column, 400, c.factor, c.pan), c.messages.empty()) << c.factor;
        EXPECT_EQ(capture.texts(), c.messages) << c.factor;
        EXPECT_EQ(gPrefs.MinX, c.minX) << c.factor;
        EXPECT_EQ(gPrefs.MaxX, c.maxX) << c.factor;
        EXPECT_EQ(gPrefs.Iterations, 10000u);
        EXPECT_EQ(g_DeltaX, (c.maxX - c.minX) / 10000);
    }
    EXPECT_TRUE(ResetView());
    EXPECT_EQ(gPrefs.MinX, 1.0);
    EXPECT_EQ(gPrefs.MaxX, 2.0);
}

// The value under a column: the evaluator's, undefined where the formula is, with no trace and
// the evaluator's flags as they were.
TEST_F(SettingsTest, TheValueUnderAColumnLeavesThePlotAsItWas) {
    const struct {
        const char* formula;
        double column;
        bool defined;
        double x;
        double y;
    } cases[] = {
        {"X*X", 300, true, 50, 2500},
        {"LOG(X)", 300, true, 50, std::log(50.0)},
        {"LOG(X)", 100, false, -50, 0},
        {"1/X", 200, false, 0, 0},
    };
    gPrefs.bEnableEvalDebug = 1;
    for (const auto& c : cases) {
        ParseFormula(c.formula);
        MessageCapture capture;
        g_x = 7;
        g_fEvalError = 0;
        double x = 0;
        double y = 0;
        EXPECT_EQ(ValueAtColumn(c.column, 400, &x, &y), c.defined) << c.formula;
        EXPECT_EQ(x, c.x) << c.formula;
        if (c.defined) {
            EXPECT_EQ(y, c.y) << c.formula;
        }
        EXPECT_TRUE(capture.messages().empty()) << c.formula;
        EXPECT_EQ(gPrefs.bEnableEvalDebug, 1);
        EXPECT_EQ(g_x, 7.0);
        EXPECT_EQ(g_fEvalError, 0);
    }
}

TEST_F(SettingsTest, ValidValuesCommitTheWholeRecord) {
    MessageCapture capture;
    TempPrefs.MinX = -10;
    TempPrefs.MaxX = 10;
    TempPrefs.bDontDraw = 1;
    std::strcpy(TempPrefs.DecimalPoint, ",");
    EXPECT_EQ(CheckAndCommitSettings(dialog, 1000), 1);
    EXPECT_TRUE(capture.messages().empty());
    EXPECT_EQ(gPrefs.MinX, -10.0);
    EXPECT_EQ(gPrefs.Iterations, 1000u);
    EXPECT_EQ(gPrefs.bDontDraw, 1);
    EXPECT_STREQ(gPrefs.DecimalPoint, ",");
    EXPECT_EQ(g_DeltaX, 0.02);
}

TEST_F(SettingsTest, CheckBoxIdsFollowTheRecordOrder) {
    EXPECT_EQ(SwitchForId(1011), &TempPrefs.bEnableParsingDebug);
    EXPECT_EQ(SwitchForId(1012), &TempPrefs.bEnableEvalDebug);
    EXPECT_EQ(SwitchForId(1013), &TempPrefs.bAutoScaleX);
    EXPECT_EQ(SwitchForId(1014), &TempPrefs.bAutoScaleY);
    EXPECT_EQ(SwitchForId(1015), &TempPrefs.bDontDraw);
    EXPECT_EQ(SwitchForId(1016), &TempPrefs.bSaveWinPos);
    EXPECT_EQ(SwitchForId(1010), nullptr);
    EXPECT_EQ(SwitchForId(1017), nullptr);
}

TEST_F(SettingsTest, TogglingTwiceRestoresAndOddValuesBecomeZero) {
    ToggleSwitch(1013);
    EXPECT_EQ(TempPrefs.bAutoScaleX, 0);
    ToggleSwitch(1013);
    EXPECT_EQ(TempPrefs.bAutoScaleX, 1);
    TempPrefs.bDontDraw = 7;
    ToggleSwitch(1015);
    EXPECT_EQ(TempPrefs.bDontDraw, 0);
    ToggleSwitch(1004);  // no such box: nothing happens
    EXPECT_EQ(TempPrefs.bAutoScaleY, 1);
}

// Each field as the dialog opens on the defaults, a text typed into it, and the field after OK
// read it (the count goes to the check, not into the working copy).
TEST_F(SettingsTest, FieldsShowTheWorkingCopyAndReadBackAsOkReadsThem) {
    const struct {
        int id;
        const char* shown;
        const char* typed;
        const char* after;
    } cases[] = {
        {1001, "1.000000e+02", "1234567890123456789012345678999", "1.234568e+28"},  // 29 read
        {1002, "-1.000000e+02", " -2.5e1xyz", "-2.500000e+01"},
        {1003, "10000", "  42abc", "10000"},
        {1005, ".", ",;", ","},
        {1015, "0", "1", "1"},
        {1013, "1", "yes", "0"},
        {1016, "0", "0", "0"},
    };
    OpenSettings();
    int32_t iterations = 0;
    for (const auto& c : cases) {
        const SettingsField* field = SettingsFieldForId(c.id);
        ASSERT_NE(field, nullptr) << c.id;
        char text[kFieldBufferSize];
        SettingsFieldText(*field, text);
        EXPECT_STREQ(text, c.shown) << c.id;
        ReadSettingsFieldText(*field, c.typed, &iterations);
        SettingsFieldText(*field, text);
        EXPECT_STREQ(text, c.after) << c.id;
    }
    EXPECT_EQ(iterations, 42);
    EXPECT_EQ(SettingsFieldForId(1004), nullptr);
    for (const SettingsField& field : kSettingsFields) {
        EXPECT_EQ(IsSwitchField(field), field.id > 1010) << field.id;
    }
}

TEST(SetGetD, FieldTexts) {
    char buffer[kFieldBufferSize];
    FormatFieldDouble(buffer, 100);
    EXPECT_STREQ(buffer, "1.000000e+02");
    FormatFieldDouble(buffer, -100);
    EXPECT_STREQ(buffer, "-1.000000e+02");
    FormatFieldDouble(buffer, 0.123456789);
    EXPECT_STREQ(buffer, "1.234568e-01");
    EXPECT_EQ(ParseFieldDouble(buffer), 0.1234568);
    FormatFieldLong(buffer, 10000);
    EXPECT_STREQ(buffer, "10000");
    FormatFieldLong(buffer, -5);
    EXPECT_STREQ(buffer, "-5");
}

TEST(SetGetD, LeadingNumbers) {
    const struct {
        const char* text;
        double number;
        int32_t integer;
    } cases[] = {
        {"12.7", 12.7, 12},
        {" 25", 25, 25},
        {"-3e2x", -300, -3},
        {"word", 0, 0},
        {"", 0, 0},
        {"+8", 8, 8},
        {"99999999999", 99999999999.0, INT32_MAX},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseFieldDouble(c.text), c.number) << c.text;
        EXPECT_EQ(ParseFieldLong(c.text), c.integer) << c.text;
    }
}

}  // namespace
