#include "settings/W_prefs.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Common.h"
#include "platform/NumberText.h"
#include "settings/Prefs.h"
#include "settings/SetGetD.h"

namespace {

constexpr size_t kValueSize = 64;

template <typename T>
T& Field(const PrefDescriptor& d) {
    return PrefField<T>(gPrefs, d);
}

bool Stored(const PrefDescriptor& d) {
    return d.gate == PrefGate::Always || gPrefs.bSaveWinPos == 1;
}

// The default passes through the same conversion as a stored value.
void DefaultText(const PrefDescriptor& k, char* out, size_t size) {
    switch (k.kind) {
        case PrefKind::Text:
            out[0] = '\0';
            break;
        case PrefKind::RangeEnd:
            FormatRangeEnd(out, size, k.defaultValue, 0);
            break;
        case PrefKind::Count:
            std::snprintf(out, size, "%ld", static_cast<long>(k.defaultValue));
            break;
        case PrefKind::DecimalChar:
            std::snprintf(out, size, "%.1s", gPrefs.DecimalPoint);
            break;
        case PrefKind::Switch:
        case PrefKind::RectSide:
            std::snprintf(out, size, "%ld", static_cast<long>(Field<int32_t>(k)));
            break;
    }
}

void Convert(const PrefDescriptor& k, const char* value) {
    switch (k.kind) {
        case PrefKind::Text:
            break;  // read in place
        case PrefKind::RangeEnd:
            Field<double>(k) = ParseFieldDouble(value);
            break;
        case PrefKind::Count: {
            // Kept as read within the field's range; a count outside kMinIterations ..
            // kMaxIterations is then refused as a whole.
            const long long n = LeadingInteger(value);
            Field<uint32_t>(k) = n < 0 ? 0 : n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n);
            break;
        }
        case PrefKind::DecimalChar:
            Field<char[2]>(k)[0] = value[0];
            Field<char[2]>(k)[1] = '\0';
            break;
        case PrefKind::Switch:
            Field<int32_t>(k) = LeadingInteger(value) > 0 ? 1 : 0;
            break;
        case PrefKind::RectSide:
            Field<int32_t>(k) = ParseFieldLong(value);
            break;
    }
}

// Each kind passes its field to the format of its row as the type that format reads.
void ValueText(const PrefDescriptor& k, char* out, size_t size) {
    switch (k.kind) {
        case PrefKind::Text:
        case PrefKind::DecimalChar:
            std::snprintf(out, size, k.format, &Field<char>(k));
            break;
        case PrefKind::RangeEnd:  // a range end too long for "%9.3f " falls back to "%9.3e "
            FormatRangeEnd(out, size, Field<double>(k), 3);
            break;
        case PrefKind::Count:  // unsigned, so no count is ever written as a negative text
            std::snprintf(out, size, k.format, static_cast<unsigned long>(Field<uint32_t>(k)));
            break;
        case PrefKind::Switch:
            std::snprintf(out, size, k.format, Field<int32_t>(k) ? 1 : 0);
            break;
        case PrefKind::RectSide:
            std::snprintf(out, size, k.format, Field<int32_t>(k));
            break;
    }
}

// Whether the file gives the key, and its value as written: a missing key gives back each of two
// different defaults, a present one its value twice.
void NoteFound(const PrefDescriptor& k, PrefFound* found) {
    char first[kPrefFoundSize];
    char second[kPrefFoundSize];
    const uint32_t length =
        ProfileRead(kIniSection, k.key, "0", first, kPrefFoundSize, kIniFileName);
    ProfileRead(kIniSection, k.key, "1", second, kPrefFoundSize, kIniFileName);
    found->present = std::strcmp(first, "0") != 0 || std::strcmp(second, "1") != 0;
    found->text.assign(first, length);
}

// Why a value is not one value of its kind as the program writes it; Kept when it is.
PrefReplaced NotAsWritten(const PrefDescriptor& k, const char* text) {
    char* end = nullptr;
    switch (k.kind) {
        case PrefKind::Text:
            return std::strlen(text) > size_t{kFormulaMaxLength} ? PrefReplaced::TooLong
                                                                 : PrefReplaced::Kept;
        case PrefKind::RangeEnd: {
            const double value = std::strtod(text, &end);
            const bool number = end != text && *end == '\0' && !std::isnan(value);
            return number ? PrefReplaced::Kept : PrefReplaced::NotANumber;
        }
        case PrefKind::Count:
            std::strtoll(text, &end, 10);
            return end != text && *end == '\0' ? PrefReplaced::Kept : PrefReplaced::NotAWholeNumber;
        case PrefKind::Switch:
            return std::strcmp(text, "0") == 0 || std::strcmp(text, "1") == 0
                       ? PrefReplaced::Kept
                       : PrefReplaced::NotASwitch;
        case PrefKind::DecimalChar:
            return std::strlen(text) > 1 ? PrefReplaced::NotOneCharacter : PrefReplaced::Kept;
        case PrefKind::RectSide:
            break;
    }
    return PrefReplaced::Kept;
}

