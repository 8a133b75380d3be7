#include "cli/VectorSurface.h"

#include <algorithm>
#include <string>

#include "cli/LabelText.h"

namespace {

// Pictures up to this many pixels remember the colour of each pixel set.
constexpr long kMaxRememberedPixels = 4096L * 4096L;

void SetSource(cairo_t* cr, QColor c) {
    cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                         ((c >> 16) & 0xFF) / 255.0);
}

}  // namespace

VectorSurface::VectorSurface(cairo_t* cr, int width, int height)
    : cr_(cr), width_(width), height_(height) {
    const long pixels = static_cast<long>(width) * static_cast<long>(height);
    if (pixels <= kMaxRememberedPixels) {
        lastSet_.assign(static_cast<size_t>(pixels), 0);
    }
    cairo_set_line_width(cr_, 1.0);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_SQUARE);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_MITER);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgb(cr_, 1, 1, 1);
    cairo_paint(cr_);
    UseLabelFont(cr_);
}

void VectorSurface::Flush() {
    if (pending_ == Pending::Squares) {
        SetSource(cr_, pendingColor_);
        cairo_fill(cr_);
    } else if (pending_ == Pending::Lines) {
        SetSource(cr_, pendingColor_);
        cairo_stroke(cr_);
    }
    pending_ = Pending::Nothing;
}

void VectorSurface::Begin(Pending kind, QColor color) {
    if (pending_ != kind || pendingColor_ != color) {
        Flush();
        pending_ = kind;
        pendingColor_ = color;
    }
}

// A line or a text may cover pixels already set: from then on, setting one again counts.
void VectorSurface::ForgetPixels() {
    if (lastSetUsed_) {
        std::fill(lastSet_.begin(), lastSet_.end(), 0);
        lastSetUsed_ = false;
    }
}

void VectorSurface::SetPixel(int32_t x, int32_t y, QColor color) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;  // clipped, as by the device
    }
    if (!lastSet_.empty()) {
        uint32_t& last =
            lastSet_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
        if (last == color + 1) {
            return;
        }
        last = color + 1;
        lastSetUsed_ = true;
    }
    Begin(Pending::Squares, color);
    cairo_rectangle(cr_, x, y, 1, 1);
    ++squares_;
}

void VectorSurface::MoveTo(int32_t x, int32_t y, QPoint* oldPoint) {
    if (oldPoint != nullptr) {
        *oldPoint = position_;
    }
    position_ = {x, y};
}

void VectorSurface::LineTo(int32_t x, int32_t y) {
    ForgetPixels();
    Begin(Pending::Lines, pen_.current());
    // A new stretch of the path whenever the pen does not go on from where it stopped.
    const double fromX = position_.x + 0.5;
    const double fromY = position_.y + 0.5;
    bool goesOn = false;
    if (cairo_has_current_point(cr_)) {
        double cx = 0;
        double cy = 0;
        cairo_get_current_point(cr_, &cx, &cy);
        goesOn = cx == fromX && cy == fromY;
    }
    if (!goesOn) {
        cairo_move_to(cr_, fromX, fromY);
    }
    cairo_line_to(cr_, x + 0.5, y + 0.5);
    position_ = {x, y};
}

void VectorSurface::SelectSolidPen(QColor color) {
    pen_.Select(color);
}

void VectorSurface::RestorePen() {
    pen_.Restore();
}

void VectorSurface::PlaceText(const char* text, int32_t count, const QRect& rect, uint32_t format) {
    Flush();
    ForgetPixels();
    DrawLabel(cr_, std::string(text, count > 0 ? static_cast<size_t>(count) : 0), rect, format);
}
