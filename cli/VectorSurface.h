// A drawing surface over a Cairo context for vector pictures (SVG, PDF): each pixel one filled
// square of one device unit, lines one unit wide along the pixel centres, texts as text.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

#include "platform/Common.h"

class VectorSurface : public DrawSurface {
  public:
    // Draws on cr (which the caller owns) in a picture of width x height units.
    VectorSurface(cairo_t* cr, int width, int height);
    VectorSurface(const VectorSurface&) = delete;
    VectorSurface& operator=(const VectorSurface&) = delete;

    // Hands over whatever waits to be filled or stroked; call before finishing the picture.
    void Flush();
    // Squares handed to the context so far (a pixel set again in the same colour is not).
    long squares() const { return squares_; }

    void SetPixel(int32_t x, int32_t y, QColor color) override;
    void MoveTo(int32_t x, int32_t y, QPoint* oldPoint) override;
    void LineTo(int32_t x, int32_t y) override;
    void SelectSolidPen(QColor color) override;
    void RestorePen() override;
    void PlaceText(const char* text, int32_t count, const QRect& rect, uint32_t format) override;

  private:
    enum class Pending { Nothing, Squares, Lines };

    void Begin(Pending kind, QColor color);
    void ForgetPixels();

    cairo_t* cr_;
    int width_;
    int height_;
    Pending pending_ = Pending::Nothing;
    QColor pendingColor_ = 0;
    // Squares of one colour and lines of one pen are collected into one path and painted
    // together: far smaller files than one path each, and the same picture.
    // The colour each pixel was last set to since the last line or text (0 for none, else the
    // colour plus one), so that a pixel set again in its own colour costs nothing.
    std::vector<uint32_t> lastSet_;
    bool lastSetUsed_ = false;
    PenColor pen_;
    QPoint position_ = {0, 0};
    long squares_ = 0;
};
