#include <gtest/gtest.h>

#include <bitset>
#include <cmath>
#include <limits>

#include "plot/View.h"
#include "support/PlotFixture.h"

namespace {

using PixelsTest = PlotTest;

const QRect k400x300 = {0, 0, 400, 300};

void SetYRange(double minY, double maxY) {
    gMinY = minY;
    gMaxY = maxY;
    gRangeOfY = maxY - minY;
}

TEST(ToCoordinate, TruncatesTowardZeroAndRefusesWhatDoesNotFit) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double position;
        bool fits;
        int16_t coordinate;
    } cases[] = {
        {1.9, true, 1},         {-1.9, true, -1},         {0.0, true, 0},
        {inf, true, 0},         {-inf, true, 0},          {std::nan(""), true, 0},
        {32767.9, true, 32767}, {-32768.5, true, -32768}, {32768.0, false, 0},
        {-32769.0, false, 0},   {150150.0, false, 0},
    };
    for (const auto& c : cases) {
        int16_t coordinate = 12345;
        EXPECT_EQ(ToCoordinate(c.position, &coordinate), c.fits) << c.position;
        if (c.fits) {
            EXPECT_EQ(coordinate, c.coordinate) << c.position;
        }
    }
}

// Zoom and pan keep to the drawing pass's mapping: with AutoScale X the range spreads over the
// width, without it one X unit is one column around the middle one.
TEST_F(PixelsTest, ViewChangesFollowTheMappingOfColumns) {
    const struct {
        int32_t autoScaleX;
        XRange from;
        double column;
        double factor;
        double pan;
        double x;  // at the column
        XRange to;
    } cases[] = {
        {1, {-10, 10}, 200, 2, 0, 0, {-5, 5}},
        {1, {-10, 10}, 0, 2, 0, -10, {-10, 0}},
        {1, {-10, 10}, 100, 0.5, 0, -5, {-15, 25}},
        {1, {-10, 10}, 300, 1, 40, 5, {-12, 8}},
        {1, {-10, 10}, 0, 1, -400, -10, {10, 30}},
        {1, {-10.8, 5.2}, 0, 1, 0, -10.8, {-10.8, 5.2}},  // no zoom: not rounded through X
        {1, {-10, 10}, 200, 4, 20, 0, {-2.75, 2.25}},     // the zoom first, then the move
        {0, {-10, 10}, 250, 1, 40, 50, {-50, -30}},
        {0, {-10, 10}, 200, 2, 0, 0, {-5, 5}},
        {0, {0, 10}, 210, 2, 0, 10, {5, 10}},
    };
    for (const auto& c : cases) {
        gPrefs.bAutoScaleX = c.autoScaleX;
        const XRange to = PannedRange(ZoomedRange(c.from, c.column, 400, c.factor), c.pan, 400);
        EXPECT_DOUBLE_EQ(XAtColumn(c.from, c.column, 400), c.x) << c.column;
        EXPECT_DOUBLE_EQ(to.minX, c.to.minX) << c.column << " " << c.factor << " " << c.pan;
        EXPECT_DOUBLE_EQ(to.maxX, c.to.maxX) << c.column << " " << c.factor << " " << c.pan;
    }
}

TEST_F(PixelsTest, AutomaticScalingOfBothAxes) {
    SetRange(-10, 10, 1000);
    SetYRange(-1, 1);
    RasterCanvas canvas(400, 300);
    PrepareForScaling(&canvas, &k400x300);
    EXPECT_DOUBLE_EQ(gScaleXFactor, 0.05);
    EXPECT_DOUBLE_EQ(gScaleYFactor, 2.0 / 300);

    MapAndDraw(0, 0, 0);
    EXPECT_EQ(canvas.Pixel(200, 150), pixelColor);
    int16_t h;
    int16_t v;
    MapAndDraw(-10, 1, 0);
    LastPixel(&h, &v);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(canvas.Pixel(0, 0), pixelColor);
    MapAndDraw(5, -1, 0);  // row 300 is one past the last row: handed over and clipped
    LastPixel(&h, &v);
    EXPECT_EQ(h, 300);
    EXPECT_EQ(v, 300);
    MapAndDraw(5, -0.999, 0);
    LastPixel(&h, &v);
    EXPECT_EQ(v, 299);
}

