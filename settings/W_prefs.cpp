#include "settings/W_prefs.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/Common.h"
#include "plot/NumberText.h"
#include "settings/Prefs.h"

namespace {

enum class KeyKind : uint8_t {
    Text,         // the formula, read straight into the field
    RangeEnd,     // double, written "%9.3f "
    Count,        // iterations, written "%ld"
    DecimalChar,  // one character
    Switch,       // written "1" or "0"; read as 1 when its integer is above 0
    RectSide,     // window rectangle, only while position saving is on
};

struct PrefKey {
    const char* key;
    KeyKind kind;
    size_t offset;          // of the field in _PrefsStruct
    double builtinDefault;  // range ends and count; the others default to the field's value
};

constexpr size_t kRect = offsetof(_PrefsStruct, WPosRect);

// In file order; reading and writing both walk this table.
constexpr PrefKey kKeys[] = {
    {"Expression", KeyKind::Text, offsetof(_PrefsStruct, UserFnStr), 0},
    {"MinX", KeyKind::RangeEnd, offsetof(_PrefsStruct, MinX), kDefaultMinX},
    {"MaxX", KeyKind::RangeEnd, offsetof(_PrefsStruct, MaxX), kDefaultMaxX},
    {"Iterations", KeyKind::Count, offsetof(_PrefsStruct, Iterations), kDefaultIterations},
    {"DecimalPoint", KeyKind::DecimalChar, offsetof(_PrefsStruct, DecimalPoint), 0},
    {"bEnableParsingDebug", KeyKind::Switch, offsetof(_PrefsStruct, bEnableParsingDebug), 0},
    {"bEnableEvalDebug", KeyKind::Switch, offsetof(_PrefsStruct, bEnableEvalDebug), 0},
    {"bAutoScaleX", KeyKind::Switch, offsetof(_PrefsStruct, bAutoScaleX), 0},
    {"bAutoScaleY", KeyKind::Switch, offsetof(_PrefsStruct, bAutoScaleY), 0},
    {"bDontDraw", KeyKind::Switch, offsetof(_PrefsStruct, bDontDraw), 0},
    {"bSaveWinPos", KeyKind::Switch, offsetof(_PrefsStruct, bSaveWinPos), 0},
    {"Y1", KeyKind::RectSide, kRect + offsetof(QRect, top), 0},
    {"X1", KeyKind::RectSide, kRect + offsetof(QRect, left), 0},
    {"Y2", KeyKind::RectSide, kRect + offsetof(QRect, bottom), 0},
    {"X2", KeyKind::RectSide, kRect + offsetof(QRect, right), 0},
};

constexpr size_t kValueSize = 64;

template <typename T>
T& Field(const PrefKey& k) {
    return *reinterpret_cast<T*>(reinterpret_cast<char*>(&gPrefs) + k.offset);
}

bool Stored(const PrefKey& k) {
    return k.kind != KeyKind::RectSide || gPrefs.bSaveWinPos == 1;
}

// A leading integer: blanks skipped, optional sign, digits; 0 when there is none.
long long LeadingInteger(const char* text) {
    return std::strtoll(text, nullptr, 10);
}

int32_t ClampToInt32(long long v) {
    return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

void FormatRangeEnd(char* out, size_t size, double value, int precision) {
    char number[kValueSize - 1];
    FormatNumber(number, sizeof number, value, 9, precision);
    std::snprintf(out, size, "%s ", number);
}

// The default passes through the same conversion as a stored value.
void DefaultText(const PrefKey& k, char* out, size_t size) {
    switch (k.kind) {
        case KeyKind::Text:
            out[0] = '\0';
            break;
        case KeyKind::RangeEnd:
            FormatRangeEnd(out, size, k.builtinDefault, 0);
            break;
        case KeyKind::Count:
            std::snprintf(out, size, "%ld", static_cast<long>(k.builtinDefault));
            break;
        case KeyKind::DecimalChar:
            std::snprintf(out, size, "%.1s", gPrefs.DecimalPoint);
            break;
        case KeyKind::Switch:
        case KeyKind::RectSide:
            std::snprintf(out, size, "%ld", static_cast<long>(Field<int32_t>(k)));
            break;
    }
}

void Convert(const PrefKey& k, const char* value) {
    switch (k.kind) {
        case KeyKind::Text:
            break;  // read in place
        case KeyKind::RangeEnd:
            Field<double>(k) = std::strtod(value, nullptr);
            break;
        case KeyKind::Count: {
            // Kept as read within the field's range; a count outside 1 .. 2147483647 is then
            // refused as a whole.
            const long long n = LeadingInteger(value);
            Field<uint32_t>(k) = n < 0 ? 0 : n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n);
            break;
        }
        case KeyKind::DecimalChar:
            Field<char[2]>(k)[0] = value[0];
            Field<char[2]>(k)[1] = '\0';
            break;
        case KeyKind::Switch:
            Field<int32_t>(k) = LeadingInteger(value) > 0 ? 1 : 0;
            break;
        case KeyKind::RectSide:
            Field<int32_t>(k) = ClampToInt32(LeadingInteger(value));
            break;
    }
}

void ValueText(const PrefKey& k, char* out, size_t size) {
    switch (k.kind) {
        case KeyKind::Text:
            std::snprintf(out, size, "%s", gPrefs.UserFnStr);
            break;
        case KeyKind::RangeEnd:
            FormatRangeEnd(out, size, Field<double>(k), 3);
            break;
        case KeyKind::Count:  // unsigned, so no count is ever written as a negative text
            std::snprintf(out, size, "%lu", static_cast<unsigned long>(Field<uint32_t>(k)));
            break;
        case KeyKind::DecimalChar:
            std::snprintf(out, size, "%.1s", gPrefs.DecimalPoint);
            break;
        case KeyKind::Switch:
            std::snprintf(out, size, "%s", Field<int32_t>(k) ? "1" : "0");
            break;
        case KeyKind::RectSide:
            std::snprintf(out, size, "%d", Field<int32_t>(k));
            break;
    }
}

}  // namespace

int32_t ReadWinPrefs() {
    for (const PrefKey& k : kKeys) {
        if (!Stored(k)) {
            continue;
        }
        char defaultText[kValueSize];
        DefaultText(k, defaultText, sizeof defaultText);
        if (k.kind == KeyKind::Text) {
            ProfileRead(kIniSection, k.key, defaultText, gPrefs.UserFnStr, sizeof gPrefs.UserFnStr,
                        kIniFileName);
            continue;
        }
        char value[kValueSize];
        ProfileRead(kIniSection, k.key, defaultText, value, sizeof value, kIniFileName);
        Convert(k, value);
    }
    return 1;
}

void WriteWinPrefs() {
    for (const PrefKey& k : kKeys) {
        if (!Stored(k)) {
            continue;
        }
        // The formula can be longer than a number buffer.
        char value[sizeof gPrefs.UserFnStr];
        ValueText(k, value, sizeof value);
        ProfileWrite(kIniSection, k.key, value, kIniFileName);
    }
}
