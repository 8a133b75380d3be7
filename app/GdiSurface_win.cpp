#include "app/GdiSurface_win.h"

void GdiSurface::SetPixel(int32_t x, int32_t y, QColor color) {
    SetPixelV(dc_, x, y, color);
}

void GdiSurface::MoveTo(int32_t x, int32_t y, QPoint* oldPoint) {
    POINT previous;
    MoveToEx(dc_, x, y, &previous);
    if (oldPoint != nullptr) {
        *oldPoint = {previous.x, previous.y};
    }
}

void GdiSurface::LineTo(int32_t x, int32_t y) {
    ::LineTo(dc_, x, y);
}

void GdiSurface::SelectSolidPen(QColor color) {
    HPEN replaced = pen_;
    pen_ = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ previous = SelectObject(dc_, pen_);
    if (replaced != nullptr) {
        DeleteObject(replaced);  // the device's own pen is already remembered
    } else {
        previousPen_ = previous;
    }
}

void GdiSurface::RestorePen() {
    if (pen_ == nullptr) {
        return;
    }
    SelectObject(dc_, previousPen_);
    DeleteObject(pen_);
    pen_ = nullptr;
    previousPen_ = nullptr;
}

void GdiSurface::PlaceText(const char* text, int32_t count, const QRect& rect, uint32_t format) {
    RECT r = ToRect(rect);
    DrawTextA(dc_, text, count, &r, format);
}