TEST_F(PixelsTest, WithoutScalingOnePixelPerUnitAroundTheMiddle) {
    gPrefs.bAutoScaleX = 0;
    gPrefs.bAutoScaleY = 0;
    RasterCanvas canvas(400, 300);
    PrepareForScaling(&canvas, &k400x300);
    EXPECT_EQ(gScaleXFactor, 1.0);
    EXPECT_EQ(gScaleYFactor, 1.0);
    MapAndDraw(0, 0, 0);
    EXPECT_EQ(canvas.Pixel(200, 150), pixelColor);
    MapAndDraw(3, 1, 0);
    EXPECT_EQ(canvas.Pixel(203, 149), pixelColor);
    const long writes = canvas.pixelWrites();
    MapAndDraw(0, 40000, 0);
    MapAndDraw(40000, 0, 0);
    MapAndDraw(0, std::nan(""), 0);
    EXPECT_EQ(canvas.pixelWrites(), writes);
    int16_t h;
    int16_t v;
    LastPixel(&h, &v);
    EXPECT_EQ(h, 203);
    EXPECT_EQ(v, 149);
}

TEST_F(PixelsTest, OnePixelWritePerPixelAndFailuresDoNotRepaint) {
    SetRange(-10, 10, 1000);
    SetYRange(-1, 1);
    RasterCanvas canvas(400, 300);
    PrepareForScaling(&canvas, &k400x300);
    MapAndDraw(1, 0.5, 0);
    MapAndDraw(1.01, 0.5, 0);  // same column and row
    EXPECT_EQ(canvas.pixelWrites(), 1);
    MapAndDraw(1.02, 0.5, 1);  // a failure on the pixel just set leaves it blue
    EXPECT_EQ(canvas.pixelWrites(), 1);
    EXPECT_EQ(canvas.Pixel(220, 75), pixelColor);
    MapAndDraw(-20, 0, 1);  // negative column: skipped
    EXPECT_EQ(canvas.pixelWrites(), 1);
    MapAndDraw(3, 0, 1);
    EXPECT_EQ(canvas.Pixel(260, 150), OutofRangeColor);
}

TEST_F(PixelsTest, ConstantFunctionLiesOnRowZero) {
    SetYRange(5, 5);
    RasterCanvas canvas(400, 300);
    PrepareForScaling(&canvas, &k400x300);
    EXPECT_EQ(gScaleYFactor, 0.0);
    MapAndDraw(0, 5, 0);
    EXPECT_EQ(canvas.Pixel(200, 0), pixelColor);
}

TEST_F(PixelsTest, AllFailuresLieAcrossTheMiddle) {
    SetYRange(kNoMinY, kNoMaxY);
    RasterCanvas canvas(400, 300);
    PrepareForScaling(&canvas, &k400x300);
    MapAndDraw(0, 0, 1);
    int16_t h;
    int16_t v;
    LastPixel(&h, &v);
    EXPECT_NEAR(v, 150, 1);
    EXPECT_EQ(canvas.Pixel(h, v), OutofRangeColor);
}

TEST_F(PixelsTest, RowsBeyondSixteenBitsAreNotDrawn) {
    SetYRange(999, 1001);  // Y = 0 lies some 150,000 rows below
    RasterCanvas canvas(400, 300);
    PrepareForScaling(&canvas, &k400x300);
    MapAndDraw(1, 0, 1);
    EXPECT_EQ(canvas.pixelWrites(), 0);
    MapAndDraw(1, 1000, 0);
    EXPECT_EQ(canvas.pixelWrites(), 1);
}

// Mapped blocks set the pixels MapAndDraw sets sample by sample, up to a stop within the block:
// scaled and unscaled axes, undefined samples, NaN and infinite values, positions past the 16-bit
// range, negative coordinates, runs of samples on one pixel.
struct BlockCase {
    int32_t autoX;
    int32_t autoY;
    double minX;
    double maxX;
    double minY;
    double maxY;
    double slope;  // y = slope * x, with the exceptions below
    int count;
    int end;
};

const BlockCase kBlockCases[] = {
    {1, 1, -10, 10, -1, 1, 0.1, kSampleBlock, kSampleBlock},
    {1, 1, -10, 10, -1, 1, 0.001, 50, 50},
    {1, 1, -10, 10, -1, 1, 3, kSampleBlock, 17},
    {1, 1, -10, 10, 999, 1001, 100, kSampleBlock, kSampleBlock},
    {1, 1, -1e6, 1e6, -1e-9, 1e-9, 1, kSampleBlock, kSampleBlock},
    {1, 1, -10, 10, 32470, 32770, 1, kSampleBlock, kSampleBlock},  // rows across 32767
    {0, 1, -40000, 40000, -1, 1, 0, kSampleBlock, 60},
    {1, 0, -10, 10, 0, 0, 20000, kSampleBlock, kSampleBlock},
    {0, 0, -300, 300, 0, 0, 150, 33, 33},
};

