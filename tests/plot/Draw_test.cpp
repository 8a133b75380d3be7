#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/Passes.h"
#include "plot/InfoLines.h"
#include "support/PlotFixture.h"

namespace {

using RangePassTest = PlotTest;
using RenderTest = PlotTest;
using InfoPanelTest = PlotTest;

constexpr QColor kBlack = 0x00000000;
const QRect k400x300 = {0, 0, 400, 300};

TEST_F(RangePassTest, SampleCountsOfTheAccumulatedWalk) {
    const struct {
        double minX;
        double maxX;
        uint32_t iterations;
        int samples;
    } cases[] = {
        {0, 1, 10, 11}, {-10, 10, 1000, 1001},      {0, 1, 3, 3}, {-100, 100, 10000, 10001},
        {5, 6, 1, 1},   {1e15, 1e15 + 1, 10000, 1},
    };
    ParseFormula("X");
    for (const auto& c : cases) {
        SetRange(c.minX, c.maxX, c.iterations);
        EXPECT_EQ(CountRangeSamples(), c.samples) << c.minX << ".." << c.maxX;
    }
    SetRange(1, 1, 10);  // an empty range takes no sample
    EXPECT_EQ(CountRangeSamples(), 0);
    EXPECT_EQ(gMinY, kNoMinY);
    EXPECT_EQ(gMaxY, kNoMaxY);
    EXPECT_EQ(gRangeOfY, -2e120);
    EXPECT_EQ(WhereExtremesOccur().whereMinY, 1);
}

struct RangeCase {
    const char* formula;
    double minX;
    double maxX;
    uint32_t iterations;
    double minY;
    double whereMin;
    double maxY;
    double whereMax;
};

TEST_F(RangePassTest, ExtremesAndWhereTheyFirstOccur) {
    const RangeCase cases[] = {
        {"X", 0, 1, 10, 0, 0, 0.9999999999999999, 0.9999999999999999},
        {"3X", 2, 3, 1, 6, 2, 6, 2},
        {"ABS(X)", -2, 3, 5, -0.0, 0, 2, -2},
        {"", -5, 5, 10, 0, -5, 0, -5},
        {"1/X", -1, 1, 2, -1, -1, -1, -1},  // the infinity at 0 is left out
        {"LOG(X)", -10, -1, 9, kNoMinY, -10, kNoMaxY, -10},
        {"EXP(X)", 300, 301, 1, kNoMinY, 300, std::exp(300.0), 300},
        // Whole blocks of 64 defined samples (X = -64 to 63): ties within a block and across
        // blocks, zeros of both signs (ABS(0) is -0.0), blocks with undefined samples.
        {"ABS(ABS(X+32)-10)", -64, 64, 128, -0.0, -42, 85, 63},
        {"ABS(ABS(X)-20)", -64, 64, 128, -0.0, -20, 44, -64},
        {"X*0", -64, 64, 128, -0.0, -64, -0.0, -64},
        {"ABS(X)*0", -64, 64, 128, 0.0, -64, 0.0, -64},
        {"1/X", -64, 64, 128, -1, -1, 1, 1},
        {"SQRT(X)", -64, 64, 128, 0, 0, std::sqrt(63.0), 63},
    };
    for (const auto& c : cases) {
        MessageCapture quiet;
        ParseFormula(c.formula);
        SetRange(c.minX, c.maxX, c.iterations);
        PrecalcRangeOfY();
        EXPECT_EQ(gMinY, c.minY) << c.formula;
        EXPECT_EQ(std::signbit(gMinY), std::signbit(c.minY)) << c.formula;
        EXPECT_EQ(std::signbit(gMaxY), std::signbit(c.maxY)) << c.formula;
        EXPECT_EQ(WhereExtremesOccur().whereMinY, c.whereMin) << c.formula;
        EXPECT_EQ(gMaxY, c.maxY) << c.formula;
        EXPECT_EQ(WhereExtremesOccur().whereMaxY, c.whereMax) << c.formula;
        EXPECT_EQ(gRangeOfY, gMaxY - gMinY) << c.formula;
    }
}

TEST_F(RangePassTest, StopsWhenAKeyIsPressed) {
    ParseFormula("X");
    SetRange(0, 100, 100);
    abortAfter = 3;
    PrecalcRangeOfY();
    EXPECT_EQ(polls, 3);
    EXPECT_EQ(gMaxY, 2);
}

TEST_F(RangePassTest, DrawingAfterAStoppedPassShowsOnlyTheMeasuredSamples) {
    ParseFormula("SIN(X)");
    SetRange(-5, 5, 1000);
    abortAfter = 3;
    PrecalcRangeOfY();
    abortAfter = 0;
    for (int pass = 0; pass < 2; ++pass) {  // every pass until the next range pass
        polls = 0;
        RasterCanvas canvas(400, 300);
        DrawInThisContext(&canvas, &k400x300);
        EXPECT_EQ(polls, 3);
        // the three samples share column 0: the largest on row 0, the middle one inside
        EXPECT_EQ(canvas.Pixel(0, 0), pixelColor);
        EXPECT_EQ(canvas.CountPixels(pixelColor), 2);
    }
    PrecalcRangeOfY();  // a whole pass lifts the limit
    polls = 0;
    RasterCanvas canvas(400, 300);
    DrawInThisContext(&canvas, &k400x300);
    EXPECT_EQ(polls, 1001);
}

// How far a stop after the third sample of one pass reaches into a later pass of ten samples.
TEST_F(RangePassTest, AStopReachesTheLaterPassesOfItsFrontEnd) {
    using P = PassKind;
    const struct {
        StopReach reach;
        PassKind stopped;
        PassKind later;
        int laterSamples;
    } cases[] = {
        {StopReach::RangeToDrawing, P::Range, P::Drawing, 3},
        {StopReach::RangeToDrawing, P::Range, P::Export, 10},
        {StopReach::RangeToDrawing, P::Drawing, P::Drawing, 10},
        {StopReach::RangeToDrawing, P::Export, P::Drawing, 10},
        {StopReach::EveryLaterPass, P::Range, P::Export, 3},
        {StopReach::EveryLaterPass, P::Drawing, P::Export, 3},
        {StopReach::EveryLaterPass, P::Export, P::Drawing, 3},
    };
    auto samplesOfPass = [](PassKind kind) {
        BeginPass(kind);
        int samples = 1;
        while (samples < 10 && PassSampleDone() == 0) {
            ++samples;
        }
        EndPass();
        return samples;
    };
    for (const auto& c : cases) {
        SetStopReach(c.reach);
        BeginPass(PassKind::Range);  // forgets the stop of the case before
        polls = 0;
        abortAfter = 3;
        EXPECT_EQ(samplesOfPass(c.stopped), 3);
        abortAfter = 0;
        EXPECT_EQ(samplesOfPass(c.later), c.laterSamples) << static_cast<int>(c.stopped);
        EXPECT_EQ(samplesOfPass(PassKind::Range), 10);  // a range pass starts afresh
    }
    SetStopReach(StopReach::RangeToDrawing);
}

// A key seen after sample keyAt of the range pass, by a hook asked only after every spacing-th
// sample: the passes counted in blocks stop where the passes counted sample by sample stop.
struct KeyAtSample {
    uint64_t keyAt;
    uint32_t spacing;
    static int32_t Poll(void* context) {
        const auto* self = static_cast<const KeyAtSample*>(context);
        const uint64_t count = PassSampleCount();
        EXPECT_EQ(count % self->spacing, 0u) << "asked between the polls it needs";
        return self->keyAt != 0 && count >= self->keyAt ? 1 : 0;
    }
};

// The samples of a pass of 1000 samples counted in blocks of the given size.
int SamplesOfBlockPass(PassKind kind, int32_t blockSize) {
    BeginPass(kind);
    int samples = 0;
    while (samples < 1000) {
        int32_t done = 0;
        const int32_t count = std::min(blockSize, 1000 - samples);
        const bool stops = PassSamplesDone(count, &done) != 0;
        samples += done;
        if (stops) {
            break;
        }
    }
    EndPass();
    return samples;
}

TEST_F(RangePassTest, PassesInBlocksStopWhereSampleBySampleStops) {
    const struct {
        uint64_t keyAt;
        uint32_t spacing;
        int32_t block;
        int stopsAt;  // in the range pass, and so in the drawing pass
    } cases[] = {
        {0, 1, 64, 1000},    {3, 1, 64, 3},      {64, 1, 64, 64},    {65, 1, 64, 65},
        {3, 1024, 64, 1000}, {100, 16, 64, 112}, {128, 16, 64, 128}, {999, 1, 7, 999},
        {1000, 1, 64, 1000}, {500, 8, 24, 504},  {1, 1, 1000, 1},    {100, 16, 1, 112},
    };
    for (const auto& c : cases) {
        KeyAtSample key{c.keyAt, c.spacing};
        SetAbortHook(&KeyAtSample::Poll, &key, c.spacing);
        EXPECT_EQ(SamplesOfBlockPass(PassKind::Range, c.block), c.stopsAt) << c.keyAt;
        EXPECT_EQ(PassStoppedAt(), c.stopsAt < 1000 || c.keyAt == 1000 ? c.stopsAt : 0) << c.keyAt;
        key.keyAt = 0;
        EXPECT_EQ(SamplesOfBlockPass(PassKind::Drawing, c.block), c.stopsAt) << c.keyAt;
        EXPECT_EQ(SamplesOfBlockPass(PassKind::Export, c.block), 1000) << c.keyAt;
    }
    SetAbortHook(nullptr, nullptr);
    EXPECT_EQ(SamplesOfBlockPass(PassKind::Range, 64), 1000);  // nobody to ask
}

std::vector<std::string> Texts(const RasterCanvas& canvas) {
    std::vector<std::string> texts;
    for (const auto& t : canvas.texts()) {
        texts.push_back(t.text);
    }
    return texts;
}

TEST_F(RenderTest, LabelsAlongTheBottomEdge) {
    ParseFormula("X");
    SetRange(-10, 10, 1000);
    PrecalcRangeOfY();
    RasterCanvas canvas(400, 300);
    DrawInThisContext(&canvas, &k400x300);
    ASSERT_EQ(canvas.texts().size(), 3u);
    EXPECT_EQ(canvas.texts()[0].text, "xMin      -10 ");
    EXPECT_EQ(canvas.texts()[0].format, 0x28u);
    EXPECT_EQ(canvas.texts()[1].text, "xMax       10 ");
    EXPECT_EQ(canvas.texts()[1].format, 0x2Au);
    EXPECT_EQ(canvas.texts()[2].text, "delta     0.020; iter. 1000");
    EXPECT_EQ(canvas.texts()[2].format, 0x29u);
    EXPECT_EQ(canvas.texts()[2].rect.right, 400);
    EXPECT_EQ(canvas.texts()[2].rect.bottom, 300);
}

TEST_F(RenderTest, HugeRangeEndsStayInsideTheLabelBuffer) {
    SetRange(-1e200, 1e200, 10);
    RasterCanvas canvas(400, 300);
    DrawInThisContext(&canvas, &k400x300);
    ASSERT_EQ(canvas.texts().size(), 4u);
    EXPECT_EQ(canvas.texts()[0].text, "xMin  -1e+200 ");
    EXPECT_EQ(canvas.texts()[2].text, "delta 2.000e+199; iter. 10");
    for (const auto& t : canvas.texts()) {
        EXPECT_LT(t.text.size(), 100u);
    }
}

TEST_F(RenderTest, NoFormulaShowsCentredAxesAndAMessage) {
    RasterCanvas canvas(400, 300);
    DrawInThisContext(&canvas, &k400x300);
    const std::vector<std::string> expected = {"xMin     -100 ", "xMax      100 ",
                                               "delta     0.020; iter. 10000",
                                               "Nessuna funzione da visualizzare. Scusa!"};
    EXPECT_EQ(Texts(canvas), expected);
    EXPECT_EQ(canvas.texts()[3].format, 0x25u);
    EXPECT_EQ(canvas.Pixel(10, 150), kBlack);
    EXPECT_EQ(canvas.Pixel(200, 10), kBlack);
    EXPECT_EQ(canvas.Pixel(10, 149), RasterCanvas::kWhite);
}

TEST_F(RenderTest, AxesWithArrowheads) {
    gPrefs.bAutoScaleX = 0;
    gPrefs.bAutoScaleY = 0;
    gPrefs.bDontDraw = 0;
    RasterCanvas canvas(400, 300);
    DrawAxes(&canvas, &k400x300);
    for (int x = 0; x < 398; ++x) {
        ASSERT_EQ(canvas.Pixel(x, 150), kBlack) << x;
    }
    for (int y = 0; y < 300; ++y) {
        ASSERT_EQ(canvas.Pixel(200, y), kBlack) << y;
    }
    // arrowhead at the right end of the X axis and at the top of the Y axis
    for (auto [x, y] : {std::pair{399, 149},
                        {398, 148},
                        {398, 152},
                        {399, 151},
                        {199, 1},
                        {198, 2},
                        {202, 2},
                        {201, 1}}) {
        EXPECT_EQ(canvas.Pixel(x, y), kBlack) << x << "," << y;
    }
    EXPECT_EQ(canvas.Pixel(399, 140), RasterCanvas::kWhite);
    // the X axis row and six more for its arrowhead; the Y axis column from row 0 less the
    // crossing, and six more for its arrowhead
    EXPECT_EQ(canvas.CountPixels(kBlack), 400 + 6 + 299 + 6);
}

TEST_F(RenderTest, CurveIsBlueWithRedMarksOnTheXAxisRow) {
    MessageCapture quiet;
    ParseFormula("LOG(X)");
    SetRange(-10, 10, 400);
    PrecalcRangeOfY();
    RasterCanvas canvas(400, 300);
    DrawInThisContext(&canvas, &k400x300);
    int16_t axisRow;
    ASSERT_TRUE(ToCoordinate(gMinY / gScaleYFactor + 300, &axisRow));
    int red = 0;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 400; ++x) {
            if (canvas.Pixel(x, y) == OutofRangeColor) {
                ++red;
                EXPECT_EQ(y, axisRow);
                EXPECT_LE(x, 200);
            }
        }
    }
    // one column per sample from -10 to about 0, where the accumulated X may lie either side
    EXPECT_NEAR(red, 200, 1);
    EXPECT_GT(canvas.CountPixels(pixelColor), 150);
}

