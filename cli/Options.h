// The command line of quorvy-plot: what to draw, export and report, and the settings that
// override the defaults or the chosen Quorvy.ini.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

enum class PictureFormat { Png, Svg, Pdf };

// The standard stream's name on the command line.
constexpr const char* kStandardStream = "-";

// The default window's client area.
constexpr int kDefaultWidth = 382;
constexpr int kDefaultHeight = 354;
// The largest side of a picture: the drawing works in 16-bit coordinates, and a raster of this
// size still fits in memory comfortably.
constexpr int kMaxSide = 8192;

struct CliOptions {
    std::optional<std::string> formula;
    std::string formulaFile;  // empty: none; "-": the standard input
    std::string picturePath;  // empty: no picture
    PictureFormat pictureFormat = PictureFormat::Png;
    std::string exportPath;  // empty: no value table
    bool info = false;
    std::string iniPath;  // empty: the built-in defaults
    int width = kDefaultWidth;
    int height = kDefaultHeight;

    // Settings given on the line; unset ones keep the defaults or the INI file's values.
    std::optional<double> minX;
    std::optional<double> maxX;
    std::optional<int32_t> iterations;
    std::optional<std::string> decimalPoint;  // one character
    std::optional<bool> autoScaleX;
    std::optional<bool> autoScaleY;
    std::optional<bool> dontDraw;
    bool traceParse = false;
    bool traceEval = false;
};

enum class CommandLine { Run, Help, Version, UsageError };

// Reads argv into options. On a usage error, error holds the reason (without the program name).
CommandLine ParseCommandLine(int argc, char** argv, CliOptions* options, std::string* error);

// A decimal mark a reader can tell from the digits, the sign, the tab and the line end of a
// table row; empty keeps the default point.
bool SeparatesDecimals(const char* mark);

// The keys of [Quorvy] that --ini takes besides the formula, each with the option that gives it
// again (a key given again on the line is not reported as replaced).
struct UsedIniKey {
    size_t offset;  // of the field in _PrefsStruct
    bool (*givenOnLine)(const CliOptions&);
};
extern const std::array<UsedIniKey, 7> kUsedIniKeys;
// Those keys, the formula first, joined by ", ".
std::string UsedIniKeys();

// The refusal of a formula over the limit, whichever way it came: "<what> has <count>
// characters; ...".
std::string FormulaTooLong(const std::string& what, const std::string& count);

// The picture format named by the file's extension (any case); "-" is PNG.
std::optional<PictureFormat> PictureFormatOf(const std::string& path);

// The --help and --version texts.
const char* UsageText();
std::string VersionText();