SampleBlock BlockFor(const BlockCase& c) {
    SampleBlock block;
    block.count = c.count;
    for (int i = 0; i < kSampleBlock; ++i) {
        const int n = i < c.count ? i : c.count - 1;
        block.x[i] = c.minX + (c.maxX - c.minX) * n / kSampleBlock;
        block.y[i] = c.slope * block.x[i];
        block.undefined[i] = n % 7 == 3;
    }
    block.y[5] = std::nan("");
    block.undefined[5] = true;
    block.y[9] = std::numeric_limits<double>::infinity();
    return block;
}

TEST_F(PixelsTest, MappedBlocksSetThePixelsMapAndDrawSets) {
    for (const BlockCase& c : kBlockCases) {
        gPrefs.bAutoScaleX = c.autoX;
        gPrefs.bAutoScaleY = c.autoY;
        SetRange(c.minX, c.maxX, 1000);
        SetYRange(c.minY, c.maxY);
        const SampleBlock block = BlockFor(c);
        // Both passes start after the same pixel, (0, 0), was the last one set, on a canvas of
        // its own.
        RasterCanvas anchor(400, 300);
        const auto startAtOrigin = [&] {
            PrepareForScaling(&anchor, &k400x300);
            MapAndDraw(c.autoX ? c.minX : -200, c.autoY ? c.maxY : 150, 0);
        };
        startAtOrigin();
        RasterCanvas one(400, 300);
        PrepareForScaling(&one, &k400x300);
        for (int i = 0; i < c.end; ++i) {
            MapAndDraw(block.x[i], block.undefined[i] ? 0.0 : block.y[i], block.undefined[i]);
        }
        int16_t h[2];
        int16_t v[2];
        LastPixel(&h[0], &v[0]);
        startAtOrigin();
        RasterCanvas blocked(400, 300);
        PrepareForScaling(&blocked, &k400x300);
        PixelBlock pixels;
        MapBlock(block, &pixels);
        DrawMapped(pixels, block, c.end);
        LastPixel(&h[1], &v[1]);
        EXPECT_EQ(blocked.pixelWrites(), one.pixelWrites()) << c.slope;
        EXPECT_GT(one.pixelWrites(), 0) << c.slope;
        EXPECT_EQ(h[1], h[0]) << c.slope;
        EXPECT_EQ(v[1], v[0]) << c.slope;
        for (int x = 0; x < 400; ++x) {
            for (int y = 0; y < 300; ++y) {
                ASSERT_EQ(blocked.Pixel(x, y), one.Pixel(x, y))
                    << c.slope << " at " << x << ", " << y;
            }
        }
    }
}

// A block known only by the floats of its Y values maps as its exact values do whenever the floats
// settle its pixels, and says so otherwise: blocks on one pixel, across a column or a row, with an
// undefined sample, on the boundary of a row, past the float range, without Y scaling.
struct NarrowCase {
    double x0;
    double y0;
    double dy;  // y = y0 + i * dy, for X from x0 in steps of 1e-6
    int undefinedAt;
    bool scaledY;
    bool settles;
    int listed;  // samples that set their pixel
};

const NarrowCase kNarrowCases[] = {
    {1.01, 0.51, 1e-9, -1, true, true, 1},
    {1.0 - 62.5e-6, 0.51, 1e-9, -1, true, true, 2},  // column 220 starts before the last sample
    {1.01, 0.5 - 1e-5, 1.1e-6, -1, true, true, 2},   // the row below 0.5 ends among the samples
    {1.01, 0.51, 1e-9, 40, true, true, 3},
    {1.01, 0.5, 0.0, -1, true, false, 0},   // 0.5 is a boundary of rows: the floats cannot tell
    {1.01, 1e39, 0.0, -1, true, false, 0},  // no float holds it
    {1.01, 20.97, 1.1e-3, -1, false, true, 2},
};

