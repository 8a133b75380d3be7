// The drawing surface over a GDI device context (window, memory bitmap or printer).
#pragma once

#include <windows.h>

#include "app/Common.h"

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
