#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Picture.h"
#include "cli/RasterPicture.h"
#include "cli/VectorSurface.h"
#include "support/PlotFixture.h"

namespace {

constexpr QColor kBlue = 0x00FF0000;
constexpr QColor kRed = 0x000000FF;
constexpr QColor kBlack = 0x00000000;
constexpr QColor kWhite = 0x00FFFFFF;

// A PNG decoded again: 0x00BBGGRR pixels, row by row.
struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<QColor> pixels;
    QColor At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

struct Bytes {
    std::string data;
    size_t read = 0;
};

cairo_status_t Collect(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<Bytes*>(closure)->data.append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t Feed(void* closure, unsigned char* data, unsigned int length) {
    auto* bytes = static_cast<Bytes*>(closure);
    if (bytes->read + length > bytes->data.size()) {
        return CAIRO_STATUS_READ_ERROR;
    }
    std::memcpy(data, bytes->data.data() + bytes->read, length);
    bytes->read += length;
    return CAIRO_STATUS_SUCCESS;
}

Decoded DecodePng(Bytes png) {
    cairo_surface_t* image = cairo_image_surface_create_from_png_stream(Feed, &png);
    Decoded decoded;
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
        decoded.width = cairo_image_surface_get_width(image);
        decoded.height = cairo_image_surface_get_height(image);
        const unsigned char* data = cairo_image_surface_get_data(image);
        const int stride = cairo_image_surface_get_stride(image);
        for (int y = 0; y < decoded.height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
            for (int x = 0; x < decoded.width; ++x) {
                const uint32_t c = row[x];
                decoded.pixels.push_back(((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF));
            }
        }
    }
    cairo_surface_destroy(image);
    return decoded;
}

bool InBoxes(const std::vector<QRect>& boxes, int x, int y) {
    for (const QRect& b : boxes) {
        if (x >= b.left && x < b.right && y >= b.top && y < b.bottom) {
            return true;
        }
    }
    return false;
}

class PictureTest : public PlotTest {
  protected:
    // The raster canvas of a drawing pass at the default size, then the PNG of the next pass.
    // The first pass runs twice so that both compared passes start from the same last pixel.
    void DrawBoth(int width = 382, int height = 354) {
        const QRect client = {0, 0, width, height};
        RasterCanvas warmUp(width, height);
        DrawInThisContext(&warmUp, &client);
        reference = std::make_unique<RasterCanvas>(width, height);
        DrawInThisContext(reference.get(), &client);
        RasterPicture picture(width, height);
        DrawInThisContext(&picture, &client);
        boxes = picture.textBoxes();
        Bytes bytes;
        ASSERT_TRUE(picture.WritePng(Collect, &bytes));
        png = DecodePng(bytes);
        ASSERT_EQ(png.width, width);
        ASSERT_EQ(png.height, height);
    }

    // Every pixel outside the text boxes as on the raster canvas. The boxes lie in textRows
    // rows in all (the labels' band, and a notice), so at least the rest must have been compared.
    void ExpectSameOutsideBand(int textRows = 16) {
        int compared = 0;
        for (int y = 0; y < png.height; ++y) {
            for (int x = 0; x < png.width; ++x) {
                if (!InBoxes(boxes, x, y)) {
                    ASSERT_EQ(png.At(x, y), reference->Pixel(x, y)) << x << "," << y;
                    ++compared;
                }
            }
        }
        EXPECT_GE(compared, png.width * (png.height - textRows));
    }

    // Texts drawn: dark pixels inside the band, and the band within these rows.
    void ExpectBandRows(int top, int bottom) {
        int dark = 0;
        for (const QRect& b : boxes) {
            EXPECT_GE(b.top, top);
            EXPECT_LE(b.bottom, bottom);
            for (int y = b.top; y < b.bottom; ++y) {
                for (int x = b.left; x < b.right; ++x) {
                    dark += (png.At(x, y) & 0xFF) < 0x60 && png.At(x, y) != kRed ? 1 : 0;
                }
            }
        }
        EXPECT_GT(dark, 100);
    }

    int Count(QColor color) const {
        int n = 0;
        for (QColor c : png.pixels) {
            n += c == color ? 1 : 0;
        }
        return n;
    }

    std::unique_ptr<RasterCanvas> reference;
    std::vector<QRect> boxes;
    Decoded png;
};

TEST_F(PictureTest, CurveAndAxesAsTheRasterCanvasOutsideTheLabels) {
    ParseFormula("2SIN(X)*X");
    PrecalcRangeOfY();
    DrawBoth();
    ASSERT_EQ(boxes.size(), 3u);
    ExpectSameOutsideBand();
    ExpectBandRows(338, 354);
    EXPECT_GT(Count(kBlue), 3000);
    EXPECT_EQ(Count(kRed), 0);
}

TEST_F(PictureTest, UndefinedPointsRedOnTheAxis) {
    ParseFormula("LOG(X)");
    PrecalcRangeOfY();
    DrawBoth();
    ExpectSameOutsideBand();
    int redRow = -1;
    for (int y = 0; y < png.height && redRow < 0; ++y) {
        for (int x = 0; x < png.width / 2; ++x) {
            redRow = png.At(x, y) == kRed ? y : redRow;
        }
    }
    ASSERT_GE(redRow, 0);
    EXPECT_EQ(png.At(5, redRow), kRed);
    EXPECT_EQ(png.At(380, redRow), kBlack);  // the X axis goes on to the right
}

TEST_F(PictureTest, NoFormulaNoticeCoversTheCrossingOfTheAxes) {
    DrawBoth();
    ASSERT_EQ(boxes.size(), 4u);
    ExpectSameOutsideBand(32);  // the labels and the notice
    ExpectBandRows(169, 354);
    EXPECT_EQ(boxes[3].top, 169);
    EXPECT_EQ(boxes[3].bottom, 185);
    // the notice is drawn after the axes, so where it stands the axes are hidden: the Y axis
    // (column 191) is black above and below the box, not all the way through it
    EXPECT_EQ(png.At(191, 168), kBlack);
    EXPECT_EQ(png.At(191, 185), kBlack);
    int black = 0;
    for (int y = 169; y < 185; ++y) {
        black += png.At(191, y) == kBlack ? 1 : 0;
    }
    EXPECT_LT(black, 8);
    EXPECT_EQ(png.At(20, 177), kBlack);  // the X axis left of the box
}

TEST_F(PictureTest, InvalidFunctionShowsTheNoticeAndNoAxes) {
    MessageCapture quiet;
    ParseFormula("X+");
    PrecalcRangeOfY();
    DrawBoth();
    ASSERT_EQ(boxes.size(), 4u);
    ExpectSameOutsideBand(32);  // the labels and the notice
    for (int y = 0; y < 338; ++y) {
        for (int x = 0; x < 382; ++x) {
            ASSERT_EQ(png.At(x, y), kWhite) << x << "," << y;
        }
    }
}

TEST_F(PictureTest, AxesHiddenWhenTheRangeStartsRightOfZero) {
    ParseFormula("X");
    SetRange(1, 10, 1000);
    PrecalcRangeOfY();
    DrawBoth();
    ExpectSameOutsideBand();
    for (int y = 0; y < 338; ++y) {
        for (int x = 0; x < 382; ++x) {
            ASSERT_NE(png.At(x, y), kBlack) << x << "," << y;
        }
    }
    EXPECT_GT(Count(kBlue), 300);
}

TEST_F(PictureTest, OtherSizesAndCurvePixelsOverTheLabels) {
    ParseFormula("X");
    SetRange(-10, 10, 1000);
    PrecalcRangeOfY();
    DrawBoth(200, 120);
    ExpectSameOutsideBand();
    // the rising diagonal ends in the bottom left corner, drawn after the xMin label
    EXPECT_EQ(png.At(1, 119), kBlue);
    EXPECT_TRUE(InBoxes(boxes, 1, 119));
}

// Squares and lines of the vector surface, checked on an image surface where one unit is one
// pixel.
class VectorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 20, 10);
        cr = cairo_create(image);
    }
    void TearDown() override {
        cairo_destroy(cr);
        cairo_surface_destroy(image);
    }
    QColor At(int x, int y) {
        cairo_surface_flush(image);
        const unsigned char* data = cairo_image_surface_get_data(image);
        const uint32_t c =
            reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(image))[x];
        return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    }
    cairo_surface_t* image = nullptr;
    cairo_t* cr = nullptr;
};

