#include "plot/RasterCanvas.h"

#include <cstdio>
#include <cstdlib>

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
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), background) {}

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
    for (QColor c : pixels_) {
        count += c == color ? 1 : 0;
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
