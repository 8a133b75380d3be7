#include "cli/Options.h"

#include <getopt.h>

#include <cairo.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/MessageText.h"
#include "engine/Globals.h"
#include "settings/Prefs.h"
#include "settings/SetGetD.h"

#ifndef QUORVY_VERSION
#define QUORVY_VERSION "0"
#endif

namespace {

// Long-only options get codes above the range of characters.
enum LongOnly : int {
    kMin = 256,
    kMax,
    kIni,
    kNoAutoScaleX,
    kNoAutoScaleY,
    kAutoScaleX,
    kAutoScaleY,
    kDontDraw,
    kDraw,
    kTraceParse,
    kTraceEval,
};

const option kLongOptions[] = {
    {"output", required_argument, nullptr, 'o'},
    {"export", required_argument, nullptr, 'e'},
    {"info", no_argument, nullptr, 'i'},
    {"formula-file", required_argument, nullptr, 'f'},
    {"min", required_argument, nullptr, kMin},
    {"max", required_argument, nullptr, kMax},
    {"iterations", required_argument, nullptr, 'n'},
    {"decimal-point", required_argument, nullptr, 'd'},
    {"no-autoscale-x", no_argument, nullptr, kNoAutoScaleX},
    {"no-autoscale-y", no_argument, nullptr, kNoAutoScaleY},
    {"autoscale-x", no_argument, nullptr, kAutoScaleX},
    {"autoscale-y", no_argument, nullptr, kAutoScaleY},
    {"dont-draw", no_argument, nullptr, kDontDraw},
    {"draw", no_argument, nullptr, kDraw},
    {"ini", required_argument, nullptr, kIni},
    {"size", required_argument, nullptr, 's'},
    {"trace-parse", no_argument, nullptr, kTraceParse},
    {"trace-eval", no_argument, nullptr, kTraceEval},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};
constexpr const char* kShortOptions = ":o:e:f:in:d:s:hV";

// The text without the blanks around it: one rule for every number argument, as the settings
// dialog's fields read " 5" and "5 " alike.
std::string WithoutBlanks(const char* text) {
    const std::string s(text);
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The whole text is one number as the settings dialog reads its fields; NaN is not one.
bool ReadDouble(const char* text, double* value) {
    char* end = nullptr;
    const double number = std::strtod(text, &end);
    if (end == text || *end != '\0' || std::isnan(number)) {
        return false;
    }
    *value = ParseFieldDouble(text);
    return true;
}

enum class IntegerRead { Ok, NotWhole, OutOfRange };

// The whole text is one integer that a 32-bit field holds.
IntegerRead ReadInt32(const char* text, int32_t* value) {
    char* end = nullptr;
    errno = 0;
    const long long n = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0') {
        return IntegerRead::NotWhole;
    }
    if (errno == ERANGE || n < INT32_MIN || n > INT32_MAX) {
        return IntegerRead::OutOfRange;
    }
    *value = ParseFieldLong(text);
    return IntegerRead::Ok;
}

// WxH, each side a whole number from 1 to kMaxSide.
bool ReadSize(const char* text, int* width, int* height) {
    const char* x = std::strpbrk(text, "xX");
    if (x == nullptr) {
        return false;
    }
    const std::string w(text, static_cast<size_t>(x - text));
    int32_t a = 0;
    int32_t b = 0;
    if (w.empty() || !std::isdigit(static_cast<unsigned char>(w[0])) ||
        !std::isdigit(static_cast<unsigned char>(x[1])) ||
        ReadInt32(w.c_str(), &a) != IntegerRead::Ok || ReadInt32(x + 1, &b) != IntegerRead::Ok ||
        a < 1 || b < 1 || a > kMaxSide || b > kMaxSide) {
        return false;
    }
    *width = a;
    *height = b;
    return true;
}

// The argument of --min, --max or --iterations; false with error set when it does not read.
bool TakeNumber(int code, const char* arg, CliOptions* o, std::string* error) {
    const std::string text = WithoutBlanks(arg);
    if (code == 'n') {
        int32_t count = 0;
        const IntegerRead read = ReadInt32(text.c_str(), &count);
        if (read != IntegerRead::Ok) {
            const std::string range =
                "from " + std::to_string(kMinIterations) + " to " + std::to_string(kMaxIterations);
            *error = "--iterations: " + QuotedText(arg) +
                     (read == IntegerRead::NotWhole ? " is not a whole number"
                                                    : " is out of range: the count goes " + range);
            return false;
        }
        o->iterations = count;
        return true;
    }
    double number = 0;
    if (!ReadDouble(text.c_str(), &number)) {
        *error = std::string(code == kMin ? "--min" : "--max") + ": " + QuotedText(arg) +
                 " is not a number";
        return false;
    }
    (code == kMin ? o->minX : o->maxX) = number;
    return true;
}

// The marks that SeparatesDecimals takes, one after the other.
std::string DecimalMarks() {
    std::string marks;
    for (char c = ' '; c < '\x7f'; ++c) {
        const char mark[] = {c, '\0'};
        marks += SeparatesDecimals(mark) ? std::string(1, c) : "";
    }
    return marks;
}

bool TakeDecimalPoint(const char* arg, CliOptions* o, std::string* error) {
    const size_t length = std::strlen(arg);
    if (length != 1) {
        *error = "--decimal-point: " +
                 (length == 0 ? std::string("the mark is empty")
                              : QuotedText(arg) + " is not one ASCII character") +
                 "; give one of " + DecimalMarks();
        return false;
    }
    if (!SeparatesDecimals(arg)) {
        *error = "--decimal-point: " + QuotedText(arg) +
                 " cannot separate decimals in a table; give a mark such as '.' or ','";
        return false;
    }
    o->decimalPoint = arg;
    return true;
}

// The long name of an option code, for messages.
std::string OptionName(int code) {
    for (const option& o : kLongOptions) {
        if (o.name != nullptr && o.val == code) {
            return std::string("--") + o.name;
        }
    }
    return std::string("-") + static_cast<char>(code);
}

// The file named by --output, --export, --formula-file or --ini; false with error set when the
// name is empty or the option was given before.
bool TakeFileName(int code, const char* arg, CliOptions* o, std::string* error) {
    if (*arg == '\0') {
        *error = OptionName(code) + ": the file name is empty";
        return false;
    }
    std::string& path = code == 'o'   ? o->picturePath
                        : code == 'e' ? o->exportPath
                        : code == 'f' ? o->formulaFile
                                      : o->iniPath;
    // One file each: a second one would otherwise be dropped without a word.
    if (!path.empty()) {
        *error = OptionName(code) + " is given twice (" + QuotedText(path) + " and " +
                 QuotedText(arg) + "); one run writes or reads one file of each kind";
        return false;
    }
    path = arg;
    return true;
}

// The argument of one option into options; false with error set when it does not read.
bool TakeArgument(int code, const char* arg, CliOptions* o, std::string* error) {
    switch (code) {
        case 'o':
        case 'e':
        case 'f':
        case kIni:
            return TakeFileName(code, arg, o, error);
        case 'd':
            return TakeDecimalPoint(arg, o, error);
        case 's':
            if (!ReadSize(arg, &o->width, &o->height)) {
                *error = "--size: " + QuotedText(arg) + " is not WxH with sides from 1 to " +
                         std::to_string(kMaxSide);
                return false;
            }
            return true;
        default:
            return TakeNumber(code, arg, o, error);
    }
}

void TakeSwitch(int code, CliOptions* o) {
    switch (code) {
        case 'i':
            o->info = true;
            break;
        case kNoAutoScaleX:
        case kAutoScaleX:
            o->autoScaleX = code == kAutoScaleX;
            break;
        case kNoAutoScaleY:
        case kAutoScaleY:
            o->autoScaleY = code == kAutoScaleY;
            break;
        case kDontDraw:
        case kDraw:
            o->dontDraw = code == kDontDraw;
            break;
        case kTraceParse:
            o->traceParse = true;
            break;
        case kTraceEval:
            o->traceEval = true;
            break;
        default:
            break;
    }
}

// The long options that name begins, quoted and separated by blanks, and how many they are.
int LongOptionsStartingWith(const std::string& name, std::string* list) {
    int count = 0;
    for (const option& o : kLongOptions) {
        if (o.name != nullptr && std::strncmp(o.name, name.c_str(), name.size()) == 0) {
            *list += (count++ == 0 ? "" : " ") + QuotedText(("--" + std::string(o.name)));
        }
    }
    return count;
}

// The message for a long option getopt_long refused: an abbreviation of several, a switch given
// an argument, or unknown.
std::string RefusedLongOption(const char* given) {
    const std::string word = given;
    const std::string name = word.substr(0, word.find('='));
    std::string matches;
    const int count = LongOptionsStartingWith(name.substr(2), &matches);
    if (count > 1) {
        return "option " + QuotedText(name) + " is ambiguous; possibilities: " + matches;
    }
    if (count == 1 && name != word) {
        return "option " + matches + " takes no argument";
    }
    return "unknown option " + QuotedText(name);
}

// The message for an option getopt_long refused: unknown, or without its argument. A missing
// argument can only follow the last word, which is then the option itself. A switch given an
// argument ("--info=3") comes back with its own code in optopt, so it is told apart by the '='.
std::string RefusedOption(int code, char** argv) {
    const char* given = argv[optind - 1];
    const bool isLong = std::strncmp(given, "--", 2) == 0;
    if (code == ':') {
        std::string name = isLong ? given : std::string("-") + static_cast<char>(optopt);
        return "option " + QuotedText(name.substr(0, name.find('='))) + " requires an argument";
    }
    const char* equals = std::strchr(given, '=');
    const bool switchWithArgument = isLong && equals != nullptr && optopt != 0 &&
                                    OptionName(optopt).rfind(std::string(given, equals), 0) == 0;
    if (optopt == 0 || switchWithArgument) {
        return RefusedLongOption(given);
    }
    return "unknown option " + QuotedText((std::string("-") + static_cast<char>(optopt))) +
           " (a FORMULA that starts with '-' goes after \"--\", as in: quorvy-plot -i -- '-X+1')";
}

bool TakesArgument(int code) {
    const bool shortWithArgument = code > 0 && code < 128 && std::strchr("oefnds", code);
    return shortWithArgument || code == kMin || code == kMax || code == kIni;
}

// One formula: on the line, in --formula-file, or in the --ini file.
bool CheckFormula(int argc, char** argv, CliOptions* o, std::string* error) {
    const int words = argc - optind;
    if (words > 1) {
        *error = "one FORMULA only; " + QuotedText(argv[optind + 1]) + " is one too many";
        return false;
    }
    if (words == 1 && !o->formulaFile.empty()) {
        *error = "FORMULA and --formula-file: give one of them";
        return false;
    }
    if (words == 1) {
        o->formula = argv[optind];
        if (o->formula->size() > size_t{kFormulaMaxLength}) {
            *error = FormulaTooLong("FORMULA", std::to_string(o->formula->size()));
            return false;
        }
    } else if (o->iniPath.empty() && o->formulaFile.empty()) {
        *error = "missing FORMULA (or --formula-file FILE, or --ini FILE to take it from)";
        return false;
    }
    return true;
}

// Something to write, one output at most on standard output, a picture format known.
bool CheckOutputs(CliOptions* o, std::string* error) {
    if (o->picturePath.empty() && o->exportPath.empty() && !o->info) {
        *error = "nothing to write: give --output, --export or --info";
        return false;
    }
    const int toStdout = (o->picturePath == kStandardStream ? 1 : 0) +
                         (o->exportPath == kStandardStream ? 1 : 0) + (o->info ? 1 : 0);
    if (toStdout > 1) {
        *error = "standard output takes one of --output -, --export - and --info";
        return false;
    }
    if (!o->picturePath.empty()) {
        const std::optional<PictureFormat> format = PictureFormatOf(o->picturePath);
        if (!format) {
            *error =
                "--output: " + QuotedText(o->picturePath) + " does not end in .png, .svg or .pdf";
            return false;
        }
        o->pictureFormat = *format;
    }
    return true;
}

// What the options read, taken together: one formula, something to write, one stream each.
bool CheckWhole(int argc, char** argv, CliOptions* o, std::string* error) {
    return CheckFormula(argc, argv, o, error) && CheckOutputs(o, error);
}

}  // namespace

