// The page's drawing surface: the plot drawn by the core into a raster canvas of the plot
// area's size, handed to the page as RGBA pixels. A pixel that nothing drew is white, but every
// pixel under a text box that nothing drew after the box was placed is transparent: the page
// draws the texts with its own font behind the pixels, in their boxes, which gives the order of
// the window, where the labels come first and axes and curve lie over them.
#pragma once

#include <string>
#include <vector>

#include "platform/Common.h"
#include "plot/RasterCanvas.h"

// The most pixels a raster of the page holds: with the canvas's own copy, a larger one would
// outgrow the module's memory.
constexpr int64_t kMaxRasterPixels = int64_t{1} << 24;
// Pixel coordinates are 16-bit values: no side may be longer.
constexpr int32_t kMaxRasterSide = 32767;

struct RasterSize {
    int32_t width;
    int32_t height;
};

// The plot area's size when a raster of it fits in the limits above, else the largest size of
// (nearly) the same shape that does; a side below 1 gives an empty raster.
RasterSize LargestRaster(int32_t width, int32_t height);

class WebRaster : public RasterCanvas {
  public:
    WebRaster(int width, int height);

    // The pixels, row by row, four bytes each (red, green, blue, alpha), as of the last Refresh.
    unsigned char* rgba() { return reinterpret_cast<unsigned char*>(rgba_.data()); }
    void Refresh();
    // One line per text placed: box left, top, right, bottom, baseline x and y, then a tab and
    // the text.
    const std::string& texts() const { return texts_; }

    void PlaceText(const char* text, int32_t count, const QRect& rect, uint32_t format) override;

  private:
    std::vector<uint32_t> rgba_;
    std::string texts_;
};
