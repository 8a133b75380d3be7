#include "cli/IniReading.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

#include "platform/IniFile.h"
#include "platform/CommonPortable.h"
#include "settings/Prefs.h"
#include "settings/W_prefs.h"

namespace {

// The reader's reasons in the tool's words.
std::string ReasonText(PrefReplaced why) {
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
        case PrefReplaced::TooLong:
        case PrefReplaced::Kept:
            break;
    }
    return "";
}

// A file holds settings of the program when its [Quorvy] section holds one of the keys.
bool HoldsSettings(const PrefsReport& report) {
    for (const PrefFound& found : report.keys) {
        if (found.present) {
            return true;
        }
    }
    return false;
}

// A formula the formula dialog would not take whole is refused as on the command line; the
// record would keep only its start.
std::string FormulaRefusal(const std::string& path, const PrefsReport& report) {
    const PrefFound& found = report.keys[PrefIndexOf(offsetof(_PrefsStruct, UserFnStr))];
    if (found.why != PrefReplaced::TooLong) {
        return "";
    }
    const size_t length = found.text.size();
    const std::string count = length >= kPrefFoundSize - 1
                                  ? "more than " + std::to_string(kPrefFoundSize - 2)
                                  : std::to_string(length);
    return FormulaTooLong(path + ": Expression", count);
}

// A decimal mark that --decimal-point would refuse is refused here too.
std::string DecimalPointRefusal(const std::string& path, const CliOptions& o) {
    if (o.decimalPoint || SeparatesDecimals(gPrefs.DecimalPoint)) {
        return "";
    }
    return path + ": DecimalPoint '" + gPrefs.DecimalPoint +
           "' cannot separate decimals in a table; give --decimal-point";
}

// The values of the keys the tool uses that the reader did not use as written.
std::vector<std::string> ReplacedValues(const std::string& path, const CliOptions& o,
                                        const PrefsReport& report) {
    std::vector<std::string> lines;
    for (const auto& key : kUsedIniKeys) {
        const int index = PrefIndexOf(key.offset);
        const PrefDescriptor& d = kPrefTable[index];
        const PrefFound& found = report.keys[index];
        if (!found.present || key.givenOnLine(o) || found.why == PrefReplaced::Kept) {
            continue;
        }
        const std::string put = d.kind == PrefKind::DecimalChar ? "'" + found.put + "'" : found.put;
        lines.push_back(path + ": " + d.key + "=" + found.text + " replaced by " + put + " (" +
                        ReasonText(found.why) + ")");
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
    PrefsReport report;
    ReadPreferences(&report);
    if (!HoldsSettings(report)) {
        reading.refusal = path + ": no [Quorvy] section with a setting of Quorvy";
    } else {
        reading.refusal = formulaGiven ? "" : FormulaRefusal(path, report);
        if (reading.refusal.empty()) {
            reading.refusal = DecimalPointRefusal(path, o);
        }
        reading.replaced = PassedOver(path);
        const std::vector<std::string> replaced = ReplacedValues(path, o, report);
        reading.replaced.insert(reading.replaced.end(), replaced.begin(), replaced.end());
    }
    SetProfileFile("");
    return reading;
}
