// The drawing surface over a GDI device context (window, memory bitmap or printer).
#pragma once

#include <windows.h>

#include "platform/Common.h"

inline QRect ToQRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

inline RECT ToRect(const QRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

class GdiSurface : public DrawSurface {
  public:
    explicit GdiSurface(HDC dc) : dc_(dc) {}
    GdiSurface(const GdiSurface&) = delete;
    GdiSurface& operator=(const GdiSurface&) = delete;

    void SetPixel(int32_t x, int32_t y, QColor color) override;
    void MoveTo(int32_t x, int32_t y, QPoint* oldPoint) override;
    void LineTo(int32_t x, int32_t y) override;
    void SelectSolidPen(QColor color) override;
    void RestorePen() override;
    void PlaceText(const char* text, int32_t count, const QRect& rect, uint32_t format) override;

  private:
    HDC dc_;
    HPEN pen_ = nullptr;
    HGDIOBJ previousPen_ = nullptr;
};

// One paint of a window's whole client area: begins the paint on construction and ends it on
// destruction.
class PaintSession {
  public:
    explicit PaintSession(HWND window) : window_(window) {
        dc_ = BeginPaint(window_, &paint_);
        GetClientRect(window_, &client_);
    }
    ~PaintSession() { EndPaint(window_, &paint_); }
    PaintSession(const PaintSession&) = delete;
    PaintSession& operator=(const PaintSession&) = delete;

    HDC dc() const { return dc_; }
    const RECT& client() const { return client_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_;
    HDC dc_;
    RECT client_;
};
