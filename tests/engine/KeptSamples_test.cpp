#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/KeptSamples.h"
#include "engine/Passes.h"
#include "output/Export.h"
#include "plot/InfoLines.h"
#include "support/PlotFixture.h"

namespace {

class TableOutput : public OutputStream {
  public:
    bool Write(const char* data, uint32_t size) override {
        bytes.append(data, size);
        return true;
    }
    std::string bytes;
};

// What a user sees after the passes: the picture (pixels, pixel writes, texts), the curve-info
// lines without their times, the value table and every message box, traces included.
struct Seen {
    std::vector<QColor> pixels;
    long pixelWrites = 0;
    std::vector<std::string> lines;
    std::string table;
    std::vector<std::string> boxes;
};

void ExpectSameAsEvaluated(const Seen& kept, const Seen& evaluated, const std::string& label) {
    EXPECT_TRUE(kept.pixels == evaluated.pixels) << label;
    EXPECT_EQ(kept.pixelWrites, evaluated.pixelWrites) << label;
    EXPECT_EQ(kept.lines, evaluated.lines) << label;
    EXPECT_TRUE(kept.table == evaluated.table) << label;
    EXPECT_EQ(kept.boxes, evaluated.boxes) << label;
}

// What changes after the range pass, before the drawing pass and the export.
enum class Change { None, MinX, Count, Formula, AutoScaleY, Trace };

struct KeptCase {
    const char* formula;
    double minX;
    double maxX;
    uint32_t iterations;
    int stopAfter;           // a key at this poll of the range pass; 0: none
    StopReach reach;         // how far that stop reaches
    Change change;           //
    bool trace;              // the evaluation trace on from the start
    uint64_t bound;          // 0: the usual one
    uint64_t keptBefore;     // the samples the later passes take as kept; kAll: every one measured
    uint32_t pollEvery = 0;  // the poll is asked after every this many samples (0: after each)
    uint64_t narrow = 0;     // past the bound, floats are kept up to this many samples (0: none)
    int settles = 0;         // kNoFloats, or which blocks of floats the drawing pass maps itself
    bool unscaledY = false;  // Y not scaled to the window
};

// How the drawing pass draws the blocks of floats: it has none, maps every one of them itself,
// evaluates some of them again, or every one of them.
constexpr int kNoFloats = 0;
constexpr int kMapped = 1;
constexpr int kMixed = 2;
constexpr int kEvaluated = 3;

int Settles(const NarrowDrawing& drawing) {
    if (drawing.evaluated == 0) {
        return drawing.mapped == 0 ? kNoFloats : kMapped;
    }
    return drawing.mapped == 0 ? kEvaluated : kMixed;
}

constexpr uint64_t kAll = UINT64_MAX;

constexpr StopReach kWindow = StopReach::RangeToDrawing;
constexpr StopReach kEvery = StopReach::EveryLaterPass;
constexpr Change kNone = Change::None;

// A formula whose operands stack deeper than a block's rows: evaluated one sample at a time.
std::string DeepFormula() {
    std::string text = "LOG(X)";
    for (int i = 0; i < 40; ++i) {
        text = "X-(" + text + ")";
    }
    return text;
}
const std::string kDeep = DeepFormula();

const KeptCase kCases[] = {
    // every function, undefined regions, poles, infinities and overflows
    {"2SIN(X)*X", -100, 100, 1000, 0, kWindow, kNone, false, 0, kAll},
    {"LOG(X)+X/2", -10, 10, 999, 0, kWindow, kNone, false, 0, kAll},
    {"SQRT(X)*ARCSIN(X/10)-ARCCOS(X/5)", -12, 12, 700, 0, kWindow, kNone, false, 0, kAll},
    {"1/X+X/0", -5, 5, 10, 0, kWindow, kNone, false, 0, kAll},
    {"EXP(X)*1000000000+EXP(X*X)", -30, 30, 600, 0, kWindow, kNone, false, 0, kAll},
    {"ARCSINH(X)+ARCCOSH(X)+ARCTANH(X/3)", -4, 4, 800, 0, kWindow, kNone, false, 0, kAll},
    {"TAN(X)-CTAN(X)+ARCTAN(X)", -7, 7, 900, 0, kWindow, kNone, false, 0, kAll},
    {"SINH(X)/COSH(X)-TANH(X)+ABS(X)*COS(X)", -20, 20, 500, 0, kWindow, kNone, false, 0, kAll},
    {"LOG(SQRT(X))+LOG(0-X)", -3, 3, 300, 0, kWindow, kNone, false, 0, kAll},
    {kDeep.c_str(), -9, 9, 90, 0, kWindow, kNone, false, 0, kAll},
    // a stopped range pass: the window's drawing stops where it stopped, its export does not
    {"LOG(X)*SIN(X)", -50, 50, 1000, 130, kWindow, kNone, false, 0, 130},
    {"LOG(X)*SIN(X)", -50, 50, 1000, 64, kWindow, kNone, false, 0, 64},
    {"SQRT(X)", -3, 3, 600, 1, kEvery, kNone, false, 0, 1},
    {"SQRT(X)", -3, 3, 600, 299, kEvery, kNone, false, 0, 299},
    // a poll asked now and then, as the page's: the stop lands on its samples
    {"LOG(X)*SIN(X)", -50, 50, 1000, 3, kWindow, kNone, false, 0, 192, 64},
    {"SQRT(X)", -3, 3, 600, 5, kEvery, kNone, false, 0, 80, 16},
    {"SQRT(X)", -3, 3, 600, 2, kEvery, kNone, false, 0, kAll, 1024},
    // a change between the range pass and the later passes: nothing kept is taken
    {"SQRT(X)+LOG(X)", -2, 2, 400, 0, kWindow, Change::MinX, false, 0, 0},
    {"SQRT(X)+LOG(X)", -2, 2, 400, 0, kWindow, Change::Count, false, 0, 0},
    {"SQRT(X)+LOG(X)", -2, 2, 400, 77, kWindow, Change::Formula, false, 0, 0},
    {"SQRT(X)+LOG(X)", -2, 2, 400, 0, kWindow, Change::AutoScaleY, false, 0, 0},
    {"SQRT(X)+LOG(X)", -2, 2, 400, 0, kWindow, Change::Trace, false, 0, 0},
    // with the trace on every pass evaluates and shows its boxes
    {"SIN(LOG(X))", -1, 2, 6, 0, kWindow, kNone, true, 0, 0},
    {"SIN(LOG(X))", -1, 2, 6, 3, kEvery, kNone, true, 0, 0},
    // the bound: counts just under it, at it and over it (X walks whole numbers here)
    {"LOG(X-100)*SQRT(150-X)", 0, 199, 199, 0, kWindow, kNone, false, 200, 199},
    {"LOG(X-100)*SQRT(150-X)", 0, 200, 200, 0, kWindow, kNone, false, 200, 200},
    {"LOG(X-100)*SQRT(150-X)", 0, 201, 201, 0, kWindow, kNone, false, 200, 200},
    {"LOG(X-100)*SQRT(150-X)", 0, 1000, 1000, 0, kWindow, kNone, false, 200, 200},
    {"LOG(X-100)*SQRT(150-X)", 0, 1000, 1000, 0, kWindow, kNone, false, 1, 1},
    {"LOG(X-100)*SQRT(150-X)", 0, 1000, 1000, 0, kWindow, kNone, false, 64, 64},
    {"LOG(X-100)*SQRT(150-X)", 0, 1000, 1000, 500, kEvery, kNone, false, 200, 200},
    // past the bound, floats: counts just under, at and over their bound
    {"LOG(X-100)*SQRT(150-X)", 0, 198, 198, 0, kWindow, kNone, false, 64, kAll, 0, 200, kMapped},
    {"LOG(X-100)*SQRT(150-X)", 0, 199, 199, 0, kWindow, kNone, false, 64, kAll, 0, 200, kMapped},
    {"LOG(X-100)*SQRT(150-X)", 0, 200, 200, 0, kWindow, kNone, false, 64, 200, 0, 200, kMapped},
    {"LOG(X-100)*SQRT(150-X)", 0, 201, 201, 0, kWindow, kNone, false, 64, 200, 0, 200, kMapped},
    {"LOG(X-100)*SQRT(150-X)", 0, 1000, 1000, 0, kWindow, kNone, false, 64, 200, 0, 200, kMapped},
    {"2SIN(X)*X", -100, 100, 1000, 0, kWindow, kNone, false, 128, 700, 0, 700, kMapped},
    // Y on the boundaries of rows (whole numbers, one a row), float overflows, tiny Y
    {"X", 0, 301, 301, 0, kWindow, kNone, false, 64, kAll, 0, 1000, kEvaluated},
    {"EXP(X)", -100, 100, 1000, 0, kWindow, kNone, false, 64, kAll, 0, 2000, kMixed},
    {"EXP(0-X)", 80, 110, 600, 0, kWindow, kNone, false, 64, kAll, 0, 1000, kMixed},
    {"1/X+X/0", -5, 5, 1000, 0, kWindow, kNone, false, 100, kAll, 0, 2000, kMapped},
    // unscaled Y: rows past either end of the 16-bit range, and the limit of the values
    {"X*X*X", -40, 40, 800, 0, kWindow, kNone, false, 64, kAll, 0, 1000, kMixed, true},
    {"X", 32760, 32770, 640, 0, kWindow, kNone, false, 64, kAll, 0, 1000, kMixed, true},
    // a stopped range pass, a change between the passes, a block across two pieces of floats
    {"SQRT(X)", -3, 3, 600, 10, kEvery, kNone, false, 64, 160, 16, 1000, kMapped},
    {"LOG(X)*SIN(X)", -50, 50, 1000, 7, kWindow, kNone, false, 64, 448, 64, 1000, kMapped},
    {"SQRT(X)+LOG(X)", -2, 2, 400, 0, kWindow, Change::MinX, false, 64, 0, 0, 1000, kNoFloats},
    {"SIN(X)", 0, 9, static_cast<uint32_t>(kNarrowPiece) + 100, 0, kWindow, kNone, false, 100, kAll,
     0, kNarrowPiece + 200, kMixed},
};

class KeptSamplesTest : public PlotTest {
  protected:
    void TearDown() override {
        SetKeptSamplesBound(0);
        SetNarrowSamplesBound(0);
        KeepNarrowSamples(false);
        RefuseKeptRoom(false);
        SetStopReach(StopReach::RangeToDrawing);
        PlotTest::TearDown();
    }

