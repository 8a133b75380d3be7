// Scaling set-up and the mapping of one sample to one pixel of the drawing rectangle.
#pragma once

#include <cmath>
#include <cstdint>

#include "platform/Common.h"
#include "engine/Eval.h"

constexpr QColor pixelColor = 0x00FF0000;       // blue: a valid sample
constexpr QColor OutofRangeColor = 0x000000FF;  // red: the formula is undefined there

// Smallest and largest valid Y of the last range pass (the sentinels +1e120 and -1e120 when
// it found none) and their difference: the Y range that the mapping scales to.
extern double gMinY;
extern double gMaxY;
extern double gRangeOfY;

constexpr double kNoMinY = 1e120;
constexpr double kNoMaxY = -1e120;

// X and Y units per pixel column and row, set at the start of every drawing pass.
extern double gScaleXFactor;
extern double gScaleYFactor;

void PrepareForScaling(DrawSurface* hDc, const QRect* pr);
// Sets at most one pixel; InvalidPixel non-zero draws in OutofRangeColor (the caller passes
// y = 0.0 then, which is the row of the X axis).
void MapAndDraw(double x, double y, int32_t InvalidPixel);

// A block of samples mapped to pixels as MapAndDraw maps each sample (an undefined one with
// y = 0.0): sample i lies on (h[i], v[i]), and bit i of sets is set where sample i sets its pixel
// when every sample before it was drawn.
struct PixelBlock {
    int16_t h[kSampleBlock];
    int16_t v[kSampleBlock];
    uint64_t sets;
};
void MapBlock(const SampleBlock& block, PixelBlock* pixels);
// MapBlock for a block whose Y values are known only as the floats y kept in their place (those of
// undefined samples unused): true when the float of every sample settles its pixel, whatever Y it
// stands for, and pixels then holds what MapBlock would give for the exact Y values; false
// otherwise, and the block is to be evaluated and mapped by MapBlock.
bool MapNarrowBlock(const SampleBlock& block, const float* y, PixelBlock* pixels);
// Sets the pixels of the samples before end, in order, as MapAndDraw sets them.
void DrawMapped(const PixelBlock& pixels, const SampleBlock& block, int end);

// A real position as a 16-bit coordinate, truncated toward zero; a non-finite position is 0.
// False when the position lies outside the 16-bit range: such a point is not drawn.
inline bool ToCoordinate(double position, int16_t* coordinate) {
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

// Column and row of the last pixel set; they carry over from pass to pass.
void LastPixel(int16_t* h, int16_t* v);
