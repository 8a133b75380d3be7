#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliRun.h"
#include "cli/Options.h"
#include "cli/OutputFiles.h"
#include "engine/Analize.h"
#include "engine/Passes.h"
#include "output/Export.h"
#include "plot/Draw.h"
#include "settings/Prefs.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

const std::string kTryHelp = "Try 'quorvy-plot --help' for more information.\n";
const std::string kIterationsBox = "Errore!: Numero di iterazioni Zero o Negative!\n";
const std::string kRangeBox = "Errore!: Il DeltaX e' Zero o Negativo!\n";
const std::string kEmptyBox = "Attenzione!: Espressione VUOTA!?\n";

std::vector<std::string> Files(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Keeps what an export writes.
class MemoryOutput : public OutputStream {
  public:
    std::string bytes;
    bool Write(const char* data, uint32_t size) override {
        bytes.append(data, size);
        return true;
    }
};

using RunCliTest = CliTest;

TEST_F(RunCliTest, HelpAndVersionOnStandardOutput) {
    CliResult r = RunTool({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: quorvy-plot [OPTION]... FORMULA\n", 0), 0u);
    EXPECT_NE(r.out.find("from 1 to " + std::to_string(kMaxSide) + "\n"), std::string::npos);
    EXPECT_EQ(r.err, "");
    r = RunTool({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("quorvy-plot (Quorvy) 1.0.0.1\n", 0), 0u);
}

TEST_F(RunCliTest, UnknownOptionIsAUsageErrorAndWritesNothing) {
    TempDir dir;
    const CliResult r = RunTool({"--bogus", "-o", dir.File("p.png"), "-e", dir.File("t.xls"), "X"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quorvy-plot: unknown option '--bogus'\n" + kTryHelp);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Files(dir).empty());
}

TEST_F(RunCliTest, RefusedSettingsShowTheDialogsMessagesInOrderAndWriteNothing) {
    TempDir dir;
    const std::vector<std::string> outputs = {"-o", dir.File("p.png"), "-e", dir.File("t.xls")};
    const struct {
        std::vector<std::string> settings;
        std::string err;
    } cases[] = {
        {{"--iterations", "0"}, kIterationsBox},
        {{"-n", "-5"}, kIterationsBox},
        {{"--min", "5", "--max", "4"}, kRangeBox},
        {{"--min", "5", "--max", "5"}, kRangeBox},
        {{"--max", "inf"},
         kRangeBox + "quorvy-plot: the ends of the X range (-100 and inf) must be finite\n"},
        {{"--min", "-1e308", "--max", "1e308"},
         kRangeBox + "quorvy-plot: the X range from -1e+308 to 1e+308 is too wide to step\n"},
        {{"--min", "1e16", "--max", "10000000000000002", "-n", "4"},  // X stands still
         kRangeBox + "quorvy-plot: the step (10000000000000002 - 10000000000000000) / 4 = 0.5 is "
                     "too small to move X at 10000000000000000\n"},
        {{"-n", "0", "--min", "5", "--max", "4"}, kIterationsBox + kRangeBox},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.settings;
        args.insert(args.end(), outputs.begin(), outputs.end());
        args.push_back("X");
        const CliResult r = RunTool(args);
        EXPECT_EQ(r.status, 2) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_TRUE(Files(dir).empty()) << c.err;
    }
}

TEST_F(RunCliTest, FormulaMessagesGiveStatusThreeAndTheOutputsAsTheWindowShowsThem) {
    TempDir dir;
    const struct {
        const char* formula;
        std::string err;
    } cases[] = {
        {"", kEmptyBox},
        {"   ", kEmptyBox},
        {"X+", kEmptyBox},
        {"X$", "Hey!: Che espressione hai digitato?\n"},
        {"*", kEmptyBox + kEmptyBox},
    };
    for (const auto& c : cases) {
        const CliResult r = RunTool({"-o", dir.File("p.png"), "-i", c.formula});
        EXPECT_EQ(r.status, 3) << c.formula;
        EXPECT_EQ(r.err, c.err) << c.formula;
        EXPECT_TRUE(dir.Exists("p.png"));
        EXPECT_NE(r.out.find("Tempo di disegno"), std::string::npos);
    }
}

TEST_F(RunCliTest, UnbalancedParenthesesAreRefusedAsByTheFormulaDialog) {
    TempDir dir;
    const CliResult r = RunTool({"-o", dir.File("p.png"), "SIN(X"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Errore!: Ricontrolla le parentesi\n");
    EXPECT_TRUE(Files(dir).empty());
    // the dialog counts only: a closing one before an opening one passes
    EXPECT_EQ(RunTool({"-o", dir.File("p.png"), ")X("}).status, 3);
}

TEST_F(RunCliTest, FormulaLongerThanTheDialogTakesIsAUsageError) {
    TempDir dir;
    std::string formula = "X";
    while (formula.size() < 300) {
        formula += "+X";
    }
    formula.resize(300);
    const CliResult r = RunTool({"-o", dir.File("p.png"), "-e", dir.File("t.xls"), formula});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "quorvy-plot: FORMULA has 300 characters; the formula dialog takes at most 255\n" +
                  kTryHelp);
    EXPECT_TRUE(Files(dir).empty());
}

TEST_F(RunCliTest, FormulaFromStandardInputWithTheRulesOfTheLine) {
    const std::string table = "0.000000000\t-1.000000000\n1.000000000\t2.000000000\n";
    const std::string input = "quorvy-plot: standard input: ";
    const struct {
        std::string in;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {"3X-1\n", 0, table, ""},
        {"\xef\xbb\xbf"
         "3X-1\r\n",
         0, table, ""},  // an editor's byte-order mark
        {std::string(100000, 'X'), 2, "",
         input + "the formula has 100000 characters; the formula dialog takes at most 255\n"},
        {std::string("X\0", 2), 2, "",
         input + "the formula holds a NUL byte after 'X'; a formula is text\n"},
        {"", 3, "0.000000000\t0.000000000\n1.000000000\t0.000000000\n", kEmptyBox},
    };
    for (const auto& c : cases) {
        const CliResult r =
            RunTool({"-f", "-", "-e", "-", "--min", "0", "--max", "2", "-n", "2"}, c.in);
        EXPECT_EQ(r.status, c.status) << c.in;
        EXPECT_EQ(r.out, c.out) << c.in;
        EXPECT_EQ(r.err, c.err) << c.in;
    }
}

TEST_F(RunCliTest, UnwritableFolderIsReportedByNameAndNothingIsLeft) {
    TempDir dir;
    const std::string picture = dir.File("missing/p.png");
    CliResult r = RunTool({"-o", picture, "-e", dir.File("t.xls"), "X"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, "quorvy-plot: cannot write " + picture + ": No such file or directory\n");
    EXPECT_TRUE(Files(dir).empty());
    const std::string table = dir.File("missing/t.xls");
    r = RunTool({"-o", dir.File("p.png"), "-e", table, "X"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err,
              "Errore!: Impossibile creare il file di esportazione!\nquorvy-plot: cannot create " +
                  table + ": No such file or directory\n");
    EXPECT_TRUE(Files(dir).empty());  // the picture's temporary is gone too
}

TEST_F(RunCliTest, PictureIsMovedIntoPlaceWithNoTemporaryLeft) {
    TempDir dir;
    dir.Write("p.png", "old");
    const CliResult r = RunTool({"-o", dir.File("p.png"), "-s", "100x50", "X"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Files(dir), std::vector<std::string>{"p.png"});
    EXPECT_EQ(dir.Read("p.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ((fs::status(dir.File("p.png")).permissions() & fs::perms::owner_read),
              fs::perms::owner_read);
}

TEST_F(RunCliTest, FailedWritesGiveStatusFourAndKeepWhatTheTableGot) {
    TempDir dir;
    // a device is written in place, not replaced
    fs::create_symlink("/dev/full", dir.File("full.png"));
    CliResult r = RunTool({"-o", dir.File("full.png"), "X"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err,
              "quorvy-plot: cannot write " + dir.File("full.png") + ": No space left on device\n");
    EXPECT_TRUE(fs::is_character_file(dir.File("full.png")));
    r = RunTool({"-e", "/dev/full", "X"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err,
              "Errore!: Errore di scrittura: il file esportato e' incompleto!\n"
              "quorvy-plot: /dev/full: No space left on device\n");
    // a failed picture does not keep the table from being written
    r = RunTool({"-o", dir.File("no/p.png"), "-e", dir.File("t.xls"), "X"});
    EXPECT_EQ(r.status, 4);
}

TEST_F(RunCliTest, ExportBytesAreTheProgramsExport) {
    TempDir dir;
    const CliResult r = RunTool(
        {"-e", dir.File("t.xls"), "--min", "-2", "--max", "2", "-n", "8", "-d", ",", "LOG(X)"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // the same settings through the program's own export
    ResetToStartState();
    gPrefs.MinX = -2;
    gPrefs.MaxX = 2;
    gPrefs.Iterations = 8;
    gPrefs.DecimalPoint[0] = ',';
    ComputeDeltaX();
    ParseFormulaText("LOG(X)");
    MemoryOutput expected;
    ASSERT_EQ(ExportValues(expected), ExportResult::Completed);
    EXPECT_EQ(dir.Read("t.xls"), expected.bytes);
    // and as worked out by hand
    EXPECT_EQ(dir.Read("t.xls").substr(0, 40), "-2,000000000\tN.D.\n-1,500000000\tN.D.\n-1,0");
    EXPECT_NE(dir.Read("t.xls").find("\n1,000000000\t0,000000000\n1,500000000\t0,405465108\n"),
              std::string::npos);
}

TEST_F(RunCliTest, ExportToStandardOutput) {
    const CliResult r = RunTool({"-e", "-", "--min", "0", "--max", "2", "-n", "2", "3X-1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0.000000000\t-1.000000000\n1.000000000\t2.000000000\n");
}

TEST_F(RunCliTest, PngToStandardOutput) {
    const CliResult r = RunTool({"-o", "-", "-s", "40x30", "X"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(r.out.substr(16, 8), std::string("\0\0\0\x28\0\0\0\x1e", 8));  // 40 x 30
}

TEST_F(RunCliTest, InfoLinesAsThePanelWritesThem) {
    const CliResult r = RunTool({"-i", "--min", "0", "--max", "1", "-n", "10", "X"});
    EXPECT_EQ(r.status, 0);
    // eleven samples from 0 to 0.9999999999999999; Y over 354 rows
    const std::string head =
        "Min Y           0.0000\tin X =    0.0000\n"
        "Max Y           1.0000\tin X =    1.0000\n"
        "intervallo Y      1.0000 \n"
        "Fatt.Scala Y    0.0028 \n"
        "Tempo di disegno 0.";
    EXPECT_EQ(r.out.substr(0, head.size()), head);
    EXPECT_NE(r.out.find("\nTempo di Export 0.00\n"), std::string::npos);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 6);
}

TEST_F(RunCliTest, InfoWithoutAutomaticYScalingSaysWhyOnStandardError) {
    const CliResult r = RunTool({"-i", "--no-autoscale-y", "X"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err,
              "quorvy-plot: le Info sono disponibili solo se attivi AutoScala Y (the Y facts need "
              "--autoscale-y)\n");
    EXPECT_EQ(r.out.rfind("Tempo di disegno ", 0), 0u);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2);
}

TEST_F(RunCliTest, IniFileIsReadNeverWrittenAndOptionsOverrideIt) {
    TempDir dir;
    const std::string ini =
        "[Quorvy]\r\nExpression=X/2\r\nMinX=0\r\nMaxX=4\r\nIterations=4\r\nDecimalPoint=,\r\n"
        "bEnableParsingDebug=1\r\nbAutoScaleY=0\r\n";
    dir.Write("Quorvy.ini", ini);
    const auto written = fs::last_write_time(dir.File("Quorvy.ini"));
    CliResult r = RunTool({"--ini", dir.File("Quorvy.ini"), "-e", "-"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");  // the trace switch of the file stays off
    EXPECT_EQ(r.out,
              "0,000000000\t0,000000000\n1,000000000\t0,500000000\n2,000000000\t1,000000000\n"
              "3,000000000\t1,500000000\n");
    r = RunTool({"--ini", dir.File("Quorvy.ini"), "--max", "2", "-d", ".", "-e", "-", "3X"});
    EXPECT_EQ(r.out,
              "0.000000000\t0.000000000\n0.500000000\t1.500000000\n"
              "1.000000000\t3.000000000\n1.500000000\t4.500000000\n");
    r = RunTool({"--ini", dir.File("Quorvy.ini"), "-i"});
    EXPECT_EQ(r.err.find("quorvy-plot: le Info sono disponibili"), 0u);  // AutoScale Y is off
    EXPECT_EQ(dir.Read("Quorvy.ini"), ini);
    EXPECT_EQ(fs::last_write_time(dir.File("Quorvy.ini")), written);
    EXPECT_EQ(Files(dir), std::vector<std::string>{"Quorvy.ini"});
}

TEST_F(RunCliTest, IniFileWithoutAFormulaDrawsThePictureForNoFormula) {
    TempDir dir;
    dir.Write("q.ini", "[Quorvy]\r\nMinX=-10\r\n");
    const CliResult r = RunTool({"--ini", dir.File("q.ini"), "-i", "-e", dir.File("t.xls")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // nothing parsed, so no range pass: the panel shows the values at start
    EXPECT_EQ(r.out.rfind("Min Y           0.0000\tin X =    0.0000\n", 0), 0u);
    EXPECT_EQ(dir.Read("t.xls").substr(0, 28), "-10.000000000\t0.000000000\n-9");
}

TEST_F(RunCliTest, MissingIniFileIsAUsageError) {
    TempDir dir;
    const CliResult r = RunTool({"--ini", dir.File("none.ini"), "-e", dir.File("t.xls")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "quorvy-plot: cannot read " + dir.File("none.ini") + ": No such file or directory\n");
    EXPECT_EQ(Files(dir).size(), 0u);
    // what gives its bytes once is refused
    EXPECT_EQ(RunTool({"--ini", "/dev/null", "-i"}).err,
              "quorvy-plot: cannot read /dev/null: not a regular file\n");
}

TEST_F(RunCliTest, TracesOnlyWhenAskedForAndThenNotCountedAsMessages) {
    CliResult r = RunTool({"-i", "X"});
    EXPECT_EQ(r.err, "");
    r = RunTool({"--trace-parse", "-e", "/dev/null", "X"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, " Entering Parser:  1 : X\n It is a simple X:  1 : X\n");
    r = RunTool({"--trace-parse", "-e", "/dev/null", "X+"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find(kEmptyBox), std::string::npos);
    r = RunTool({"--trace-eval", "-e", "/dev/null", "-n", "1", "ABS(X)"});
    EXPECT_EQ(r.status, 0);
    // the range pass and the export each evaluate the one sample
    EXPECT_EQ(r.err,
              "before calling CalcOnToken in Evaluate_SubTree (g_x) 1 : ABS of -100.000000\n"
              "switching in CalcOnToken 2 : ABS of -100.000000\n"
              "exiting CalcOnToken  2 : 100.000000\n"
              "before calling CalcOnToken in Evaluate_SubTree (g_x) 1 : ABS of -100.000000\n"
              "switching in CalcOnToken 2 : ABS of -100.000000\n"
              "exiting CalcOnToken  2 : 100.000000\n");
}

TEST_F(RunCliTest, DontDrawKeepsTheRangeAndTheScale) {
    const CliResult r = RunTool({"-i", "--dont-draw", "--min", "0", "--max", "1", "-n", "10", "X"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Fatt.Scala Y    0.0028 \n"), std::string::npos);
}

TEST_F(RunCliTest, InterruptStopsThePassAndEveryPassAfterItAtTheSameSample) {
    PassMonitor monitor(stderr, false);
    BeginPass(PassKind::Range);
    EXPECT_EQ(PassSampleDone(), 0);
    EXPECT_EQ(PassSampleDone(), 0);
    RequestInterrupt();
    EXPECT_EQ(PassSampleDone(), 1);  // the third sample
    EXPECT_EQ(PassStoppedAt(), 3u);
    for (const PassKind later : {PassKind::Drawing, PassKind::Export}) {
        BeginPass(later);
        EXPECT_EQ(PassSampleDone(), 0);
        EXPECT_EQ(PassSampleDone(), 0);
        EXPECT_EQ(PassSampleDone(), 1);
        EXPECT_EQ(PassSampleDone(), 1);
    }
}

TEST_F(RunCliTest, WithoutInterruptThePollNeverStops) {
    PassMonitor monitor(stderr, false);
    BeginPass(PassKind::Export);
    for (int i = 0; i < 100000; ++i) {
        ASSERT_EQ(PassSampleDone(), 0);
    }
    EXPECT_EQ(PassStoppedAt(), 0u);
}

TEST_F(RunCliTest, AnInterruptedRunWritesWhatItDidAndSays130) {
    TempDir dir;
    RequestInterrupt();  // arrives before the first sample
    const CliResult r = RunTool({"-o", dir.File("p.png"), "-e", dir.File("t.xls"), "-i", "X"});
    EXPECT_EQ(r.status, 130);
    EXPECT_EQ(r.err, "quorvy-plot: stopped by Ctrl+C: only the first 1 sample is in " +
                         dir.File("p.png") + ", " + dir.File("t.xls") + ", the curve facts\n");
    EXPECT_EQ(dir.Read("t.xls"), "-100.000000000\t-100.000000000\n");  // one sample
    EXPECT_TRUE(dir.Exists("p.png"));
    EXPECT_NE(r.out.find("Max Y        -100.0000\tin X = -100.0000\n"), std::string::npos);
}

// The names of open streams, directly or through a link, and names that only look like one.
TEST(StreamNamedTest, StreamsByTheirNamesAndLinks) {
    TempDir dir;
    fs::create_symlink("/dev/stderr", dir.File("err.png"));
    fs::create_symlink("/proc/self/fd/7", dir.File("seven"));
    const struct {
        std::string path;
        int fd;
    } rows[] = {
        {"/dev/stdin", 0},        {"/dev/stdout", 1},
        {"/dev/stderr", 2},       {"/dev/fd/1", 1},
        {"/proc/self/fd/12", 12}, {dir.File("err.png"), 2},
        {dir.File("seven"), 7},   {"/dev/fd/", -1},
        {"/dev/fd/1x", -1},       {"/dev/fd/12345678901", -1},
        {"/dev/stdout2", -1},     {"/dev/null", -1},
        {dir.File("p.png"), -1},  {"/proc/self/fd/-1", -1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(StreamNamed(row.path), row.fd) << row.path;
    }
}

}  // namespace
