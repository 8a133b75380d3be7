// The preferences record, its built-in defaults and the X step derived from it.
#pragma once

#include <cstdint>

#include "app/Common.h"

struct _PrefsStruct {
    char UserFnStr[256];
    double MinX;
    double MaxX;
    uint32_t Iterations;
    int32_t bEnableParsingDebug;
    int32_t bEnableEvalDebug;
    int32_t bAutoScaleX;
    int32_t bAutoScaleY;
    int32_t bDontDraw;
    int32_t bSaveWinPos;
    QRect WPosRect;
    char DecimalPoint[2];
};

constexpr double kDefaultMinX = -100.0;
constexpr double kDefaultMaxX = 100.0;
constexpr uint32_t kDefaultIterations = 10000;

extern _PrefsStruct gPrefs;
extern const QRect InitialRect;
extern double g_DeltaX;

void InitPrefs();
void InitGVars();
// g_DeltaX = (MaxX - MinX) / Iterations.
void ComputeDeltaX();

// Reads Quorvy.ini over the current record, then the X step; returns 1. A count or a range that
// would give no usable X walk goes back to its default alone; a step that cannot advance X puts
// MinX, MaxX and Iterations back together.
int32_t ReadPreferences();
void WritePreferences();

// The largest count the settings dialog can hold (a signed 32-bit field).
constexpr long long kMaxIterations = 2147483647;

// The rules for a usable X walk, shared by the settings dialog and the file reader.
bool IterationsAcceptable(long long iterations);
// MaxX - MinX is positive and finite.
bool SpanAcceptable(double minX, double maxX);
// MaxX - MinX is positive and finite and, with a usable count, the step still advances X at
// both ends of the range.
bool RangeAcceptable(double minX, double maxX, long long iterations);

// The X walk of the range pass, the drawing pass and the export: MinX, then X plus the step
// accumulated in double precision, while X < MaxX. It also ends when adding the step no longer
// increases X, and when visit returns false.
template <typename Visit>
void WalkX(Visit visit) {
    double x = gPrefs.MinX;
    while (x < gPrefs.MaxX) {
        if (!visit(x)) {
            return;
        }
        const double next = x + g_DeltaX;
        if (!(next > x)) {
            return;
        }
        x = next;
    }
}
