#include "settings/PrefsReport.h"

#include <string_view>

#include "platform/IniFile.h"
#include "settings/W_prefs.h"

std::string ReplacedReason(PrefReplaced why) {
    switch (why) {
        case PrefReplaced::NotANumber:
            return "not a number";
        case PrefReplaced::NotAWholeNumber:
            return "not a whole number";
        case PrefReplaced::NotASwitch:
            return "not 0 or 1";
        case PrefReplaced::NotOneCharacter:
            return "not one character";
        case PrefReplaced::CountOutOfRange:
            return "not from " + std::to_string(kMinIterations) + " to " +
                   std::to_string(kMaxIterations);
        case PrefReplaced::SpanNotUsable:
            return "MaxX - MinX is not a positive finite number";
        case PrefReplaced::StepTooSmall:
            return "the step (MaxX - MinX) / Iterations does not move X";
        case PrefReplaced::HoldsNul:
            return "a NUL byte; the reader stops there";
        case PrefReplaced::TooLong:
        case PrefReplaced::Kept:
            break;
    }
    return "";
}

std::string ReplacedValueLine(const char* key, const std::string& text, const std::string& put,
                              const std::string& reason) {
    return std::string(key) + "=" + text + " replaced by " + put + " (" + reason + ")";
}

std::string IgnoredKeyLine(const std::string& line, const char* why) {
    return line + " ignored (" + why + ")";
}

namespace {

// The row of kPrefTable for a key named in any case; -1 for none.
int KnownKey(std::string_view key) {
    for (int i = 0; i < kPrefCount; ++i) {
        if (IniNamesMatch(key, kPrefTable[i].key)) {
            return i;
        }
    }
    return -1;
}

}  // namespace

std::vector<PassedOverKey> PassedOverKeys(const std::string& content) {
    std::vector<PassedOverKey> keys;
    bool seen[kPrefCount] = {};
    for (const IniKeyLine& entry : IniKeyLines(content, kIniSection)) {
        const int known = KnownKey(entry.key);
        const bool again = known >= 0 && seen[known];
        if (known >= 0) {
            seen[known] = true;
        }
        const char* why = known < 0           ? "not a key of Quorvy"
                          : entry.section > 1 ? "in a second [Quorvy] section; the first counts"
                          : again             ? "given again; the first counts"
                                              : nullptr;
        if (why != nullptr) {
            keys.push_back({std::string(entry.line), why});
        }
    }
    return keys;
}