TEST_F(RenderTest, InvalidFormulaShowsOnlyTheLabelsAndAMessage) {
    MessageCapture quiet;
    ParseFormula("2*-X");
    PrecalcRangeOfY();
    RasterCanvas canvas(400, 300);
    DrawInThisContext(&canvas, &k400x300);
    ASSERT_EQ(canvas.texts().size(), 4u);
    EXPECT_EQ(canvas.texts()[3].text, "Funzione non valida");
    EXPECT_EQ(canvas.texts()[3].format, 0x29u);
    EXPECT_EQ(canvas.CountPixels(RasterCanvas::kWhite), 400 * 300);
}

TEST_F(RenderTest, DontDrawKeepsOnlyTheLabelsButScales) {
    ParseFormula("X");
    PrecalcRangeOfY();
    gPrefs.bDontDraw = 1;
    gScaleYFactor = 12345;
    RasterCanvas canvas(400, 300);
    DrawInThisContext(&canvas, &k400x300);
    EXPECT_EQ(canvas.texts().size(), 3u);
    EXPECT_EQ(canvas.CountPixels(RasterCanvas::kWhite), 400 * 300);
    EXPECT_DOUBLE_EQ(gScaleYFactor, gRangeOfY / 300);
}

TEST_F(RenderTest, AxesLeaveWhenZeroIsOffToTheLeftOrFarBelow) {
    ParseFormula("X");
    SetRange(1, 10, 100);
    PrecalcRangeOfY();
    RasterCanvas canvas(400, 300);
    DrawInThisContext(&canvas, &k400x300);
    EXPECT_EQ(canvas.CountPixels(kBlack), 0);

    ParseFormula("1000+SIN(X)");
    SetRange(-10, 10, 100);
    PrecalcRangeOfY();
    RasterCanvas far(400, 300);
    DrawInThisContext(&far, &k400x300);
    EXPECT_EQ(far.Pixel(200, 5), kBlack);  // the Y axis stays
    for (int x = 0; x < 190; ++x) {
        EXPECT_NE(far.Pixel(x, 299), kBlack);
    }
}

