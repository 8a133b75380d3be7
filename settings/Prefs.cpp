#include "settings/Prefs.h"

#include <cmath>

#include "settings/W_prefs.h"

_PrefsStruct gPrefs = {};
const QRect InitialRect = {40, 30, 430, 430};
double g_DeltaX = 0.0;

namespace {

void SetDefaultWalk() {
    gPrefs.MinX = kDefaultMinX;
    gPrefs.MaxX = kDefaultMaxX;
    gPrefs.Iterations = kDefaultIterations;
}

}  // namespace

void InitPrefs() {
    SetDefaultWalk();
    gPrefs.bEnableParsingDebug = 0;
    gPrefs.bEnableEvalDebug = 0;
    gPrefs.bAutoScaleX = 1;
    gPrefs.bAutoScaleY = 1;
    gPrefs.bDontDraw = 0;
    gPrefs.bSaveWinPos = 0;
    gPrefs.WPosRect = InitialRect;
    gPrefs.DecimalPoint[0] = '.';
    gPrefs.DecimalPoint[1] = '\0';
}

void ComputeDeltaX() {
    g_DeltaX = (gPrefs.MaxX - gPrefs.MinX) / static_cast<double>(gPrefs.Iterations);
}

void InitGVars() {
    InitPrefs();
    ComputeDeltaX();
}

bool IterationsAcceptable(long long iterations) {
    return iterations >= 1 && iterations <= kMaxIterations;
}

bool SpanAcceptable(double minX, double maxX) {
    const double span = maxX - minX;
    return span > 0.0 && std::isfinite(span);
}

bool RangeAcceptable(double minX, double maxX, long long iterations) {
    if (!SpanAcceptable(minX, maxX)) {
        return false;
    }
    if (!IterationsAcceptable(iterations)) {
        return true;  // the count has its own check; the range itself is fine
    }
    const double step = (maxX - minX) / static_cast<double>(iterations);
    return minX + step > minX && maxX + step > maxX;
}

namespace {

// A count or a range that a hand-edited file spoiled goes back to its default alone; a step
// that still cannot advance X then puts the whole walk back.
void KeepUsableWalk() {
    if (!IterationsAcceptable(gPrefs.Iterations)) {
        gPrefs.Iterations = kDefaultIterations;
    }
    if (!SpanAcceptable(gPrefs.MinX, gPrefs.MaxX)) {
        gPrefs.MinX = kDefaultMinX;
        gPrefs.MaxX = kDefaultMaxX;
    }
    if (!RangeAcceptable(gPrefs.MinX, gPrefs.MaxX, gPrefs.Iterations)) {
        SetDefaultWalk();
    }
}

}  // namespace

int32_t ReadPreferences() {
    const int32_t result = ReadWinPrefs();
    if (gPrefs.bSaveWinPos == 0) {
        gPrefs.WPosRect = InitialRect;
    }
    KeepUsableWalk();
    ComputeDeltaX();
    return result;
}

void WritePreferences() {
    WriteWinPrefs();
}
