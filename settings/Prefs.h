// The preferences record, its built-in defaults and the X step derived from it.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstring>
#include <cstdint>
#include <string>

#include "platform/Common.h"

// The longest formula: 255 characters and the terminator, in the record, the parser's buffers and
// every front end's check.
constexpr int kFormulaCapacity = 256;
constexpr int kFormulaMaxLength = kFormulaCapacity - 1;

struct _PrefsStruct {
    char UserFnStr[kFormulaCapacity];
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
// The default window place: at 40, 30, 390 pixels wide and 400 high.
constexpr QRect InitialRect = {40, 30, 430, 430};

// How a setting is held in the record and written in Quorvy.ini.
enum class PrefKind : uint8_t {
    Text,         // the formula, read straight into the field; the defaults leave it alone
    RangeEnd,     // a double
    Count,        // an unsigned 32-bit count
    DecimalChar,  // one character and the terminator
    Switch,       // 0 or 1; a stored integer above 0 reads as 1
    RectSide,     // one side of the window rectangle
};

// When a key is read and written.
enum class PrefGate : uint8_t {
    Always,
    // Only while bSaveWinPos is 1: such keys stand after it, so the value just read decides.
    WithPositionSaving,
};

struct PrefDescriptor {
    const char* key;
    size_t offset;  // of the field in _PrefsStruct
    PrefKind kind;
    const char* format;   // how the value is written
    double defaultValue;  // the built-in default; a character's code for DecimalChar
    int dialogId;         // the settings dialog's control for the field; 0 for none
    PrefGate gate;
};

// The settings dialog's controls: its edit fields, then its check boxes, one per switch in
// record order.
constexpr int kIdMaxX = 1001;
constexpr int kIdMinX = 1002;
constexpr int kIdIterations = 1003;
constexpr int kIdDecimalPoint = 1005;
constexpr int kIdParsingDebug = 1011;
constexpr int kIdEvalDebug = 1012;
constexpr int kIdAutoScaleX = 1013;
constexpr int kIdAutoScaleY = 1014;
constexpr int kIdDontDraw = 1015;
constexpr int kIdSaveWinPos = 1016;

constexpr int kPrefCount = 15;
// Every setting, in the file's key order: the defaults, the reader, the writer and the settings
// dialog's check boxes all walk this one table.
extern const PrefDescriptor kPrefTable[kPrefCount];

// The field of a record that a descriptor stands for, as the type its kind holds (double,
// uint32_t, char[2], int32_t).
// The row of kPrefTable for the field at offset in _PrefsStruct; -1 for none.
int PrefIndexOf(size_t offset);

template <typename T>
T& PrefField(_PrefsStruct& record, const PrefDescriptor& d) {
    return *reinterpret_cast<T*>(reinterpret_cast<char*>(&record) + d.offset);
}

extern _PrefsStruct gPrefs;
extern double g_DeltaX;

// The formula text as the user typed it, cut to the 255 characters the record holds.
void SetFormulaText(const char* text);

void InitPrefs();
// MinX, MaxX and Iterations back to their defaults together.
void SetDefaultWalk();
void InitGVars();
// g_DeltaX = (MaxX - MinX) / Iterations.
void ComputeDeltaX();

// What the reader put back to the defaults to keep a usable X walk.
struct WalkRepairs {
    bool iterations = false;  // a count outside kMinIterations .. kMaxIterations
    bool span = false;        // MaxX - MinX was not positive and finite: both ends
    bool step = false;        // the step could not advance X: MinX, MaxX and Iterations
};

// Why the reader used something else than a value as the file writes it.
enum class PrefReplaced : uint8_t {
    Kept,             // used as written
    NotANumber,       // a range end that is not one number
    NotAWholeNumber,  // a count that is not one whole number
    NotASwitch,       // a switch that is not 0 or 1
    NotOneCharacter,  // a decimal point of several characters: the first is used
    TooLong,          // a formula over kFormulaMaxLength characters: its start is kept
    CountOutOfRange,  // a count outside kMinIterations .. kMaxIterations: the default
    SpanNotUsable,    // MaxX - MinX is not positive and finite: both ends' defaults
    StepTooSmall,     // the step does not move X: the defaults of MinX, MaxX and Iterations
    HoldsNul,         // a NUL byte in the value: the reader stops there
};

// Room for a value as the file holds it: far more than any value the program writes, so that a
// formula over the limit can be told by its length.
constexpr uint32_t kPrefFoundSize = 4096;

// One key as the reader found it in the file.
struct PrefFound {
    bool present = false;  // the file gives the key (also one its gate leaves unread)
    std::string text;      // its value, cut to kPrefFoundSize - 1 bytes, NUL bytes included
    PrefReplaced why = PrefReplaced::Kept;
    std::string put;  // what the record holds instead, as text ("%g", "%lu", "%.1s", "%ld")
};

// What the reader did with each key, in the order of kPrefTable.
struct PrefsReport {
    PrefFound keys[kPrefCount];
};

// The sample range: the counts the settings dialog takes (a signed 32-bit field, above 0).
constexpr long long kMinIterations = 1;
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
// increases X.
struct XWalk {
    double x;
    bool ended;
};

inline XWalk StartXWalk() {
    return {gPrefs.MinX, !(gPrefs.MinX < gPrefs.MaxX)};
}

// The numbers 0 to kMostSideBySide - 1 as doubles, read from a table so that the compiler turns
// the loop over them into vector instructions.
constexpr int kMostSideBySide = 64;
struct StepCounts {
    double count[kMostSideBySide];
};
constexpr StepCounts MakeStepCounts() {
    StepCounts steps{};
    for (int k = 0; k < kMostSideBySide; ++k) {
        steps.count[k] = k;
    }
    return steps;
}
constexpr StepCounts kSideBySideSteps = MakeStepCounts();

// Where X and every X the walk adds up to within the next room (at most kMostSideBySide) steps
// lie in one binade, at least one unit in the last place inside its ends, and the step is not
// exactly half way between two multiples of that unit, each addition rounds the step to the same
// multiple d of the unit: the X values are then X + k * d exactly, computed side by side instead
// of one after the other. False, having written nothing, elsewhere.
inline bool AddSideBySide(XWalk& walk, double* xs, int room, double step, double maxX) {
    if (room > kMostSideBySide) {
        return false;
    }
    const double x = walk.x;
    uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    const uint64_t exponent = (bits >> 52) & 0x7FF;  // |x| from 2^(exponent - 1023) on
    if (exponent <= 53 || exponent >= 0x7FE) {       // tiny, huge, infinite or not a number
        return false;
    }
    const auto power = [](uint64_t field) {
        double value = 0.0;
        const uint64_t fieldBits = field << 52;
        std::memcpy(&value, &fieldBits, sizeof value);
        return value;
    };
    const double unit = power(exponent - 52);
    const double low = power(exponent) + unit;
    const double high = power(exponent + 1) - unit;
    const double d = (x + step) - x;
    const double end = x + static_cast<double>(room) * d;
    const bool inside = std::fabs(x) >= low && std::fabs(end) >= low && std::fabs(x) <= high &&
                        std::fabs(end) <= high && (x < 0) == (end < 0);
    if (!(d > 0) || !inside || !(end < maxX) || 2 * std::fabs(step - d) == unit) {
        return false;
    }
    for (int k = 0; k < room; ++k) {
        xs[k] = x + kSideBySideSteps.count[k] * d;
    }
    walk.x = end;
    return true;
}

// The next X values of the walk, at most room of them, by the same additions in the same order
// however the walk is cut into pieces; returns how many (0 once it has ended).
inline int NextXs(XWalk& walk, double* xs, int room) {
    const double step = g_DeltaX;
    const double maxX = gPrefs.MaxX;
    if (room > 1 && !walk.ended && AddSideBySide(walk, xs, room, step, maxX)) {
        return room;
    }
    double x = walk.x;
    bool ended = walk.ended;
    int count = 0;
    while (count < room && !ended) {
        xs[count++] = x;
        const double next = x + step;
        ended = !(next > x) || !(next < maxX);
        x = next;
    }
    walk.x = x;
    walk.ended = ended;
    return count;
}

// The walk one X at a time, until visit returns false.
template <typename Visit>
void WalkX(Visit visit) {
    XWalk walk = StartXWalk();
    double x;
    while (NextXs(walk, &x, 1) == 1) {
        if (!visit(x)) {
            return;
        }
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