// A mark a reader can tell from the digits, the sign, the tab and the line end of a table row:
// printable punctuation other than '+' and '-'. Empty keeps the default point.
bool SeparatesDecimals(const char* mark) {
    const auto c = static_cast<unsigned char>(mark[0]);
    return c == '\0' || (std::ispunct(c) && c != '+' && c != '-');
}

CommandLine ParseCommandLine(int argc, char** argv, CliOptions* options, std::string* error) {
    *options = CliOptions{};
    optind = 0;  // a fresh scan, also when called again in the same process
    opterr = 0;
    for (;;) {
        const int code = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
        if (code == -1) {
            break;
        }
        if (code == 'h' || code == 'V') {
            return code == 'h' ? CommandLine::Help : CommandLine::Version;
        }
        if (code == '?' || code == ':') {
            *error = RefusedOption(code, argv);
            return CommandLine::UsageError;
        }
        if (!TakesArgument(code)) {
            TakeSwitch(code, options);
        } else if (!TakeArgument(code, optarg, options, error)) {
            return CommandLine::UsageError;
        }
    }
    return CheckWhole(argc, argv, options, error) ? CommandLine::Run : CommandLine::UsageError;
}

const std::array<UsedIniKey, 7> kUsedIniKeys = {{
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
}};

std::string UsedIniKeys() {
    std::string keys = kPrefTable[PrefIndexOf(offsetof(_PrefsStruct, UserFnStr))].key;
    for (const auto& key : kUsedIniKeys) {
        keys += std::string(", ") + kPrefTable[PrefIndexOf(key.offset)].key;
    }
    return keys;
}

