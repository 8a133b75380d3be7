#include "web/WebRaster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "plot/LabelPlace.h"
#include "web/WebPage.h"

namespace {

// Not a colour the program draws (they all have a zero top byte): a pixel of a text box that
// nothing drew over.
constexpr QColor kUndrawn = 0xFF000000;
// A colour 0x00BBGGRR lies in memory as the bytes red, green, blue, 0 (the module is
// little-endian): flipping the top byte makes it opaque, and makes kUndrawn transparent black.
constexpr uint32_t kAlphaFlip = 0xFF000000;
constexpr size_t kTile = 32;

}  // namespace

RasterSize LargestRaster(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) {
        return {0, 0};
    }
    double w = width;
    double h = height;
    const double longest = std::fmax(w, h);
    if (longest > kMaxRasterSide) {
        w *= kMaxRasterSide / longest;
        h *= kMaxRasterSide / longest;
    }
    if (w * h > static_cast<double>(kMaxRasterPixels)) {
        const double shrink = std::sqrt(static_cast<double>(kMaxRasterPixels) / (w * h));
        w *= shrink;
        h *= shrink;
    }
    return {std::max<int32_t>(1, static_cast<int32_t>(w)),
            std::max<int32_t>(1, static_cast<int32_t>(h))};
}

WebRaster::WebRaster(int width, int height)
    : RasterCanvas(width, height),
      rgba_(static_cast<size_t>(this->width()) * static_cast<size_t>(this->height())) {}

// The canvas keeps its pixels column by column and the page takes them row by row: the copy
// goes in square tiles, so that both sides stay within a few cache lines.
void WebRaster::Refresh() {
    const QColor* columns = pixelRows();
    const size_t w = static_cast<size_t>(width());
    const size_t h = static_cast<size_t>(height());
    for (size_t top = 0; top < h; top += kTile) {
        const size_t bottom = std::min(h, top + kTile);
        for (size_t left = 0; left < w; left += kTile) {
            const size_t right = std::min(w, left + kTile);
            for (size_t x = left; x < right; ++x) {
                for (size_t y = top; y < bottom; ++y) {
                    rgba_[y * w + x] = columns[x * h + y] ^ kAlphaFlip;
                }
            }
        }
    }
}

// The text's box covers what was drawn before it; the page paints the text there, behind what
// is drawn later.
void WebRaster::PlaceText(const char* text, int32_t count, const QRect& rect, uint32_t format) {
    const int32_t length = count > 0 ? count : 0;
    const TextSize size = {PageTextWidth(text, length), kLabelAscent, kLabelDescent};
    const LabelPlace place = PlaceLabel(rect, format, size);
    if (BoxIsEmpty(place.box)) {
        return;
    }
    for (int32_t y = place.box.top; y < place.box.bottom; ++y) {
        for (int32_t x = place.box.left; x < place.box.right; ++x) {
            SetPixel(x, y, kUndrawn);
        }
    }
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "%d %d %d %d %d %d\t", place.box.left, place.box.top,
                  place.box.right, place.box.bottom, place.baselineX, place.baselineY);
    texts_.append(numbers).append(text, static_cast<size_t>(length)).append(1, '\n');
}
