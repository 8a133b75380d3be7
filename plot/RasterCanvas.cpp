#include "plot/RasterCanvas.h"

#include <algorithm>
#include <bitset>
#include <cstdio>
#include <cstdlib>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

void WriteRgb(QColor c, FILE* file) {
    const unsigned char rgb[3] = {static_cast<unsigned char>(c & 0xFF),
                                  static_cast<unsigned char>((c >> 8) & 0xFF),
                                  static_cast<unsigned char>((c >> 16) & 0xFF)};
    std::fwrite(rgb, 1, sizeof rgb, file);
}

}  // namespace

RasterCanvas::RasterCanvas(int width, int height, QColor background)
    : width_(width > 0 ? width : 0),
      height_(height > 0 ? height : 0),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_) + 1, background) {}

bool RasterCanvas::Inside(int32_t x, int32_t y) const {
    return x >= 0 && y >= 0 && x < width_ && y < height_;
}

// Stored column by column: a drawing pass sweeps the columns left to right, setting many rows of
// one column before it moves on, so its writes stay within a few cache lines.
size_t RasterCanvas::Index(int32_t x, int32_t y) const {
    return static_cast<size_t>(x) * static_cast<size_t>(height_) + static_cast<size_t>(y);
}

QColor RasterCanvas::Pixel(int x, int y) const {
    return Inside(x, y) ? pixels_[Index(x, y)] : kWhite;
}

int RasterCanvas::CountPixels(QColor color) const {
    int count = 0;
    for (size_t i = 0; i + 1 < pixels_.size(); ++i) {
        count += pixels_[i] == color ? 1 : 0;
    }
    return count;
}

void RasterCanvas::Plot(int32_t x, int32_t y, QColor color) {
    if (Inside(x, y)) {  // else clipped
        pixels_[Index(x, y)] = color;
    }
}

void RasterCanvas::SetPixel(int32_t x, int32_t y, QColor color) {
    ++pixelWrites_;
    Plot(x, y, color);
}

namespace {

#if defined(__SSE2__)
// RasterCanvas::PlacesOf eight pixels at a time, for a height below 32768: a column times the
// height plus the row is one multiply-add of a pair of 16-bit numbers.
void PlacesEightAtATime(const int16_t* xs, const int16_t* ys, uint64_t which, int width, int height,
                        int32_t spare, int32_t* places) {
    const __m128i lastColumn = _mm_set1_epi16(static_cast<int16_t>(std::min(width - 1, INT16_MAX)));
    const __m128i lastRow = _mm_set1_epi16(static_cast<int16_t>(height - 1));
    const __m128i columnStep = _mm_set1_epi32(height | (1 << 16));
    const __m128i bitOfPixel = _mm_setr_epi16(1, 2, 4, 8, 16, 32, 64, 128);
    const __m128i spares = _mm_set1_epi32(spare);
    const auto choose = [&spares](__m128i skip, __m128i place) {
        return _mm_or_si128(_mm_andnot_si128(skip, place), _mm_and_si128(skip, spares));
    };
    for (int i = 0; i < kPixelsAtOnce; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(xs + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ys + i));
        const __m128i bits = _mm_set1_epi16(static_cast<int16_t>((which >> i) & 0xFF));
        const __m128i left = _mm_cmpeq_epi16(_mm_and_si128(bits, bitOfPixel), _mm_setzero_si128());
        const __m128i negative = _mm_srai_epi16(_mm_or_si128(x, y), 15);
        const __m128i beyond =
            _mm_or_si128(_mm_cmpgt_epi16(x, lastColumn), _mm_cmpgt_epi16(y, lastRow));
        const __m128i skip = _mm_or_si128(left, _mm_or_si128(negative, beyond));
        const __m128i low = _mm_madd_epi16(_mm_unpacklo_epi16(x, y), columnStep);
        const __m128i high = _mm_madd_epi16(_mm_unpackhi_epi16(x, y), columnStep);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(places + i),
                         choose(_mm_unpacklo_epi16(skip, skip), low));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(places + i + 4),
                         choose(_mm_unpackhi_epi16(skip, skip), high));
    }
}
#endif

}  // namespace

void RasterCanvas::PlacesOf(const int16_t* xs, const int16_t* ys, uint64_t which, int32_t spare,
                            int32_t* places) const {
    for (int i = 0; i < kPixelsAtOnce; ++i) {
        const bool chosen = ((which >> i) & 1) != 0 && Inside(xs[i], ys[i]);
        places[i] = chosen ? static_cast<int32_t>(Index(xs[i], ys[i])) : spare;
    }
}

// Every place is written, in order, without a branch on which (the pixels set follow the curve
// and are hard to predict): the pixels left out and those clipped go to the spare pixel.
void RasterCanvas::SetPixels(const int16_t* xs, const int16_t* ys, const QColor* colors,
                             uint64_t which) {
    const auto spare = static_cast<int32_t>(pixels_.size() - 1);
    int32_t places[kPixelsAtOnce];
#if defined(__SSE2__)
    if (height_ <= INT16_MAX) {
        PlacesEightAtATime(xs, ys, which, width_, height_, spare, places);
    } else {
        PlacesOf(xs, ys, which, spare, places);
    }
#else
    PlacesOf(xs, ys, which, spare, places);
#endif
    QColor* const pixels = pixels_.data();
    for (int i = 0; i < kPixelsAtOnce; ++i) {
        pixels[places[i]] = colors[i];
    }
    pixelWrites_ += static_cast<long>(std::bitset<kPixelsAtOnce>(which).count());
}

void RasterCanvas::MoveTo(int32_t x, int32_t y, QPoint* oldPoint) {
    if (oldPoint != nullptr) {
        *oldPoint = position_;
    }
    position_ = {x, y};
}

void RasterCanvas::LineTo(int32_t x, int32_t y) {
    // Bresenham from the current position, stopping before the end point.
    int32_t cx = position_.x;
    int32_t cy = position_.y;
    const int32_t dx = std::abs(x - cx);
    const int32_t dy = -std::abs(y - cy);
    const int32_t sx = cx < x ? 1 : -1;
    const int32_t sy = cy < y ? 1 : -1;
    int32_t error = dx + dy;
    while (cx != x || cy != y) {
        Plot(cx, cy, pen_.current());
        const int32_t twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            cx += sx;
        }
        if (twice <= dx) {
            error += dx;
            cy += sy;
        }
    }
    position_ = {x, y};
}

void RasterCanvas::SelectSolidPen(QColor color) {
    pen_.Select(color);
}

void RasterCanvas::RestorePen() {
    pen_.Restore();
}

void RasterCanvas::PlaceText(const char* text, int32_t count, const QRect& rect, uint32_t format) {
    texts_.push_back({std::string(text, count > 0 ? static_cast<size_t>(count) : 0), rect, format});
}

bool RasterCanvas::SavePpm(const std::string& path) const {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    std::fprintf(file, "P6\n%d %d\n255\n", width_, height_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            WriteRgb(pixels_[Index(x, y)], file);
        }
    }
    return std::fclose(file) == 0;
}
