// Scaling set-up and the mapping of one sample to one pixel of the drawing rectangle.
#pragma once

#include <cstdint>

#include "app/Common.h"

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

// A real position as a 16-bit coordinate, truncated toward zero; a non-finite position is 0.
// False when the position lies outside the 16-bit range: such a point is not drawn.
bool ToCoordinate(double position, int16_t* coordinate);

// Column and row of the last pixel set; they carry over from pass to pass.
void LastPixel(int16_t* h, int16_t* v);
