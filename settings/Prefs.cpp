#include "settings/Prefs.h"

#include <cmath>
#include <cstdio>

_PrefsStruct gPrefs = {};
double g_DeltaX = 0.0;

namespace {

#define FIELD(name) offsetof(_PrefsStruct, name)
constexpr size_t kRect = FIELD(WPosRect);
constexpr PrefKind kText = PrefKind::Text;
constexpr PrefKind kRangeEnd = PrefKind::RangeEnd;
constexpr PrefKind kCount = PrefKind::Count;
constexpr PrefKind kChar = PrefKind::DecimalChar;
constexpr PrefKind kSwitch = PrefKind::Switch;
constexpr PrefKind kSide = PrefKind::RectSide;
constexpr PrefGate kAlways = PrefGate::Always;
constexpr PrefGate kSaved = PrefGate::WithPositionSaving;

}  // namespace

// The rectangle keys stand after "bSaveWinPos" and carry its gate: they are read only when the
// value just read is 1, and written only while it is 1.
// clang-format off
const PrefDescriptor kPrefTable[kPrefCount] = {
    // key                  field                           kind       format    default             dialog id        gate
    {"Expression",          FIELD(UserFnStr),               kText,     "%s",     0,                  0,               kAlways},
    {"MinX",                FIELD(MinX),                    kRangeEnd, "%9.3f ", kDefaultMinX,       kIdMinX,         kAlways},
    {"MaxX",                FIELD(MaxX),                    kRangeEnd, "%9.3f ", kDefaultMaxX,       kIdMaxX,         kAlways},
    {"Iterations",          FIELD(Iterations),              kCount,    "%lu",    kDefaultIterations, kIdIterations,   kAlways},
    {"DecimalPoint",        FIELD(DecimalPoint),            kChar,     "%.1s",   '.',                kIdDecimalPoint, kAlways},
    {"bEnableParsingDebug", FIELD(bEnableParsingDebug),     kSwitch,   "%d",     0,                  kIdParsingDebug, kAlways},
    {"bEnableEvalDebug",    FIELD(bEnableEvalDebug),        kSwitch,   "%d",     0,                  kIdEvalDebug,    kAlways},
    {"bAutoScaleX",         FIELD(bAutoScaleX),             kSwitch,   "%d",     1,                  kIdAutoScaleX,   kAlways},
    {"bAutoScaleY",         FIELD(bAutoScaleY),             kSwitch,   "%d",     1,                  kIdAutoScaleY,   kAlways},
    {"bDontDraw",           FIELD(bDontDraw),               kSwitch,   "%d",     0,                  kIdDontDraw,     kAlways},
    {"bSaveWinPos",         FIELD(bSaveWinPos),             kSwitch,   "%d",     0,                  kIdSaveWinPos,   kAlways},
    {"Y1",                  kRect + offsetof(QRect, top),   kSide,     "%d",     InitialRect.top,    0,               kSaved},
    {"X1",                  kRect + offsetof(QRect, left),  kSide,     "%d",     InitialRect.left,   0,               kSaved},
    {"Y2",                  kRect + offsetof(QRect, bottom), kSide,    "%d",     InitialRect.bottom, 0,               kSaved},
    {"X2",                  kRect + offsetof(QRect, right), kSide,     "%d",     InitialRect.right,  0,               kSaved},
};
// clang-format on
#undef FIELD

void SetDefaultWalk() {
    gPrefs.MinX = kDefaultMinX;
    gPrefs.MaxX = kDefaultMaxX;
    gPrefs.Iterations = kDefaultIterations;
}

namespace {

void SetDefault(const PrefDescriptor& d) {
    switch (d.kind) {
        case PrefKind::Text:
            break;  // the formula is not a setting with a default
        case PrefKind::RangeEnd:
            PrefField<double>(gPrefs, d) = d.defaultValue;
            break;
        case PrefKind::Count:
            PrefField<uint32_t>(gPrefs, d) = static_cast<uint32_t>(d.defaultValue);
            break;
        case PrefKind::DecimalChar:
            PrefField<char[2]>(gPrefs, d)[0] = static_cast<char>(d.defaultValue);
            PrefField<char[2]>(gPrefs, d)[1] = '\0';
            break;
        case PrefKind::Switch:
        case PrefKind::RectSide:
            PrefField<int32_t>(gPrefs, d) = static_cast<int32_t>(d.defaultValue);
            break;
    }
}

}  // namespace

int PrefIndexOf(size_t offset) {
    for (int i = 0; i < kPrefCount; ++i) {
        if (kPrefTable[i].offset == offset) {
            return i;
        }
    }
    return -1;
}

void SetFormulaText(const char* text) {
    std::snprintf(gPrefs.UserFnStr, sizeof gPrefs.UserFnStr, "%s", text);
}

void InitPrefs() {
    for (const PrefDescriptor& d : kPrefTable) {
        SetDefault(d);
    }
}

void ComputeDeltaX() {
    g_DeltaX = (gPrefs.MaxX - gPrefs.MinX) / static_cast<double>(gPrefs.Iterations);
}

void InitGVars() {
    InitPrefs();
    ComputeDeltaX();
}

bool IterationsAcceptable(long long iterations) {
    return iterations >= kMinIterations && iterations <= kMaxIterations;
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