std::string FormulaTooLong(const std::string& what, const std::string& count) {
    return what + " has " + count + " characters; the formula dialog takes at most " +
           std::to_string(kFormulaMaxLength);
}

std::optional<PictureFormat> PictureFormatOf(const std::string& path) {
    if (path == kStandardStream) {
        return PictureFormat::Png;
    }
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) {
        return std::nullopt;
    }
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (extension == "png") {
        return PictureFormat::Png;
    }
    if (extension == "svg") {
        return PictureFormat::Svg;
    }
    if (extension == "pdf") {
        return PictureFormat::Pdf;
    }
    return std::nullopt;
}

namespace {

// The default of a setting as the usage text gives it.
std::string DefaultOf(size_t offset) {
    const PrefDescriptor& d = kPrefTable[PrefIndexOf(offset)];
    if (d.kind == PrefKind::DecimalChar) {
        return std::string(1, static_cast<char>(d.defaultValue));
    }
    char text[32];
    std::snprintf(text, sizeof text, "%g", d.defaultValue);
    return text;
}

std::string UsageSynopsis() {
    return "Usage: quorvy-plot [OPTION]... FORMULA\n"
           "   or: quorvy-plot [OPTION]... (--formula-file FILE | --ini FILE)\n"
           "Plot FORMULA, a function of X typed as in Quorvy's formula dialog, without a window:\n"
           "the picture, the value table and the curve facts.\n"
           "\n";
}

std::string UsageOutputs() {
    return "Outputs (at least one; FILE \"-\" is standard output):\n"
           "  -o, --output FILE        the plot as PNG, SVG or PDF, by FILE's extension\n"
           "                           (\"-\" writes PNG)\n"
           "  -e, --export FILE        the value table, as File > Export writes it\n"
           "  -i, --info               the curve-info lines on standard output\n"
           "  -s, --size WxH           picture size in pixels (default " +
           std::to_string(kDefaultWidth) + "x" + std::to_string(kDefaultHeight) +
           "), each side\n"
           "                           from 1 to " +
           std::to_string(kMaxSide) + "\n\n";
}

std::string UsageSettings() {
    return "Settings (the settings dialog's defaults and checks):\n"
           "      --min X              left end of the X range (default " +
           DefaultOf(offsetof(_PrefsStruct, MinX)) +
           ")\n"
           "      --max X              right end of the X range (default " +
           DefaultOf(offsetof(_PrefsStruct, MaxX)) +
           ")\n"
           "  -n, --iterations N       number of steps across the range (default " +
           DefaultOf(offsetof(_PrefsStruct, Iterations)) +
           ")\n"
           "  -d, --decimal-point C    decimal-point character of the value table (default " +
           DefaultOf(offsetof(_PrefsStruct, DecimalPoint)) +
           ")\n"
           "      --no-autoscale-x     one pixel per X unit, X = 0 in the middle\n"
           "      --no-autoscale-y     one pixel per Y unit, Y = 0 in the middle\n"
           "      --dont-draw          labels only (the range is still measured)\n"
           "      --autoscale-x, --autoscale-y, --draw\n"
           "                           switch back on what --ini switched off\n";
}

// The words of text in lines of at most kUsageWidth columns, each starting in the column of the
// options' descriptions.
constexpr size_t kUsageWidth = 80;
const std::string kUsageIndent(27, ' ');

std::string Wrapped(const std::string& text) {
    std::string out;
    std::string line = kUsageIndent;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(' ', at);
        end = end == std::string::npos ? text.size() : end;
        const std::string word = text.substr(at, end - at);
        if (line.size() > kUsageIndent.size() && line.size() + 1 + word.size() > kUsageWidth) {
            out += line + "\n";
            line = kUsageIndent;
        }
        line += (line.size() > kUsageIndent.size() ? " " : "") + word;
        at = end + 1;
    }
    return out + line + "\n";
}

