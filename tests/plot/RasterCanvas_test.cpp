#include "plot/RasterCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/TempDir.h"

namespace {

constexpr QColor kRed = 0x000000FF;
constexpr QColor kBlue = 0x00FF0000;

TEST(RasterCanvas, KeepsEachPixelAtItsColumnAndRow) {
    RasterCanvas canvas(3, 2);
    canvas.SetPixel(2, 0, kRed);
    canvas.SetPixel(0, 1, kBlue);
    canvas.SetPixel(3, 0, kRed);   // beyond the right edge: clipped
    canvas.SetPixel(0, -1, kRed);  // above the top: clipped
    EXPECT_EQ(canvas.Pixel(2, 0), kRed);
    EXPECT_EQ(canvas.Pixel(0, 1), kBlue);
    EXPECT_EQ(canvas.Pixel(1, 0), RasterCanvas::kWhite);
    EXPECT_EQ(canvas.Pixel(0, 0), RasterCanvas::kWhite);
    EXPECT_EQ(canvas.CountPixels(kRed), 1);
    EXPECT_EQ(canvas.pixelWrites(), 4);
}

// Pixels set 64 at a time land as set one by one, on a canvas low enough for 16-bit places and on
// one that is not: the chosen places in order (a place set twice keeps its last colour), the
// clipped ones left out, and the places not chosen untouched.
TEST(RasterCanvas, SetsChosenPixelsAsOneByOne) {
    for (const QRect size : {QRect{0, 0, 5, 4}, QRect{0, 0, 2, 40000}}) {
        const int16_t right = static_cast<int16_t>(size.right);
        const int16_t bottom = static_cast<int16_t>(size.bottom);
        const struct {
            int16_t x;
            int16_t y;
            QColor color;
        } chosen[] = {
            {1, 1, kRed},      {0, 1, kBlue},        {1, 1, kBlue}, {right, 1, kRed},
            {0, bottom, kRed}, {-1, 0, kRed},        {0, -1, kRed}, {1, INT16_MAX, kRed},
            {1, 3, kRed},      {INT16_MAX, 0, kRed}, {0, 1, kRed},
        };
        int16_t xs[64] = {};  // the places not chosen are (0, 0) in red
        int16_t ys[64] = {};
        QColor colors[64];
        std::fill(colors, colors + 64, kRed);
        uint64_t which = 0;
        RasterCanvas alone(size.right, size.bottom);
        int at = 5;
        for (const auto& pixel : chosen) {
            xs[at] = pixel.x;
            ys[at] = pixel.y;
            colors[at] = pixel.color;
            which |= uint64_t{1} << at;
            alone.SetPixel(pixel.x, pixel.y, pixel.color);
            at += 5;
        }
        RasterCanvas together(size.right, size.bottom);
        together.SetPixels(xs, ys, colors, which);
        for (int x = -1; x <= size.right; ++x) {
            for (int y = -1; y <= std::min(size.bottom, 100); ++y) {
                ASSERT_EQ(together.Pixel(x, y), alone.Pixel(x, y)) << x << " " << y;
            }
        }
        EXPECT_EQ(together.CountPixels(kRed), alone.CountPixels(kRed));
        EXPECT_EQ(together.pixelWrites(), alone.pixelWrites());
    }
}

TEST(RasterCanvas, SavesRowsTopToBottomAsRgb) {
    RasterCanvas canvas(3, 2, 0x00000000);
    canvas.SetPixel(2, 0, kRed);
    canvas.SetPixel(0, 1, kBlue);
    TempDir folder;
    ASSERT_TRUE(canvas.SavePpm(folder.File("plot.ppm")));
    const std::string header = "P6\n3 2\n255\n";
    const std::string rows(
        "\0\0\0"
        "\0\0\0"
        "\xFF\0\0"
        "\0\0\xFF"
        "\0\0\0"
        "\0\0\0",
        18);
    EXPECT_EQ(folder.Read("plot.ppm"), header + rows);
}

TEST(RasterCanvas, ReportsAFileItCannotWrite) {
    RasterCanvas canvas(1, 1);
    TempDir folder;
    EXPECT_FALSE(canvas.SavePpm(folder.File("missing/plot.ppm")));
}

TEST(RasterCanvas, PensDoNotNest) {
    RasterCanvas canvas(4, 3);
    canvas.RestorePen();  // nothing selected: nothing to put back
    canvas.SelectSolidPen(kRed);
    canvas.SelectSolidPen(kBlue);  // replaces the red pen
    canvas.MoveTo(0, 0, nullptr);
    canvas.LineTo(4, 0);
    canvas.RestorePen();  // back to the canvas's own black pen, not to red
    canvas.MoveTo(0, 1, nullptr);
    canvas.LineTo(4, 1);
    canvas.RestorePen();
    canvas.MoveTo(0, 2, nullptr);
    canvas.LineTo(4, 2);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(canvas.Pixel(x, 0), kBlue) << x;
        EXPECT_EQ(canvas.Pixel(x, 1), 0x00000000u) << x;
        EXPECT_EQ(canvas.Pixel(x, 2), 0x00000000u) << x;
    }
}

}  // namespace
