// The range pass, the plot renderer and the curve-info panel.
#pragma once

#include "platform/Common.h"

// The first X at which the last range pass met its smallest and its largest Y (MinX when it
// found no valid sample). Kept by the range pass for the curve-info panel; read here by tests.
struct ExtremePlaces {
    double whereMinY;
    double whereMaxY;
};
ExtremePlaces WhereExtremesOccur();

// The program's state as at start: the built-in settings and no formula, nothing measured,
// scaled or timed. For runs that share one process (the command-line tool, tests).
void ResetToStartState();

// The range pass: the smallest and largest Y over the X walk and where each first occurs. A key
// stops it; the drawing passes that follow then draw only the samples it measured. It keeps the
// values it computed (up to kKeptSamplesBound samples) for the passes after it.
void PrecalcRangeOfY();
// The whole plot: labels, then axes and curve, or the picture for no formula. Timed.
void DrawInThisContext(DrawSurface* hDc, const QRect* inRect);
// Its two named steps, exported for their tests: scaling, axes and curve; the two axes.
void DrawCurve(DrawSurface* hDc, const QRect* Prec);
// The blocks of the last drawing pass whose Y values the range pass kept only as floats: how many
// were mapped from the floats and how many were evaluated again (a pixel the floats did not
// settle).
struct NarrowDrawing {
    uint64_t mapped;
    uint64_t evaluated;
};
NarrowDrawing LastNarrowDrawing();
void DrawAxes(DrawSurface* hDc, const QRect* Prec);
// Queues a repaint of the main window and runs the range pass before it comes.
void ForceRedraw();

constexpr QColor AxisColor = 0x00000000;
