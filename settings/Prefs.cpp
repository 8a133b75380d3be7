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
    return iterations > 0;
}

bool RangeAcceptable(double minX, double maxX, long long iterations) {
    const double span = maxX - minX;
    if (!(span > 0.0) || !std::isfinite(span)) {
        return false;
    }
    if (!IterationsAcceptable(iterations)) {
        return true;  // the count has its own check; the range itself is fine
    }
    const double step = span / static_cast<double>(iterations);
    return minX + step > minX && maxX + step > maxX;
}

namespace {

void KeepUsableRange() {
    if (IterationsAcceptable(gPrefs.Iterations) &&
        RangeAcceptable(gPrefs.MinX, gPrefs.MaxX, gPrefs.Iterations)) {
        return;
    }
    SetDefaultWalk();
}

}  // namespace

int32_t ReadPreferences() {
    const int32_t result = ReadWinPrefs();
    if (gPrefs.bSaveWinPos == 0) {
        gPrefs.WPosRect = InitialRect;
    }
    KeepUsableRange();
    ComputeDeltaX();
    return result;
}

void WritePreferences() {
    WriteWinPrefs();
}

namespace {

// The length of the overlap of [from1, to1) and [from2, to2), or 0 when they do not meet.
int64_t Overlap(int64_t from1, int64_t to1, int64_t from2, int64_t to2) {
    const int64_t from = from1 > from2 ? from1 : from2;
    const int64_t to = to1 < to2 ? to1 : to2;
    return to > from ? to - from : 0;
}

}  // namespace

bool WindowRectUsable(const QRect& saved, const QRect& screen) {
    const int64_t width = static_cast<int64_t>(saved.right) - saved.left;
    const int64_t height = static_cast<int64_t>(saved.bottom) - saved.top;
    if (width < kMinWindowWidth || height < kMinWindowHeight || width > INT32_MAX ||
        height > INT32_MAX) {
        return false;
    }
    return Overlap(saved.left, saved.right, screen.left, screen.right) >= kMinVisibleOnScreen &&
           Overlap(saved.top, saved.bottom, screen.top, screen.bottom) >= kMinVisibleOnScreen;
}

void KeepWindowRect(const QRect& rect) {
    gPrefs.WPosRect = rect;
}
