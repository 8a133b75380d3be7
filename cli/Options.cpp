#include "cli/Options.h"

#include <getopt.h>

#include <cairo.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/Globals.h"
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
constexpr const char* kShortOptions = ":o:e:in:d:s:hV";

// The whole text is one number as the settings dialog reads its fields.
bool ReadDouble(const char* text, double* value) {
    char* end = nullptr;
    std::strtod(text, &end);
    if (end == text || *end != '\0') {
        return false;
    }
    *value = ParseFieldDouble(text);
    return true;
}

// The whole text is one integer that a 32-bit field holds.
bool ReadInt32(const char* text, int32_t* value) {
    char* end = nullptr;
    errno = 0;
    const long long n = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || n < INT32_MIN || n > INT32_MAX) {
        return false;
    }
    *value = ParseFieldLong(text);
    return true;
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
        !std::isdigit(static_cast<unsigned char>(x[1])) || !ReadInt32(w.c_str(), &a) ||
        !ReadInt32(x + 1, &b) || a < 1 || b < 1 || a > kMaxSide || b > kMaxSide) {
        return false;
    }
    *width = a;
    *height = b;
    return true;
}

std::string Quoted(const char* text) {
    return std::string("'") + text + "'";
}

// The argument of --min, --max or --iterations; false with error set when it does not read.
bool TakeNumber(int code, const char* arg, CliOptions* o, std::string* error) {
    if (code == 'n') {
        int32_t count = 0;
        if (!ReadInt32(arg, &count)) {
            *error = "--iterations: " + Quoted(arg) + " is not a whole number";
            return false;
        }
        o->iterations = count;
        return true;
    }
    double number = 0;
    if (!ReadDouble(arg, &number)) {
        *error =
            std::string(code == kMin ? "--min" : "--max") + ": " + Quoted(arg) + " is not a number";
        return false;
    }
    (code == kMin ? o->minX : o->maxX) = number;
    return true;
}

// The argument of one option into options; false with error set when it does not read.
bool TakeArgument(int code, const char* arg, CliOptions* o, std::string* error) {
    switch (code) {
        case 'o':
            o->picturePath = arg;
            return true;
        case 'e':
            o->exportPath = arg;
            return true;
        case kIni:
            o->iniPath = arg;
            return true;
        case 'd':
            if (std::strlen(arg) > 1) {
                *error = "--decimal-point: " + Quoted(arg) + " is not one character";
                return false;
            }
            o->decimalPoint = arg;
            return true;
        case 's':
            if (!ReadSize(arg, &o->width, &o->height)) {
                *error = "--size: " + Quoted(arg) + " is not WxH with sides from 1 to " +
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

// The message for an option getopt_long refused: unknown, or without its argument. A missing
// argument can only follow the last word, which is then the option itself.
std::string RefusedOption(int code, char** argv) {
    const char* given = argv[optind - 1];
    const bool missing = code == ':';
    std::string name;
    if (missing ? std::strncmp(given, "--", 2) == 0 : optopt == 0) {
        name = given;
        name = name.substr(0, name.find('='));
    } else {
        name = std::string("-") + static_cast<char>(optopt);
    }
    return missing ? "option " + Quoted(name.c_str()) + " requires an argument"
                   : "unknown option " + Quoted(name.c_str());
}

bool TakesArgument(int code) {
    const bool shortWithArgument = code > 0 && code < 128 && std::strchr("oends", code);
    return shortWithArgument || code == kMin || code == kMax || code == kIni;
}

// What the options read, taken together: one formula, something to write, one stream each.
bool CheckWhole(int argc, char** argv, CliOptions* o, std::string* error) {
    if (argc - optind > 1) {
        *error = "one FORMULA only; " + Quoted(argv[optind + 1]) + " is one too many";
        return false;
    }
    if (argc - optind == 1) {
        o->formula = argv[optind];
        if (o->formula->size() > kFormulaCapacity - 1) {
            *error = "FORMULA has " + std::to_string(o->formula->size()) +
                     " characters; the formula dialog takes at most " +
                     std::to_string(kFormulaCapacity - 1);
            return false;
        }
    } else if (o->iniPath.empty()) {
        *error = "missing FORMULA (or --ini FILE to take the formula from)";
        return false;
    }
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
            *error = "--output: " + Quoted(o->picturePath.c_str()) +
                     " does not end in .png, .svg or .pdf";
            return false;
        }
        o->pictureFormat = *format;
    }
    return true;
}

}  // namespace

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

const char* UsageText() {
    return "Usage: quorvy-plot [OPTION]... FORMULA\n"
           "Plot FORMULA, a function of X typed as in Quorvy's formula dialog, without a window:\n"
           "the picture, the value table and the curve facts.\n"
           "\n"
           "Outputs (at least one; FILE \"-\" is standard output):\n"
           "  -o, --output FILE        the plot as PNG, SVG or PDF, by FILE's extension\n"
           "                           (\"-\" writes PNG)\n"
           "  -e, --export FILE        the value table, as File > Export writes it\n"
           "  -i, --info               the curve-info lines on standard output\n"
           "  -s, --size WxH           picture size in pixels (default 382x354)\n"
           "\n"
           "Settings (the settings dialog's defaults and checks):\n"
           "      --min X              left end of the X range (default -100)\n"
           "      --max X              right end of the X range (default 100)\n"
           "  -n, --iterations N       number of steps across the range (default 10000)\n"
           "  -d, --decimal-point C    decimal-point character of the value table (default .)\n"
           "      --no-autoscale-x     one pixel per X unit, X = 0 in the middle\n"
           "      --no-autoscale-y     one pixel per Y unit, Y = 0 in the middle\n"
           "      --dont-draw          labels only (the range is still measured)\n"
           "      --autoscale-x, --autoscale-y, --draw\n"
           "                           switch back on what --ini switched off\n"
           "      --ini FILE           start from this Quorvy.ini (never written); the\n"
           "                           formula is taken from it when FORMULA is not given\n"
           "      --trace-parse        show the parser's trace\n"
           "      --trace-eval         show the evaluator's trace\n"
           "\n"
           "  -h, --help               show this help and exit\n"
           "  -V, --version            show the version and exit\n"
           "\n"
           "A FORMULA that starts with '-' follows \"--\". Messages that Quorvy shows in boxes\n"
           "go to standard error as \"Title: text\".\n"
           "\n"
           "Exit status: 0 when everything asked for was written; 2 for a usage error or\n"
           "refused settings (nothing written); 3 when the formula showed a message (the\n"
           "outputs are still written); 4 when an output could not be written; 130 when\n"
           "stopped by Ctrl+C (what was done so far is written).\n";
}

std::string VersionText() {
    return std::string("quorvy-plot (Quorvy) ") + QUORVY_VERSION + "\nCairo " +
           cairo_version_string() + "\n";
}