TEST_F(VectorTest, EachPixelOneSquareOfOneUnit) {
    VectorSurface surface(cr, 20, 10);
    surface.SetPixel(3, 4, kBlue);
    surface.SetPixel(5, 4, kRed);
    surface.Flush();
    EXPECT_EQ(At(3, 4), kBlue);
    EXPECT_EQ(At(5, 4), kRed);
    for (const auto& [x, y] : {std::pair{2, 4}, {4, 4}, {3, 3}, {3, 5}, {6, 4}}) {
        EXPECT_EQ(At(x, y), kWhite) << x << "," << y;
    }
}

TEST_F(VectorTest, APixelSetAgainInItsColourCostsNothingUntilALineOrText) {
    VectorSurface surface(cr, 20, 10);
    surface.SetPixel(3, 4, kBlue);
    surface.SetPixel(3, 4, kBlue);
    surface.SetPixel(4, 4, kBlue);
    EXPECT_EQ(surface.squares(), 2);
    surface.SetPixel(3, 4, kRed);
    surface.SetPixel(3, 4, kBlue);  // blue again over red: drawn
    EXPECT_EQ(surface.squares(), 4);
    surface.MoveTo(0, 4, nullptr);
    surface.LineTo(19, 4);  // the line covers the row
    surface.SetPixel(3, 4, kBlue);
    EXPECT_EQ(surface.squares(), 5);
    surface.Flush();
    EXPECT_EQ(At(3, 4), kBlue);
    EXPECT_EQ(At(10, 4), kBlack);
}

