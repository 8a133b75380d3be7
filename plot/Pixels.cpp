#include "plot/Pixels.h"

#include <algorithm>
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

// Where the row and the column of a sample fall before they become coordinates.
double RowPosition(double y) {
    return gPrefs.bAutoScaleY ? (gMinY - y) / gScaleYFactor + H : HalfY - y;
}

double ColumnPosition(double x) {
    return gPrefs.bAutoScaleX ? (x - gPrefs.MinX) / gScaleXFactor : HalfX + x;
}

bool RowOf(double y, double position, int16_t* v) {
    if (gPrefs.bAutoScaleY) {
        return ToCoordinate(position, v);
    }
    return UnscaledCoordinate(position, y, v);
}

bool ColumnOf(double x, double position, int16_t* h) {
    if (gPrefs.bAutoScaleX) {
        return ToCoordinate(position, h);
    }
    return UnscaledCoordinate(position, x, h);
}

// Whether a mapped sample sets its pixel after (lastH, lastV) was the last one set.
bool SetsPixel(bool fits, int16_t h, int16_t v, int16_t lastH, int16_t lastV) {
    // Not the pixel just set, whatever its colour; the device clips the right and bottom edges
    // itself, the left and top ones are left out here.
    return fits & ((h != lastH) | (v != lastV)) & (h >= 0) & (v >= 0);
}

void SetPixelOf(int16_t h, int16_t v, bool invalid) {
    DestHdc->SetPixel(h, v, invalid ? OutofRangeColor : pixelColor);
    OldH = h;
    OldV = v;
}

}  // namespace

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
    const bool rowFits = RowOf(y, RowPosition(y), &v);
    const bool columnFits = ColumnOf(x, ColumnPosition(x), &h);
    if (SetsPixel(rowFits && columnFits, h, v, OldH, OldV)) {
        SetPixelOf(h, v, InvalidPixel != 0);
    }
}

// The row and column positions of a whole block: loops of a fixed length without a branch
// inside, which the compiler turns into vector divisions; lane by lane the operations of
// RowPosition and ColumnPosition.
void BlockPositions(const SampleBlock& block, const double* ys, double* rows, double* columns) {
    const double minY = gMinY;
    const double scaleY = gScaleYFactor;
    const double height = H;
    const double halfY = HalfY;
    if (gPrefs.bAutoScaleY) {
        for (int i = 0; i < kSampleBlock; ++i) {
            rows[i] = (minY - ys[i]) / scaleY + height;
        }
    } else {
        for (int i = 0; i < kSampleBlock; ++i) {
            rows[i] = halfY - ys[i];
        }
    }
    const double minX = gPrefs.MinX;
    const double scaleX = gScaleXFactor;
    const double halfX = HalfX;
    if (gPrefs.bAutoScaleX) {
        for (int i = 0; i < kSampleBlock; ++i) {
            columns[i] = (block.x[i] - minX) / scaleX;
        }
    } else {
        for (int i = 0; i < kSampleBlock; ++i) {
            columns[i] = halfX + block.x[i];
        }
    }
}

// ToCoordinate of every position when all of them lie strictly inside the 16-bit range (its
// first case), in loops the compiler vectorizes. A position is first held within +-40000 (a NaN
// goes to -40000) so that its truncation is defined; it lies inside the range exactly when its
// truncation toward zero does. False, having converted nothing, when some position does not.
bool CoordinatesInRange(const double* positions, int16_t* coordinates) {
    constexpr double kBound = 40000.0;
    int32_t truncated[kSampleBlock];
    for (int i = 0; i < kSampleBlock; ++i) {
        const double p = positions[i];
        const double held = p > -kBound ? (p < kBound ? p : kBound) : -kBound;
        truncated[i] = static_cast<int32_t>(held);
    }
    int32_t lowest = 0;
    int32_t highest = 0;
    for (int i = 0; i < kSampleBlock; ++i) {
        lowest = truncated[i] < lowest ? truncated[i] : lowest;
        highest = truncated[i] > highest ? truncated[i] : highest;
    }
    if (lowest < INT16_MIN || highest > INT16_MAX) {
        return false;
    }
    for (int i = 0; i < kSampleBlock; ++i) {
        coordinates[i] = static_cast<int16_t>(truncated[i]);
    }
    return true;
}

// The coordinates of every sample of the block and whether both fit, as RowOf and ColumnOf give
// them.
void BlockCoordinates(const SampleBlock& block, const double* ys, const double* rows,
                      const double* columns, int16_t* hs, int16_t* vs, bool* fits) {
    const bool autoY = gPrefs.bAutoScaleY != 0;
    const bool autoX = gPrefs.bAutoScaleX != 0;
    if (autoY && autoX && CoordinatesInRange(rows, vs) && CoordinatesInRange(columns, hs)) {
        std::fill(fits, fits + kSampleBlock, true);
        return;
    }
    for (int i = 0; i < block.count; ++i) {
        const bool rowFits = RowOf(ys[i], rows[i], &vs[i]);
        fits[i] = ColumnOf(block.x[i], columns[i], &hs[i]) && rowFits;
    }
}

void MapBlock(const SampleBlock& block, PixelBlock* pixels) {
    double ys[kSampleBlock];
    for (int i = 0; i < kSampleBlock; ++i) {
        ys[i] = block.undefined[i] ? 0.0 : block.y[i];
    }
    double rows[kSampleBlock];
    double columns[kSampleBlock];
    BlockPositions(block, ys, rows, columns);
    int16_t hs[kSampleBlock] = {};
    int16_t vs[kSampleBlock] = {};
    bool fits[kSampleBlock];
    BlockCoordinates(block, ys, rows, columns, hs, vs, fits);
    // Without a branch on the outcome, which follows the curve and is hard to predict: the
    // samples that set a pixel are listed in order.
    int16_t lastH = OldH;
    int16_t lastV = OldV;
    int listed = 0;
    for (int i = 0; i < block.count; ++i) {
        const bool sets = SetsPixel(fits[i], hs[i], vs[i], lastH, lastV);
        pixels->h[listed] = hs[i];
        pixels->v[listed] = vs[i];
        pixels->sample[listed] = static_cast<int16_t>(i);
        listed += sets ? 1 : 0;
        lastH = sets ? hs[i] : lastH;
        lastV = sets ? vs[i] : lastV;
    }
    pixels->count = listed;
}

void DrawMapped(const PixelBlock& pixels, const SampleBlock& block, int end) {
    for (int k = 0; k < pixels.count && pixels.sample[k] < end; ++k) {
        SetPixelOf(pixels.h[k], pixels.v[k], block.undefined[pixels.sample[k]]);
    }
}

void LastPixel(int16_t* h, int16_t* v) {
    *h = OldH;
    *v = OldV;
}
