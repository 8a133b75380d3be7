#include "plot/RasterCanvas.h"

#include <gtest/gtest.h>

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
