// The PNG picture: pixels and lines drawn exactly as on the raster canvas, texts drawn into the
// same pixels with a real font at the moment they are placed, so that what comes later (axes,
// curve) lies over them as in the window.
#pragma once

#include <cairo.h>

#include <vector>

#include "platform/Common.h"
#include "plot/RasterCanvas.h"

class RasterPicture : public RasterCanvas {
  public:
    RasterPicture(int width, int height);
    ~RasterPicture() override;
    RasterPicture(const RasterPicture&) = delete;
    RasterPicture& operator=(const RasterPicture&) = delete;

    const RasterCanvas& canvas() const { return *this; }
    // The opaque boxes of the texts placed so far, clipped to their rectangles: the label band.
    const std::vector<QRect>& textBoxes() const { return textBoxes_; }
    // Hands the picture as PNG bytes to write; false when write failed.
    bool WritePng(cairo_write_func_t write, void* closure);

    void PlaceText(const char* text, int32_t count, const QRect& rect, uint32_t format) override;

  private:
    std::vector<QRect> textBoxes_;
    cairo_surface_t* measureSurface_;
    cairo_t* measure_;  // the label font, for measuring texts
};
