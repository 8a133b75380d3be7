#include <gtest/gtest.h>

#include <cairo.h>

#include "cli/LabelText.h"

namespace {

const QRect kClient = {0, 0, 382, 354};
const TextSize k100Wide = {100, 13, 3};

void ExpectBox(const LabelPlace& place, QRect box, int32_t x, int32_t y) {
    EXPECT_EQ(place.box.left, box.left);
    EXPECT_EQ(place.box.top, box.top);
    EXPECT_EQ(place.box.right, box.right);
    EXPECT_EQ(place.box.bottom, box.bottom);
    EXPECT_EQ(place.baselineX, x);
    EXPECT_EQ(place.baselineY, y);
}

TEST(LabelText, PlacedByTheFourFlagsOfThePlot) {
    // bottom left, bottom right, bottom centre: the line's 16 rows end at the rectangle's bottom
    ExpectBox(PlaceLabel(kClient, 0x28, k100Wide), {0, 338, 100, 354}, 0, 351);
    ExpectBox(PlaceLabel(kClient, 0x2A, k100Wide), {282, 338, 382, 354}, 282, 351);
    ExpectBox(PlaceLabel(kClient, 0x29, k100Wide), {141, 338, 241, 354}, 141, 351);
    // centred both ways: (354 - 16) / 2 = 169 rows above
    ExpectBox(PlaceLabel(kClient, 0x25, k100Wide), {141, 169, 241, 185}, 141, 182);
    // an odd spare room is truncated as the platform truncates it
    ExpectBox(PlaceLabel({0, 0, 11, 21}, 0x25, {4, 13, 3}), {3, 2, 7, 18}, 3, 15);
    // the curve-info panel: a band from the top down to its bottom
    ExpectBox(PlaceLabel({0, 0, 400, 40}, 0x28, k100Wide), {0, 24, 100, 40}, 0, 37);
}

TEST(LabelText, BoxIsClippedToTheRectangle) {
    const TextSize wide = {500, 13, 3};
    ExpectBox(PlaceLabel(kClient, 0x28, wide), {0, 338, 382, 354}, 0, 351);
    ExpectBox(PlaceLabel(kClient, 0x2A, wide), {0, 338, 382, 354}, -118, 351);
    ExpectBox(PlaceLabel(kClient, 0x29, wide), {0, 338, 382, 354}, -59, 351);
    const LabelPlace low = PlaceLabel({0, 0, 382, 10}, 0x28, k100Wide);
    ExpectBox(low, {0, 0, 100, 10}, 0, 7);
    EXPECT_FALSE(BoxIsEmpty(low.box));
    EXPECT_TRUE(BoxIsEmpty(PlaceLabel({0, 0, 0, 0}, 0x28, k100Wide).box));
}

TEST(LabelText, MeasuredWithTheLineOfTheWindowsFont) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t* cr = cairo_create(surface);
    UseLabelFont(cr);
    const TextSize empty = MeasureLabel(cr, "");
    const TextSize one = MeasureLabel(cr, "x");
    const TextSize label = MeasureLabel(cr, "delta     0.020; iter. 10000");
    EXPECT_EQ(empty.width, 0);
    EXPECT_GT(one.width, 0);
    EXPECT_EQ(label.ascent, 13);
    EXPECT_EQ(label.descent, 3);
    // about as wide as the window's font draws it (185 units there)
    EXPECT_GT(label.width, 160);
    EXPECT_LT(label.width, 210);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

TEST(LabelText, DrawnOverAWhiteBoxInBlackAndNothingOutside) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 60, 40);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0, 0, 1);
    cairo_paint(cr);  // all blue
    UseLabelFont(cr);
    const LabelPlace place = DrawLabel(cr, "Min", {0, 0, 60, 40}, 0x28);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    int dark = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 60; ++x) {
            const uint32_t pixel =
                reinterpret_cast<const uint32_t*>(data + y * stride)[x] & 0xFFFFFF;
            const bool inside = x >= place.box.left && x < place.box.right && y >= place.box.top &&
                                y < place.box.bottom;
            if (!inside) {
                EXPECT_EQ(pixel, 0x0000FFu) << x << "," << y;
                continue;
            }
            const uint32_t r = pixel >> 16;
            EXPECT_TRUE(pixel == (r | r << 8 | r << 16)) << "a grey, not blue: " << x << "," << y;
            dark += r < 0x80 ? 1 : 0;
        }
    }
    EXPECT_EQ(place.box.top, 24);
    EXPECT_GT(dark, 20);  // the text is there
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

}  // namespace