// The default window's client area.
const QRect kWindowClient = {0, 0, 382, 354};

TEST_F(RenderTest, AnAxisBeforeTheOriginHidesBothHoweverFar) {
    const struct {
        const char* formula;
        double minX;
        double maxX;
    } cases[] = {
        {"X", 1, 10},                // the Y axis column just left of the picture
        {"SIN(X)", 100000, 100020},  // the Y axis column far past the 16-bit range
        {"SIN(X)-1000", -10, 10},    // the X axis row far above the picture
        {"X-1000", -10, 10},
    };
    for (const auto& c : cases) {
        ParseFormula(c.formula);
        SetRange(c.minX, c.maxX, 1000);
        PrecalcRangeOfY();
        RasterCanvas canvas(kWindowClient.right, kWindowClient.bottom);
        DrawInThisContext(&canvas, &kWindowClient);
        EXPECT_EQ(canvas.CountPixels(kBlack), 0) << c.formula;
        EXPECT_GT(canvas.CountPixels(pixelColor), 300) << c.formula;
    }
}

TEST_F(RenderTest, AnAxisFarPastTheBottomIsLeftOutAlone) {
    ParseFormula("SIN(X)+1000");
    SetRange(-10, 10, 1000);
    PrecalcRangeOfY();
    RasterCanvas canvas(kWindowClient.right, kWindowClient.bottom);
    DrawInThisContext(&canvas, &kWindowClient);
    // the Y axis at column 191 from the bottom row to the top (the curve crosses it), and no
    // X axis: nothing black outside the Y axis and its arrowhead
    for (int y = 0; y < 354; ++y) {
        ASSERT_NE(canvas.Pixel(191, y), RasterCanvas::kWhite) << y;
        for (int x = 0; x < 382; ++x) {
            if (x < 189 || x > 193) {
                ASSERT_NE(canvas.Pixel(x, y), kBlack) << x << "," << y;
            }
        }
    }
    EXPECT_GT(canvas.CountPixels(kBlack), 340);
}

