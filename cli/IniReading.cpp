#include "cli/IniReading.h"

#include <cstddef>
#include <cstring>
#include <string_view>

#include "cli/MessageText.h"
#include "platform/IniFile.h"
#include "platform/CommonPortable.h"
#include "settings/Prefs.h"
#include "settings/PrefsReport.h"
#include "settings/W_prefs.h"

namespace {

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
std::string FormulaRefusal(const std::string& shown, const PrefsReport& report) {
    const PrefFound& found = report.keys[PrefIndexOf(offsetof(_PrefsStruct, UserFnStr))];
    if (found.why == PrefReplaced::HoldsNul) {
        return shown + ": Expression holds a NUL byte after " + QuotedText(gPrefs.UserFnStr) +
               "; a formula is text";
    }
    if (found.why != PrefReplaced::TooLong) {
        return "";
    }
    const size_t length = found.text.size();
    const std::string count = length >= kPrefFoundSize - 1
                                  ? "more than " + std::to_string(kPrefFoundSize - 2)
                                  : std::to_string(length);
    return FormulaTooLong(shown + ": Expression", count);
}

// A decimal mark that --decimal-point would refuse is refused here too.
std::string DecimalPointRefusal(const std::string& shown, const CliOptions& o) {
    if (o.decimalPoint || SeparatesDecimals(gPrefs.DecimalPoint)) {
        return "";
    }
    return shown + ": DecimalPoint " + QuotedText(gPrefs.DecimalPoint) +
           " cannot separate decimals in a table; give --decimal-point";
}

// The values of the keys the tool uses that the reader did not use as written.
std::vector<std::string> ReplacedValues(const std::string& shown, const CliOptions& o,
                                        const PrefsReport& report) {
    std::vector<std::string> lines;
    for (const auto& key : kUsedIniKeys) {
        const int index = PrefIndexOf(key.offset);
        const PrefDescriptor& d = kPrefTable[index];
        const PrefFound& found = report.keys[index];
        if (!found.present || key.givenOnLine(o) || found.why == PrefReplaced::Kept) {
            continue;
        }
        const std::string put =
            d.kind == PrefKind::DecimalChar ? QuotedText(found.put) : EscapedText(found.put);
        lines.push_back(
            shown + ": " +
            ReplacedValueLine(d.key, EscapedText(found.text), put, ReplacedReason(found.why)));
    }
    return lines;
}

// The key lines of [Quorvy] that the reader passes over.
std::vector<std::string> PassedOver(const std::string& content, const std::string& shown) {
    std::vector<std::string> lines;
    for (const PassedOverKey& key : PassedOverKeys(content)) {
        lines.push_back(shown + ": " + IgnoredKeyLine(EscapedText(key.line), key.why));
    }
    return lines;
}

// The X walk that the line gives goes over the file's before the reader's repairs, which then
// judge the values in effect: a file's MinX=5 and MaxX=1 with --min 0 make the range 0 to 1.
// The line's own values are checked afterwards, by the settings dialog's rules.
void PutWalkOfTheLine(const CliOptions& o) {
    gPrefs.MinX = o.minX.value_or(gPrefs.MinX);
    gPrefs.MaxX = o.maxX.value_or(gPrefs.MaxX);
    if (o.iterations) {
        gPrefs.Iterations = static_cast<uint32_t>(*o.iterations);
    }
}

}  // namespace

IniReading ReadIniFile(const std::string& path, const CliOptions& o, bool formulaGiven) {
    IniReading reading;
    const std::string shown = EscapedText(path);
    // The reader asks for each key three times: the file is read once.
    std::string content;
    IniLoad(path, &content);
    SetProfileFile(path.c_str());
    SetProfileText(&content);
    PrefsReport report;
    ReadWinPrefs(&report);
    PutWalkOfTheLine(o);
    FinishReadingPreferences(&report);
    if (!HoldsSettings(report)) {
        reading.refusal = shown + ": no [Quorvy] section with a setting of Quorvy";
    } else {
        reading.refusal = formulaGiven ? "" : FormulaRefusal(shown, report);
        if (reading.refusal.empty()) {
            reading.refusal = DecimalPointRefusal(shown, o);
        }
        reading.replaced = PassedOver(content, shown);
        const std::vector<std::string> replaced = ReplacedValues(shown, o, report);
        reading.replaced.insert(reading.replaced.end(), replaced.begin(), replaced.end());
    }
    SetProfileText(nullptr);
    SetProfileFile("");
    return reading;
}