    // The last pixel set before each drawing pass is one the passes never set, so that the
    // first sample is judged against the same pixel on both paths.
    static void AnchorLastPixel() {
        const _PrefsStruct saved = gPrefs;
        gPrefs.bAutoScaleX = 0;
        gPrefs.bAutoScaleY = 0;
        RasterCanvas anchor(1, 1);
        const QRect rect = {0, 0, 400, 300};
        PrepareForScaling(&anchor, &rect);
        MapAndDraw(9000, -9000, 0);
        gPrefs = saved;
    }

    static void ApplyChange(Change change) {
        switch (change) {
            case Change::None:
                break;
            case Change::MinX:
                gPrefs.MinX += 0.5;
                ComputeDeltaX();
                break;
            case Change::Count:
                gPrefs.Iterations += 1;
                ComputeDeltaX();
                break;
            case Change::Formula:
                ParseFormula("LOG(X)+SQRT(X)");
                break;
            case Change::AutoScaleY:
                gPrefs.bAutoScaleY = 0;
                break;
            case Change::Trace:
                gPrefs.bEnableEvalDebug = 1;
                break;
        }
    }

    int measured = 0;  // samples of the last range pass
    int settles = kNoFloats;

    // The passes of one case, with samples kept or with no room to keep them.
    Seen RunPasses(const KeptCase& c, bool roomToKeep, uint64_t* kept) {
        ResetToStartState();
        SetKeptSamplesBound(c.bound);
        SetNarrowSamplesBound(c.narrow);
        KeepNarrowSamples(c.narrow != 0);
        RefuseKeptRoom(!roomToKeep);
        SetStopReach(c.reach);
        MessageCapture capture;
        ParseFormula(c.formula);
        SetRange(c.minX, c.maxX, c.iterations);
        gPrefs.bEnableEvalDebug = c.trace ? 1 : 0;
        gPrefs.bAutoScaleY = c.unscaledY ? 0 : 1;
        PollEvery(c.pollEvery);
        abortAfter = c.stopAfter;
        polls = 0;
        PrecalcRangeOfY();
        abortAfter = 0;
        measured = static_cast<int>(PassSampleCount());
        ApplyChange(c.change);
        *kept = UsableNarrowSamples();
        Seen seen;
        AnchorLastPixel();
        RasterCanvas canvas(400, 300);
        const QRect client = {0, 0, 400, 300};
        DrawInThisContext(&canvas, &client);
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                seen.pixels.push_back(canvas.Pixel(x, y));
            }
        }
        seen.pixelWrites = canvas.pixelWrites();
        settles = Settles(LastNarrowDrawing());
        InfoLine lines[kMaxInfoLines];
        const int count = CurveInfoLines(lines);
        for (int i = 0; i + 2 < count; ++i) {  // the two times differ from run to run
            seen.lines.push_back(InfoLineText(lines[i]));
        }
        TableOutput table;
        ExportValues(table);
        seen.table = table.bytes;
        for (const auto& box : capture.messages()) {
            seen.boxes.push_back(box.title + "|" + box.text);
        }
        return seen;
    }
};

