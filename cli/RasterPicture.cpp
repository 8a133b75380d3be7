#include "cli/RasterPicture.h"

#include <string>
#include <utility>
#include <vector>

#include "cli/LabelText.h"

namespace {

// Cairo keeps a pixel as 0x00RRGGBB in a 32-bit word; the program as 0x00BBGGRR.
uint32_t SwapRedBlue(uint32_t c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

uint32_t* Row(cairo_surface_t* image, int y) {
    unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    return reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * static_cast<size_t>(stride));
}

// Turns a matrix of rows x columns, stored row by row, into its transpose where it lies: each
// element is moved along the cycle of places it belongs to, so that no second copy is needed.
void Transpose(QColor* a, size_t rows, size_t columns) {
    const size_t count = rows * columns;
    if (count < 3 || rows == 1 || columns == 1) {
        return;
    }
    std::vector<bool> moved(count, false);
    const uint64_t last = count - 1;
    for (size_t start = 1; start < last; ++start) {
        if (moved[start]) {
            continue;
        }
        QColor carried = a[start];
        size_t at = start;
        do {
            at = static_cast<size_t>(static_cast<uint64_t>(at) * rows % last);
            std::swap(carried, a[at]);
            moved[at] = true;
        } while (at != start);
    }
}

void SwapRedBlue(QColor* pixels, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        pixels[i] = SwapRedBlue(pixels[i]);
    }
}

}  // namespace

RasterPicture::RasterPicture(int width, int height)
    : RasterCanvas(width, height),
      measureSurface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1)),
      measure_(cairo_create(measureSurface_)) {
    UseLabelFont(measure_);
}

RasterPicture::~RasterPicture() {
    cairo_destroy(measure_);
    cairo_surface_destroy(measureSurface_);
}

// The text is drawn into a picture of its own box, whose pixels then replace the canvas's.
void RasterPicture::PlaceText(const char* text, int32_t count, const QRect& rect, uint32_t format) {
    RasterCanvas::PlaceText(text, count, rect, format);
    const std::string line(text, count > 0 ? static_cast<size_t>(count) : 0);
    const QRect box = PlaceLabel(rect, format, MeasureLabel(measure_, line)).box;
    if (BoxIsEmpty(box)) {
        return;
    }
    textBoxes_.push_back(box);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(image);
    UseLabelFont(cr);
    cairo_translate(cr, -box.left, -box.top);
    DrawLabel(cr, line, rect, format);
    cairo_destroy(cr);
    cairo_surface_flush(image);
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = Row(image, y);
        for (int x = 0; x < width; ++x) {
            SetPixel(box.left + x, box.top + y, SwapRedBlue(row[x] & 0xFFFFFF));
        }
    }
    cairo_surface_destroy(image);
}

// Cairo encodes the canvas's own pixels, put in its order (row by row, red in the high byte)
// for the time of the writing, so that a large picture takes no second copy of them.
bool RasterPicture::WritePng(cairo_write_func_t write, void* closure) {
    const int width = this->width();
    const int height = this->height();
    const int stride = width * static_cast<int>(sizeof(QColor));
    if (cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, width) != stride) {
        return false;
    }
    QColor* pixels = pixelRows();
    const auto columns = static_cast<size_t>(width);
    const auto rows = static_cast<size_t>(height);
    Transpose(pixels, columns, rows);  // the canvas keeps a column after another
    SwapRedBlue(pixels, columns * rows);
    cairo_surface_t* image = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(pixels), CAIRO_FORMAT_RGB24, width, height, stride);
    cairo_status_t status = cairo_surface_status(image);
    if (status == CAIRO_STATUS_SUCCESS) {
        status = cairo_surface_write_to_png_stream(image, write, closure);
    }
    cairo_surface_destroy(image);
    SwapRedBlue(pixels, columns * rows);
    Transpose(pixels, rows, columns);
    return status == CAIRO_STATUS_SUCCESS;
}
