#include "cli/Picture.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <cstring>

#include "cli/RasterPicture.h"
#include "cli/VectorSurface.h"
#include "plot/Draw.h"

namespace {

struct Writer {
    FILE* file;
    int error = 0;  // errno of the first failed write
};

cairo_status_t WriteBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* writer = static_cast<Writer*>(closure);
    if (writer->error == 0 && std::fwrite(data, 1, length, writer->file) != length) {
        writer->error = errno != 0 ? errno : EIO;
    }
    return writer->error == 0 ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

bool DrawPng(int width, int height, Writer* writer) {
    RasterPicture picture(width, height);
    const QRect client = {0, 0, width, height};
    DrawInThisContext(&picture, &client);
    return picture.WritePng(WriteBytes, writer);
}

// A build that must give the same bytes each time sets SOURCE_DATE_EPOCH (seconds since
// 1970-01-01 UTC): the PDF's creation date is then that moment instead of the clock's. A value
// that is not such a number is passed over, as the clock is then the only date there is.
void DateBySourceEpoch(cairo_surface_t* pdf) {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch == nullptr || *epoch == '\0') {
        return;
    }
    char* end = nullptr;
    errno = 0;
    const long long seconds = std::strtoll(epoch, &end, 10);
    const auto moment = static_cast<std::time_t>(seconds);
    std::tm utc = {};
    if (*end != '\0' || errno != 0 || seconds < 0 || gmtime_r(&moment, &utc) == nullptr) {
        return;
    }
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", &utc);
    cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATE_DATE, date);
}

cairo_surface_t* VectorTarget(PictureFormat format, int width, int height, Writer* writer) {
    if (format == PictureFormat::Svg) {
        cairo_surface_t* svg =
            cairo_svg_surface_create_for_stream(WriteBytes, writer, width, height);
        cairo_svg_surface_set_document_unit(svg, CAIRO_SVG_UNIT_PX);
        return svg;
    }
    cairo_surface_t* pdf = cairo_pdf_surface_create_for_stream(WriteBytes, writer, width, height);
    DateBySourceEpoch(pdf);
    return pdf;
}

bool DrawVector(PictureFormat format, int width, int height, Writer* writer) {
    cairo_surface_t* target = VectorTarget(format, width, height, writer);
    cairo_t* cr = cairo_create(target);
    {
        VectorSurface surface(cr, width, height);
        const QRect client = {0, 0, width, height};
        DrawInThisContext(&surface, &client);
        surface.Flush();
    }
    cairo_destroy(cr);
    cairo_surface_finish(target);
    const bool written = cairo_surface_status(target) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(target);
    return written;
}

}  // namespace

bool DrawPicture(PictureFormat format, int width, int height, FILE* out, std::string* error) {
    Writer writer{out};
    errno = 0;
    const bool drawn = format == PictureFormat::Png ? DrawPng(width, height, &writer)
                                                    : DrawVector(format, width, height, &writer);
    if (drawn && std::fflush(out) == 0) {
        return true;
    }
    const int reason = writer.error != 0 ? writer.error : errno;
    *error = reason != 0 ? std::strerror(reason) : "the picture could not be made";
    return false;
}