TEST_F(RenderTest, KeyStopsThePassAfterTheCurrentSample) {
    ParseFormula("X");
    PrecalcRangeOfY();
    abortAfter = 1;
    polls = 0;
    RasterCanvas canvas(400, 300);
    g_DrawingTime = -1.0;  // a pass cut short still writes its duration, in seconds
    const double before = ElapsedMilliseconds();
    DrawInThisContext(&canvas, &k400x300);
    const double around = (ElapsedMilliseconds() - before) * 0.001;
    EXPECT_EQ(polls, 1);
    EXPECT_EQ(canvas.pixelWrites(), 1);
    EXPECT_GE(g_DrawingTime, 0.0);
    EXPECT_LE(g_DrawingTime, around);
}

TEST_F(RenderTest, LastPixelCarriesOverToTheNextPass) {
    ParseFormula("X");
    SetRange(0, 1, 1);
    PrecalcRangeOfY();
    RasterCanvas first(400, 300);
    DrawInThisContext(&first, &k400x300);
    RasterCanvas second(400, 300);
    DrawInThisContext(&second, &k400x300);
    EXPECT_EQ(second.pixelWrites(), 0);
}

TEST_F(RenderTest, ForceRedrawQueuesAPaintAndRunsTheRangePass) {
    ParseFormula("X");
    const int before = InvalidateRequests();
    gMaxY = 0;
    ForceRedraw();
    EXPECT_EQ(InvalidateRequests(), before + 1);
    EXPECT_GT(gMaxY, 99.99);  // the last accumulated X lies just below 100
    EXPECT_LT(gMaxY, 100.0);
}