std::string UsageInputs() {
    return "  -f, --formula-file FILE  take the formula from the first line of FILE\n"
           "                           (\"-\": standard input)\n"
           "      --ini FILE           start from this Quorvy.ini (never written); the\n"
           "                           formula is taken from it when FORMULA is not given.\n" +
           Wrapped("Keys of its [Quorvy] section: " + UsedIniKeys() +
                   " (see 'man quorvy-plot'); a value that is replaced on reading is named on "
                   "standard error") +
           "      --trace-parse        show the parser's trace\n"
           "      --trace-eval         show the evaluator's trace\n"
           "\n"
           "  -h, --help               show this help and exit\n"
           "  -V, --version            show the version and exit\n"
           "\n";
}

std::string UsageClosing() {
    return "A FORMULA that starts with '-' follows \"--\". Messages go to standard error;\n"
           "those that Quorvy shows in boxes as \"Title: text\".\n"
           "\n"
           "Exit status: 0 when everything asked for was written; 2 for a usage error or\n"
           "refused settings (nothing written); 3 when a message was shown (the formula's,\n"
           "a value of the INI file replaced, no defined sample; the outputs are still\n"
           "written); 4 when an output could not be written (the file named keeps what it\n"
           "held); 130 when stopped by Ctrl+C (what was done so far is written).\n";
}

}  // namespace

const char* UsageText() {
    static const std::string text =
        UsageSynopsis() + UsageOutputs() + UsageSettings() + UsageInputs() + UsageClosing();
    return text.c_str();
}

std::string VersionText() {
    return std::string("quorvy-plot (Quorvy) ") + QUORVY_VERSION + "\nCairo " +
           cairo_version_string() + "\n";
}
