#include "settings/W_prefs.h"

#include <cstddef>
#include <cstdio>

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
            // Kept as read within the field's range; a count outside 1 .. 2147483647 is then
            // refused as a whole.
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

}  // namespace

int32_t ReadWinPrefs() {
    for (const PrefDescriptor& k : kPrefTable) {
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