// Why the X walk's repairs put the value back to its default; Kept when they did not.
PrefReplaced PutBack(const PrefDescriptor& k, const WalkRepairs& repairs) {
    const bool walk = k.kind == PrefKind::RangeEnd || k.kind == PrefKind::Count;
    if (k.kind == PrefKind::Count && repairs.iterations) {
        return PrefReplaced::CountOutOfRange;
    }
    if (k.kind == PrefKind::RangeEnd && repairs.span) {
        return PrefReplaced::SpanNotUsable;
    }
    return walk && repairs.step ? PrefReplaced::StepTooSmall : PrefReplaced::Kept;
}

std::string UsedText(const PrefDescriptor& k) {
    char text[kValueSize];
    switch (k.kind) {
        case PrefKind::Text:
            return gPrefs.UserFnStr;
        case PrefKind::RangeEnd:
            std::snprintf(text, sizeof text, "%g", Field<double>(k));
            break;
        case PrefKind::Count:
            std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(Field<uint32_t>(k)));
            break;
        case PrefKind::DecimalChar:
            std::snprintf(text, sizeof text, "%.1s", Field<char[2]>(k));
            break;
        case PrefKind::Switch:
        case PrefKind::RectSide:
            std::snprintf(text, sizeof text, "%ld", static_cast<long>(Field<int32_t>(k)));
            break;
    }
    return text;
}

}  // namespace

void JudgeFoundValues(const WalkRepairs& repairs, PrefsReport* report) {
    for (int i = 0; i < kPrefCount; ++i) {
        const PrefDescriptor& k = kPrefTable[i];
        PrefFound& found = report->keys[i];
        if (!found.present || !Stored(k)) {
            continue;
        }
        const bool nul = found.text.find('\0') != std::string::npos;
        found.why = nul ? PrefReplaced::HoldsNul : NotAsWritten(k, found.text.c_str());
        if (found.why == PrefReplaced::Kept) {
            found.why = PutBack(k, repairs);
        }
        if (found.why != PrefReplaced::Kept) {
            found.put = UsedText(k);
        }
    }
}

int32_t ReadWinPrefs(PrefsReport* report) {
    for (int i = 0; i < kPrefCount; ++i) {
        const PrefDescriptor& k = kPrefTable[i];
        if (report != nullptr) {
            NoteFound(k, &report->keys[i]);
        }
        if (!Stored(k)) {
            continue;
        }
        char defaultText[kValueSize];
        DefaultText(k, defaultText, sizeof defaultText);
        if (k.kind == PrefKind::Text) {
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
    for (const PrefDescriptor& k : kPrefTable) {
        if (!Stored(k)) {
            continue;
        }
        // The formula can be longer than a number buffer.
        char value[sizeof gPrefs.UserFnStr];
        ValueText(k, value, sizeof value);
        ProfileWrite(kIniSection, k.key, value, kIniFileName);
    }
}

namespace {

// A count or a range that a hand-edited file spoiled goes back to its default alone; a step
// that still cannot advance X then puts the whole walk back.
WalkRepairs KeepUsableWalk() {
    WalkRepairs repairs;
    if (!IterationsAcceptable(gPrefs.Iterations)) {
        gPrefs.Iterations = kDefaultIterations;
        repairs.iterations = true;
    }
    if (!SpanAcceptable(gPrefs.MinX, gPrefs.MaxX)) {
        gPrefs.MinX = kDefaultMinX;
        gPrefs.MaxX = kDefaultMaxX;
        repairs.span = true;
    }
    if (!RangeAcceptable(gPrefs.MinX, gPrefs.MaxX, gPrefs.Iterations)) {
        SetDefaultWalk();
        repairs.step = true;
    }
    return repairs;
}

}  // namespace

int32_t ReadPreferences(PrefsReport* report) {
    const int32_t result = ReadWinPrefs(report);
    FinishReadingPreferences(report);
    return result;
}

void FinishReadingPreferences(PrefsReport* report) {
    if (gPrefs.bSaveWinPos == 0) {
        gPrefs.WPosRect = InitialRect;
    }
    const WalkRepairs repairs = KeepUsableWalk();
    if (report != nullptr) {
        JudgeFoundValues(repairs, report);
    }
    ComputeDeltaX();
}

void WritePreferences() {
    WriteWinPrefs();
}

namespace {

// Part of a link: the formula, the range and the count always, the rest when not its default.
bool InLink(const PrefDescriptor& k) {
    if (k.gate != PrefGate::Always) {
        return false;
    }
    switch (k.kind) {
        case PrefKind::Switch:
            return Field<int32_t>(k) != static_cast<int32_t>(k.defaultValue);
        case PrefKind::DecimalChar:
            return Field<char[2]>(k)[0] != static_cast<char>(k.defaultValue);
        default:
            return true;
    }
}

}  // namespace

std::string LinkKeyLines() {
    std::string lines;
    for (const PrefDescriptor& k : kPrefTable) {
        if (!InLink(k)) {
            continue;
        }
        char value[sizeof gPrefs.UserFnStr];
        if (k.kind == PrefKind::RangeEnd) {
            std::snprintf(value, sizeof value, "%.17g", Field<double>(k));
        } else {
            ValueText(k, value, sizeof value);
        }
        lines.append(k.key).append(1, '\t').append(value).append(1, '\n');
    }
    return lines;
}
