// The range pass, the plot renderer and the curve-info panel.
#pragma once

#include "app/Common.h"

// Smallest and largest valid Y of the last range pass (the sentinels +1e120 and -1e120 when
// it found none), the first X where each occurred, and their difference.
extern double gMinY;
extern double gMaxY;
extern double gRangeOfY;
extern double X_WhereMinY;
extern double X_WhereMaxY;

constexpr double kNoMinY = 1e120;
constexpr double kNoMaxY = -1e120;

void PrecalcRangeOfY();
// The whole plot: labels, then axes and curve, or the picture for no formula. Timed.
void DrawInThisContext(DrawSurface* hDc, const QRect* inRect);
void DrawCurve(DrawSurface* hDc, const QRect* Prec);
void DrawAxes(DrawSurface* hDc, const QRect* Prec);
// Queues a repaint of the main window and runs the range pass before it comes.
void ForceRedraw();
// The lines of the curve-info panel, in bands of 20 units from the top of client.
void DrawInfoLines(DrawSurface* hDc, const QRect* client);

constexpr QColor AxisColor = 0x00000000;