TEST_F(VectorTest, PixelsOutsideThePictureAreLeftOut) {
    VectorSurface surface(cr, 20, 10);
    surface.SetPixel(-1, 0, kBlue);
    surface.SetPixel(20, 0, kBlue);
    surface.SetPixel(0, 10, kBlue);
    surface.SetPixel(19, 9, kBlue);
    EXPECT_EQ(surface.squares(), 1);
}

TEST_F(VectorTest, LinesOneUnitWideAlongPixelCentresWithTheSelectedPen) {
    VectorSurface surface(cr, 20, 10);
    surface.SelectSolidPen(kRed);
    surface.MoveTo(2, 1, nullptr);
    surface.LineTo(2, 8);
    surface.RestorePen();
    surface.MoveTo(5, 6, nullptr);
    surface.LineTo(15, 6);
    surface.Flush();
    EXPECT_EQ(At(2, 1), kRed);
    EXPECT_EQ(At(2, 5), kRed);
    EXPECT_EQ(At(1, 5), kWhite);
    EXPECT_EQ(At(3, 5), kWhite);
    EXPECT_EQ(At(10, 6), kBlack);  // the device's own pen again
    EXPECT_EQ(At(10, 5), kWhite);
    EXPECT_EQ(At(10, 7), kWhite);
}

TEST_F(PictureTest, VectorPicturesAreWrittenAndAFailedWriteIsReported) {
    ParseFormula("X");
    PrecalcRangeOfY();
    for (PictureFormat format : {PictureFormat::Svg, PictureFormat::Pdf, PictureFormat::Png}) {
        FILE* file = std::tmpfile();
        std::string error;
        ASSERT_TRUE(DrawPicture(format, 382, 354, file, &error)) << error;
        const long size = std::ftell(file);
        EXPECT_GT(size, 1000);
        std::rewind(file);
        char head[8] = {};
        ASSERT_EQ(std::fread(head, 1, 5, file), 5u);
        const char* expected = format == PictureFormat::Svg   ? "<?xml"
                               : format == PictureFormat::Pdf ? "%PDF-"
                                                              : "\x89PNG\r";
        EXPECT_EQ(std::string(head, 5), expected);
        std::fclose(file);
        FILE* full = std::fopen("/dev/full", "wb");
        ASSERT_NE(full, nullptr);
        EXPECT_FALSE(DrawPicture(format, 382, 354, full, &error));
        EXPECT_EQ(error, std::strerror(ENOSPC));
        std::fclose(full);
    }
}

}  // namespace
