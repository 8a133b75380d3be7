#include "web/WebRaster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "plot/LabelPlace.h"
#include "web/WebPage.h"

namespace {

// Not a colour the program draws (they all have a zero top byte): a pixel left undrawn.
constexpr QColor kUndrawn = 0xFF000000;

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
    : RasterCanvas(width, height, kUndrawn),
      rgba_(static_cast<size_t>(this->width()) * static_cast<size_t>(this->height()) * 4) {}

void WebRaster::Refresh() {
    unsigned char* out = rgba_.data();
    for (int y = 0; y < height(); ++y) {
        for (int x = 0; x < width(); ++x, out += 4) {
            const QColor c = Pixel(x, y);
            out[0] = static_cast<unsigned char>(c & 0xFF);
            out[1] = static_cast<unsigned char>((c >> 8) & 0xFF);
            out[2] = static_cast<unsigned char>((c >> 16) & 0xFF);
            out[3] = c == kUndrawn ? 0 : 255;
        }
    }
}

// The text's box covers what was drawn before it; the page paints the text there.
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
