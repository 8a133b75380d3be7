#include "cli/IniReading.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Common.h"
#include "platform/IniFile.h"
#include "platform/CommonPortable.h"
#include "engine/Globals.h"
#include "settings/Prefs.h"
#include "settings/W_prefs.h"

namespace {

// Room to tell a formula far over the 255 characters the record keeps.
constexpr uint32_t kStoredSize = 4096;

struct Stored {
    bool present = false;
    std::string text;
};

// The text of a key as the file holds it, through the reader's own profile call: read with two
// different defaults, a missing key gives back each default, a present one its text twice.
Stored ReadStored(const char* key) {
    char first[kStoredSize];
    char second[kStoredSize];
    ProfileRead(kIniSection, key, "0", first, kStoredSize, kIniFileName);
    ProfileRead(kIniSection, key, "1", second, kStoredSize, kIniFileName);
    Stored stored;
    stored.present = std::strcmp(first, "0") != 0 || std::strcmp(second, "1") != 0;
    stored.text = first;
    return stored;
}

using GivenOnLine = bool (*)(const CliOptions&);

// The keys the tool uses besides the formula, with the option that gives each again.
const struct {
    size_t offset;
    GivenOnLine given;
} kUsedKeys[] = {
    {offsetof(_PrefsStruct, MinX), [](const CliOptions& o) { return o.minX.has_value(); }},
    {offsetof(_PrefsStruct, MaxX), [](const CliOptions& o) { return o.maxX.has_value(); }},
    {offsetof(_PrefsStruct, Iterations),
     [](const CliOptions& o) { return o.iterations.has_value(); }},
    {offsetof(_PrefsStruct, DecimalPoint),
     [](const CliOptions& o) { return o.decimalPoint.has_value(); }},
    {offsetof(_PrefsStruct, bAutoScaleX),
     [](const CliOptions& o) { return o.autoScaleX.has_value(); }},
    {offsetof(_PrefsStruct, bAutoScaleY),
     [](const CliOptions& o) { return o.autoScaleY.has_value(); }},
    {offsetof(_PrefsStruct, bDontDraw), [](const CliOptions& o) { return o.dontDraw.has_value(); }},
};

// Why the text is not one value of its kind as the program writes it; null when it is.
const char* NotAsWritten(const PrefDescriptor& d, const char* text) {
    char* end = nullptr;
    switch (d.kind) {
        case PrefKind::RangeEnd: {
            const double value = std::strtod(text, &end);
            return end == text || *end != '\0' || std::isnan(value) ? "not a number" : nullptr;
        }
        case PrefKind::Count:
            std::strtoll(text, &end, 10);
            return end == text || *end != '\0' ? "not a whole number" : nullptr;
        case PrefKind::Switch:
            return std::strcmp(text, "0") == 0 || std::strcmp(text, "1") == 0 ? nullptr
                                                                              : "not 0 or 1";
        case PrefKind::DecimalChar:
            return std::strlen(text) > 1 ? "not one character" : nullptr;
        default:
            return nullptr;
    }
}

// Why the reader put the value back to its default to keep a usable X walk; null when it did not.
const char* PutBack(const PrefDescriptor& d, const WalkRepairs& repairs) {
    const bool walk = d.kind == PrefKind::RangeEnd || d.kind == PrefKind::Count;
    if (d.kind == PrefKind::Count && repairs.iterations) {
        return "not from 1 to 2147483647";
    }
    if (d.kind == PrefKind::RangeEnd && repairs.span) {
        return "MaxX - MinX is not a positive finite number";
    }
    return walk && repairs.step ? "the step (MaxX - MinX) / Iterations does not move X" : nullptr;
}

std::string UsedText(const PrefDescriptor& d) {
    char text[64];
    switch (d.kind) {
        case PrefKind::RangeEnd:
            std::snprintf(text, sizeof text, "%g", PrefField<double>(gPrefs, d));
            break;
        case PrefKind::Count:
            std::snprintf(text, sizeof text, "%lu",
                          static_cast<unsigned long>(PrefField<uint32_t>(gPrefs, d)));
            break;
        case PrefKind::DecimalChar:
            std::snprintf(text, sizeof text, "'%.1s'", PrefField<char[2]>(gPrefs, d));
            break;
        default:
            std::snprintf(text, sizeof text, "%ld",
                          static_cast<long>(PrefField<int32_t>(gPrefs, d)));
            break;
    }
    return text;
}

const PrefDescriptor& Descriptor(size_t offset) {
    for (const PrefDescriptor& d : kPrefTable) {
        if (d.offset == offset) {
            return d;
        }
    }
    return kPrefTable[0];
}

}  // namespace

