// A drawing surface in memory: a grid of 0x00BBGGRR pixels that lines and pixels are drawn
// into as a device context would draw them, and a list of the texts placed on it.
#pragma once

#include <string>
#include <vector>

#include "platform/Common.h"

struct PlacedText {
    std::string text;
    QRect rect;
    uint32_t format;
};

class RasterCanvas : public DrawSurface {
  public:
    static constexpr QColor kWhite = 0x00FFFFFF;

    RasterCanvas(int width, int height, QColor background = kWhite);

    int width() const { return width_; }
    int height() const { return height_; }
    QColor Pixel(int x, int y) const;
    // The pixels column by column, for a writer that encodes them where they lie.
    QColor* pixelRows() { return pixels_.data(); }
    int CountPixels(QColor color) const;
    const std::vector<PlacedText>& texts() const { return texts_; }
    // How many single-pixel writes reached the canvas (lines not counted).
    long pixelWrites() const { return pixelWrites_; }
    // Writes the picture as a binary PPM file; false when it cannot be written.
    bool SavePpm(const std::string& path) const;

    void SetPixel(int32_t x, int32_t y, QColor color) override;
    void SetPixels(const int16_t* xs, const int16_t* ys, const QColor* colors,
                   uint64_t which) override;
    void MoveTo(int32_t x, int32_t y, QPoint* oldPoint) override;
    // Like a device context: every pixel of the line but the last one.
    void LineTo(int32_t x, int32_t y) override;
    void SelectSolidPen(QColor color) override;
    void RestorePen() override;
    void PlaceText(const char* text, int32_t count, const QRect& rect, uint32_t format) override;

  private:
    bool Inside(int32_t x, int32_t y) const;
    size_t Index(int32_t x, int32_t y) const;
    void Plot(int32_t x, int32_t y, QColor color);
    // The place in pixels_ of each of kPixelsAtOnce pixels, or spare for a pixel not in which or
    // outside the picture.
    void PlacesOf(const int16_t* xs, const int16_t* ys, uint64_t which, int32_t spare,
                  int32_t* places) const;

    int width_;
    int height_;
    // The pixels column by column, then one more that SetPixels writes what it leaves out to.
    std::vector<QColor> pixels_;
    std::vector<PlacedText> texts_;
    PenColor pen_;
    QPoint position_ = {0, 0};
    long pixelWrites_ = 0;
};
