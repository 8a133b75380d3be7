#include "plot/Pixels.h"

#include <cmath>

#include "settings/Prefs.h"

double gMinY = 0.0;
double gMaxY = 0.0;
double gRangeOfY = 0.0;
double gScaleXFactor = 1.0;
double gScaleYFactor = 1.0;

namespace {

DrawSurface* DestHdc = nullptr;
uint16_t H = 0;
uint16_t W = 0;
int16_t HalfY = 0;
int16_t HalfX = 0;
int16_t OldH = 0;
int16_t OldV = 0;

// Without automatic scaling only one pixel per unit within this window is drawn.
constexpr double kUnscaledLimit = 32766.0;

bool UnscaledCoordinate(double offset, double value, int16_t* coordinate) {
    if (!(value >= -kUnscaledLimit && value <= kUnscaledLimit)) {
        return false;
    }
    return ToCoordinate(offset, coordinate);
}

bool RowOf(double y, int16_t* v) {
    if (gPrefs.bAutoScaleY) {
        return ToCoordinate((gMinY - y) / gScaleYFactor + H, v);
    }
    return UnscaledCoordinate(HalfY - y, y, v);
}

bool ColumnOf(double x, int16_t* h) {
    if (gPrefs.bAutoScaleX) {
        return ToCoordinate((x - gPrefs.MinX) / gScaleXFactor, h);
    }
    return UnscaledCoordinate(HalfX + x, x, h);
}

}  // namespace

bool ToCoordinate(double position, int16_t* coordinate) {
    // Truncation toward zero keeps every position strictly between these in the 16-bit range.
    if (position > INT16_MIN - 1.0 && position < INT16_MAX + 1.0) {
        *coordinate = static_cast<int16_t>(static_cast<int32_t>(position));
        return true;
    }
    if (!std::isfinite(position)) {
        *coordinate = 0;
        return true;
    }
    return false;
}

void PrepareForScaling(DrawSurface* hDc, const QRect* pr) {
    DestHdc = hDc;
    if (gPrefs.bAutoScaleY) {
        H = static_cast<uint16_t>(pr->bottom - pr->top);
        gScaleYFactor = gRangeOfY / H;
    } else {
        HalfY = static_cast<int16_t>((pr->bottom - pr->top) / 2);
        gScaleYFactor = 1.0;
    }
    if (gPrefs.bAutoScaleX) {
        W = static_cast<uint16_t>(pr->right - pr->left);
        gScaleXFactor = (gPrefs.MaxX - gPrefs.MinX) / W;
    } else {
        HalfX = static_cast<int16_t>((pr->right - pr->left) / 2);
        gScaleXFactor = 1.0;
    }
}

void MapAndDraw(double x, double y, int32_t InvalidPixel) {
    int16_t v = 0;
    int16_t h = 0;
    // Both mappings first, without a branch between them, so that their divisions overlap.
    const bool rowFits = RowOf(y, &v);
    const bool columnFits = ColumnOf(x, &h);
    if (!rowFits || !columnFits) {
        return;
    }
    if (h == OldH && v == OldV) {
        return;  // already set, whatever its colour
    }
    if (h < 0 || v < 0) {
        return;  // the device clips the right and bottom edges itself
    }
    DestHdc->SetPixel(h, v, InvalidPixel ? OutofRangeColor : pixelColor);
    OldH = h;
    OldV = v;
}

void LastPixel(int16_t* h, int16_t* v) {
    *h = OldH;
    *v = OldV;
}