TEST_F(InfoPanelTest, SixLinesWithAutomaticYScaling) {
    ParseFormula("SIN(X)");
    SetRange(-4, 4, 8);  // whole X from -4 to 3
    PrecalcRangeOfY();
    gScaleYFactor = 2.0 / 300;
    g_DrawingTime = 0.123;
    g_ExportingTime = 0;
    RasterCanvas canvas(300, 300);
    const QRect client = {0, 0, 288, 270};
    DrawInfoLines(&canvas, &client);
    const std::vector<std::string> expected = {
        "Min Y          -0.9093", "in X =   -2.0000",          "Max Y           0.9093",
        "in X =    2.0000",       "intervallo Y      1.8186 ", "Fatt.Scala Y    0.0067 ",
        "Tempo di disegno 0.12",  "Tempo di Export 0.00"};
    EXPECT_EQ(Texts(canvas), expected);
    const int bottoms[] = {20, 20, 40, 40, 60, 80, 100, 120};
    const uint32_t formats[] = {0x28, 0x2A, 0x28, 0x2A, 0x28, 0x28, 0x28, 0x28};
    for (size_t i = 0; i < canvas.texts().size(); ++i) {
        EXPECT_EQ(canvas.texts()[i].rect.top, 0);
        EXPECT_EQ(canvas.texts()[i].rect.right, 288);
        EXPECT_EQ(canvas.texts()[i].rect.bottom, bottoms[i]) << i;
        EXPECT_EQ(canvas.texts()[i].format, formats[i]) << i;
    }
}