TEST_F(PixelsTest, FloatsMapAsTheirValuesWhereTheySettleThePixels) {
    SetRange(-10, 10, 1000);
    for (const NarrowCase& c : kNarrowCases) {
        gPrefs.bAutoScaleY = c.scaledY ? 1 : 0;
        SetYRange(c.y0 > 1e30 ? c.y0 : -1, c.y0 > 1e30 ? 2 * c.y0 : 1);
        SampleBlock block;
        float floats[kSampleBlock];
        block.count = kSampleBlock;
        for (int i = 0; i < kSampleBlock; ++i) {
            block.x[i] = c.x0 + i * 1e-6;
            block.y[i] = c.y0 + i * c.dy;
            block.undefined[i] = i == c.undefinedAt;
            floats[i] = static_cast<float>(block.y[i]);
        }
        RasterCanvas canvas(400, 300);
        PrepareForScaling(&canvas, &k400x300);
        PixelBlock exact;
        MapBlock(block, &exact);
        PixelBlock narrow;
        ASSERT_EQ(MapNarrowBlock(block, floats, &narrow), c.settles) << c.x0 << " " << c.y0;
        if (c.settles) {
            ASSERT_EQ(std::bitset<64>(exact.sets).count(), c.listed) << c.x0 << " " << c.y0;
            ASSERT_EQ(narrow.sets, exact.sets) << c.x0 << " " << c.y0;
            for (int i = 0; i < kSampleBlock; ++i) {
                if ((exact.sets >> i) & 1) {
                    EXPECT_EQ(narrow.h[i], exact.h[i]) << c.x0 << " " << c.y0;
                    EXPECT_EQ(narrow.v[i], exact.v[i]) << c.x0 << " " << c.y0;
                }
            }
        }
    }
}

// Samples whose rows and columns lie on pixel edges and a few steps of the last bit beside them:
// the coordinates of a mapped block are those of the division, sample by sample.
struct EdgeCase {
    QRect rect;
    double minX;
    double maxX;
    double minY;
    double maxY;
    int firstEdge;  // the rows and columns from here on, one per eight samples
};

const EdgeCase kEdgeCases[] = {
    {{0, 0, 400, 300}, -10, 10, -1, 1, 3},
    {{0, 0, 374, 342}, -100, 100, -197.3, 201.9, 17},
    {{0, 0, 374, 342}, 0.1, 0.7, 1e-3, 3e-3, 250},
    {{0, 0, 997, 613}, -1e6, 1e6 / 3, -1.0 / 3, 2.0 / 3, 101},
    {{0, 0, 1280, 1024}, -7.3, 9.1, -1e-7, 3e-7, 999},
};

TEST_F(PixelsTest, CoordinatesOnAndBesidePixelEdgesAreThoseOfTheDivision) {
    for (const EdgeCase& c : kEdgeCases) {
        SetRange(c.minX, c.maxX, 1000);
        SetYRange(c.minY, c.maxY);
        RasterCanvas canvas(c.rect.right, c.rect.bottom);
        PrepareForScaling(&canvas, &c.rect);
        const double height = c.rect.bottom;
        SampleBlock block;
        block.count = kSampleBlock;
        for (int i = 0; i < kSampleBlock; ++i) {
            const int edge = c.firstEdge + i / 8;
            double x = c.minX + edge * gScaleXFactor;
            double y = c.minY - (edge - height) * gScaleYFactor;
            for (int step = 0; step < i % 8 - 3; ++step) {  // -3 to +4 steps
                x = std::nextafter(x, 1e300);
                y = std::nextafter(y, 1e300);
            }
            for (int step = i % 8 - 3; step < 0; ++step) {
                x = std::nextafter(x, -1e300);
                y = std::nextafter(y, -1e300);
            }
            block.x[i] = x;
            block.y[i] = y;
            block.undefined[i] = false;
        }
        PixelBlock pixels;
        MapBlock(block, &pixels);
        for (int i = 0; i < kSampleBlock; ++i) {
            int16_t h = -1;
            int16_t v = -1;
            ASSERT_TRUE(ToCoordinate((block.x[i] - c.minX) / gScaleXFactor, &h));
            ASSERT_TRUE(ToCoordinate((c.minY - block.y[i]) / gScaleYFactor + height, &v));
            EXPECT_EQ(pixels.h[i], h) << c.firstEdge << " sample " << i;
            EXPECT_EQ(pixels.v[i], v) << c.firstEdge << " sample " << i;
        }
    }
}

}  // namespace
