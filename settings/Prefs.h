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

// Reads Quorvy.ini over the current record, then the X step; returns 1. Values that would give
// no usable X walk put MinX, MaxX and Iterations back to their defaults.
int32_t ReadPreferences();
void WritePreferences();

// The rules for a usable X walk, shared by the settings dialog and the file reader.
bool IterationsAcceptable(long long iterations);
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

// Smallest window that still shows a caption, a menu bar and some plot: a saved rectangle
// below it (a minimised caption strip of 160 x 27, say) is not used.
constexpr int64_t kMinWindowWidth = 100;
constexpr int64_t kMinWindowHeight = 80;
// How much of a saved rectangle must lie on the screen, in each direction, to be reachable.
constexpr int64_t kMinVisibleOnScreen = 32;

// True when a saved window rectangle can be used as it is on a screen of the given bounds:
// its width and height are at least the minimum and fit in 32 bits (computed in 64 bits, so
// that sides such as -2147483648 and 2147483647 cannot wrap), and at least
// kMinVisibleOnScreen of it in each direction lies on the screen.
bool WindowRectUsable(const QRect& saved, const QRect& screen);
// Keeps the main window's rectangle in the record (written to Quorvy.ini on the way out).
void KeepWindowRect(const QRect& rect);
