#include "plot/View.h"

#include "settings/Prefs.h"

namespace {

// X units per pixel column, as PrepareForScaling sets them.
double XPerColumn(const XRange& range, int32_t width) {
    return gPrefs.bAutoScaleX ? (range.maxX - range.minX) / width : 1.0;
}

}  // namespace

double XAtColumn(const XRange& range, double column, int32_t width) {
    if (gPrefs.bAutoScaleX) {
        return range.minX + column * XPerColumn(range, width);
    }
    return column - static_cast<int16_t>(width / 2);
}

XRange ZoomedRange(const XRange& range, double column, int32_t width, double factor) {
    if (factor == 1.0) {
        return range;  // as it was, not rounded through the column's X
    }
    const double x = XAtColumn(range, column, width);
    return {x - (x - range.minX) / factor, x + (range.maxX - x) / factor};
}

XRange PannedRange(const XRange& range, double columns, int32_t width) {
    const double shift = columns * XPerColumn(range, width);
    return {range.minX - shift, range.maxX - shift};
}
