// Zoom and pan of the plot: the X range a change of view gives, worked out in the plot's pixel
// columns as the drawing pass maps X to them, and the X that a column shows.
#pragma once

#include <cstdint>

struct XRange {
    double minX;
    double maxX;
};

// One wheel notch, one pinch of that ratio or one press of + or - zooms by this factor.
constexpr double kZoomStep = 1.25;
// An arrow key pans by this share of the plot's width.
constexpr int kPanKeyShare = 10;

// The X at the left edge of pixel column (fractions allowed) of a plot width columns wide: with
// AutoScale X the range spreads over the width, without it one X unit is one column and X 0
// lies in the middle column.
double XAtColumn(const XRange& range, double column, int32_t width);
// The range seen closer by factor (above 1: zoom in, below 1: zoom out), the X at column staying
// at that column; a factor of 1 leaves the range as it is.
XRange ZoomedRange(const XRange& range, double column, int32_t width, double factor);
// The range seen after the picture moved by columns to the right (to the left when negative).
XRange PannedRange(const XRange& range, double columns, int32_t width);