TEST_F(KeptSamplesTest, KeptValuesGiveWhatEvaluatingAgainGives) {
    for (const KeptCase& c : kCases) {
        const std::string label = std::string(c.formula) + " n=" + std::to_string(c.iterations) +
                                  " stop=" + std::to_string(c.stopAfter) +
                                  " change=" + std::to_string(static_cast<int>(c.change));
        uint64_t kept = 0;
        const Seen withKept = RunPasses(c, true, &kept);
        EXPECT_EQ(kept, c.keptBefore == kAll ? static_cast<uint64_t>(measured) : c.keptBefore)
            << label;
        EXPECT_EQ(settles, c.settles) << label;
        const Seen evaluated = RunPasses(c, false, &kept);
        EXPECT_EQ(kept, 0u) << label;  // without room nothing is kept, and nothing said
        EXPECT_EQ(settles, kNoFloats) << label;
        ExpectSameAsEvaluated(withKept, evaluated, label);
        EXPECT_FALSE(withKept.table.empty()) << label;
    }
}

TEST_F(KeptSamplesTest, TheUsualBoundAndARoomGivenBack) {
    ParseFormula("X");
    SetRange(0, 1, static_cast<uint32_t>(kKeptSamplesBound) + 10);
    PrecalcRangeOfY();
    EXPECT_EQ(UsableKeptSamples(), kKeptSamplesBound);
    SetRange(0, 100, 100);  // a smaller walk keeps only its own samples
    PrecalcRangeOfY();
    EXPECT_EQ(UsableKeptSamples(), 100u);
    ResetToStartState();
    EXPECT_EQ(UsableKeptSamples(), 0u);
}

}  // namespace