TEST_F(InfoPanelTest, ThreeLinesWithoutAutomaticYScaling) {
    gPrefs.bAutoScaleY = 0;
    g_DrawingTime = 1.5;
    g_ExportingTime = 2.25;
    RasterCanvas canvas(300, 300);
    const QRect client = {0, 0, 288, 270};
    DrawInfoLines(&canvas, &client);
    const std::vector<std::string> expected = {
        "le Info sono disponibili solo se attivi AutoScala Y", "Tempo di disegno 1.50",
        "Tempo di Export 2.25"};
    EXPECT_EQ(Texts(canvas), expected);
    EXPECT_EQ(canvas.texts()[2].rect.bottom, 60);
}

TEST_F(InfoPanelTest, SentinelsFitTheLineBuffer) {
    MessageCapture quiet;
    ParseFormula("LOG(X)");
    SetRange(-10, -1, 10);
    PrecalcRangeOfY();
    RasterCanvas canvas(300, 300);
    const QRect client = {0, 0, 288, 270};
    DrawInfoLines(&canvas, &client);
    EXPECT_EQ(canvas.texts()[0].text, "Min Y        1.0000e+120");
    EXPECT_EQ(canvas.texts()[2].text, "Max Y        -1.0000e+120");
    EXPECT_EQ(canvas.texts()[4].text, "intervallo Y   -2.0000e+120 ");
    for (const auto& t : canvas.texts()) {
        EXPECT_LT(t.text.size(), 100u);
    }
}

}  // namespace