namespace {

// A file holds settings of the program when its [Quorvy] section holds one of the keys.
bool HoldsSettings() {
    for (const PrefDescriptor& d : kPrefTable) {
        if (ReadStored(d.key).present) {
            return true;
        }
    }
    return false;
}

// A formula the formula dialog would not take whole is refused as on the command line; the
// record would keep only its first 255 characters.
std::string FormulaRefusal(const std::string& path) {
    const size_t length = ReadStored(Descriptor(offsetof(_PrefsStruct, UserFnStr)).key).text.size();
    if (length <= kFormulaCapacity - 1) {
        return "";
    }
    const std::string count = length >= kStoredSize - 1
                                  ? "more than " + std::to_string(kStoredSize - 2)
                                  : std::to_string(length);
    return path + ": Expression has " + count + " characters; the formula dialog takes at most " +
           std::to_string(kFormulaCapacity - 1);
}

// A decimal mark that --decimal-point would refuse is refused here too.
std::string DecimalPointRefusal(const std::string& path, const CliOptions& o) {
    if (o.decimalPoint || SeparatesDecimals(gPrefs.DecimalPoint)) {
        return "";
    }
    return path + ": DecimalPoint '" + gPrefs.DecimalPoint +
           "' cannot separate decimals in a table; give --decimal-point";
}

std::vector<std::string> ReplacedValues(const std::string& path, const CliOptions& o,
                                        const WalkRepairs& repairs) {
    std::vector<std::string> lines;
    for (const auto& key : kUsedKeys) {
        const PrefDescriptor& d = Descriptor(key.offset);
        const Stored stored = ReadStored(d.key);
        if (!stored.present || key.given(o)) {
            continue;
        }
        const char* why = NotAsWritten(d, stored.text.c_str());
        if (why == nullptr) {
            why = PutBack(d, repairs);
        }
        if (why != nullptr) {
            lines.push_back(path + ": " + d.key + "=" + stored.text + " replaced by " +
                            UsedText(d) + " (" + why + ")");
        }
    }
    return lines;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool KnownKey(const std::string& key) {
    for (const PrefDescriptor& d : kPrefTable) {
        if (SameName(key, d.key)) {
            return true;
        }
    }
    return false;
}

// The key lines of [Quorvy] that the reader passes over, which the profile calls cannot list:
// an unknown key, a key given again (the first counts), and every key of a second [Quorvy]
// section (the first section counts). Names match in any case, as the reader matches them.
std::vector<std::string> PassedOver(const std::string& path) {
    std::vector<std::string> lines;
    std::vector<std::string> seen;
    for (const IniKeyLine& entry : IniKeyLines(path, kIniSection)) {
        const std::string& key = entry.key;
        const bool again = std::any_of(seen.begin(), seen.end(),
                                       [&key](const std::string& k) { return SameName(k, key); });
        const char* why = !KnownKey(key)      ? "not a key of Quorvy"
                          : entry.section > 1 ? "in a second [Quorvy] section; the first counts"
                          : again             ? "given again; the first counts"
                                              : nullptr;
        seen.push_back(key);
        if (why != nullptr) {
            lines.push_back(path + ": " + entry.line + " ignored (" + why + ")");
        }
    }
    return lines;
}

}  // namespace

IniReading ReadIniFile(const std::string& path, const CliOptions& o, bool formulaGiven) {
    IniReading reading;
    SetProfileFile(path.c_str());
    if (!HoldsSettings()) {
        reading.refusal = path + ": no [Quorvy] section with a setting of Quorvy";
    } else {
        WalkRepairs repairs;
        ReadPreferences(&repairs);
        reading.refusal = formulaGiven ? "" : FormulaRefusal(path);
        if (reading.refusal.empty()) {
            reading.refusal = DecimalPointRefusal(path, o);
        }
        reading.replaced = PassedOver(path);
        const std::vector<std::string> replaced = ReplacedValues(path, o, repairs);
        reading.replaced.insert(reading.replaced.end(), replaced.begin(), replaced.end());
    }
    SetProfileFile("");
    return reading;
}
