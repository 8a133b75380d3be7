#include "cli/Cli.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/CommonPortable.h"
#include "cli/IniReading.h"
#include "cli/MessageText.h"
#include "cli/Options.h"
#include "cli/OutputFiles.h"
#include "cli/PassMonitor.h"
#include "cli/Picture.h"
#include "commands/Commands.h"
#include "engine/Analize.h"
#include "engine/Globals.h"
#include "engine/Passes.h"
#include "output/Export.h"
#include "plot/Draw.h"
#include "plot/InfoLines.h"
#include "plot/Pixels.h"
#include "plot/RasterCanvas.h"
#include "settings/Prefs.h"
#include "settings/Settings.h"

namespace {

constexpr const char* kProgram = "quorvy-plot";

// Where the message boxes go: "Title: text" on standard error, in order. Traces are counted
// apart: they were asked for, and their titles ("<step> <depth> ") are the only ones that end
// in a blank.
struct MessageLog {
    FILE* err;
    PassMonitor* monitor;
    int messages = 0;
};

void PrintMessage(void* context, QWnd, const char* msg, const char* title, int16_t) {
    auto* log = static_cast<MessageLog*>(context);
    log->monitor->ClearBar();
    std::fprintf(log->err, "%s: %s\n", title, msg);
    const size_t length = std::strlen(title);
    if (length == 0 || title[length - 1] != ' ') {
        ++log->messages;
    }
}

// The options given on the line, written into the settings dialog's working copy. The traces
// are on only when asked for here, whatever the INI file holds.
void ApplyOverrides(const CliOptions& o, _PrefsStruct* p) {
    p->MinX = o.minX.value_or(p->MinX);
    p->MaxX = o.maxX.value_or(p->MaxX);
    if (o.decimalPoint) {
        p->DecimalPoint[0] = o.decimalPoint->empty() ? '\0' : (*o.decimalPoint)[0];
        p->DecimalPoint[1] = '\0';
    }
    p->bAutoScaleX = o.autoScaleX.value_or(p->bAutoScaleX != 0) ? 1 : 0;
    p->bAutoScaleY = o.autoScaleY.value_or(p->bAutoScaleY != 0) ? 1 : 0;
    p->bDontDraw = o.dontDraw.value_or(p->bDontDraw != 0) ? 1 : 0;
    p->bEnableParsingDebug = o.traceParse ? 1 : 0;
    p->bEnableEvalDebug = o.traceEval ? 1 : 0;
}

// A file the INI reader can read: it takes a missing file for an empty one.
// Only a regular file is taken: the check below reads its first byte, which a pipe or a device
// would give only once.
bool Readable(const std::string& path, std::string* why) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *why = std::strerror(errno);
        return false;
    }
    struct stat st;
    if (fstat(fileno(file), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        *why = "not a regular file";
        std::fclose(file);
        return false;
    }
    errno = 0;
    std::fgetc(file);
    const bool read = std::ferror(file) == 0;
    if (!read) {
        *why = std::strerror(errno != 0 ? errno : EIO);
    }
    std::fclose(file);
    return read;
}

// A formula file: its first characters and its length, without its last line end.
struct FormulaText {
    std::string start;  // far more than a formula may have, to tell lines and length apart
    size_t length = 0;
    bool cut = false;  // a line longer than start was left unread
};

// Room kept for the start of a formula text.
constexpr size_t kFormulaTextKept = 4096;

// A regular file is read to its end, counting past the start only, so that a huge file takes no
// memory and more lines can be told.
void ReadWholeFile(FILE* file, FormulaText* text) {
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        const size_t room = kFormulaTextKept - text->start.size();
        text->start.append(chunk, std::min(got, room));
        text->length += got;
    }
    std::string& start = text->start;
    if (text->length == start.size() && !start.empty() && start.back() == '\n') {
        start.pop_back();
        --text->length;
    }
}

// A pipe or a terminal is read to its first line end only: a formula is one line, so a stream
// that never ends (yes X) or a user typing at a terminal ends the reading with Enter. A line
// that fills the room kept is too long whatever follows.
void ReadFirstLine(FILE* file, FormulaText* text) {
    int c = 0;
    while (text->start.size() < kFormulaTextKept && (c = std::getc(file)) != EOF && c != '\n') {
        text->start += static_cast<char>(c);
    }
    text->length = text->start.size();
    text->cut = text->length == kFormulaTextKept;
}

// The first line of a stream, or the whole of a regular file, without its last line end and
// without the byte-order mark an editor may put in front. False with the reason in why.
bool ReadFormulaText(FILE* file, FormulaText* text, std::string* why) {
    struct stat st;
    const bool regular = fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode);
    errno = 0;
    if (regular) {
        ReadWholeFile(file, text);
    } else {
        ReadFirstLine(file, text);
    }
    if (std::ferror(file) != 0) {
        *why = std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    std::string& start = text->start;
    if (text->length == start.size() && !start.empty() && start.back() == '\r') {
        start.pop_back();
        --text->length;
    }
    const std::string bom = "\xef\xbb\xbf";
    if (start.compare(0, bom.size(), bom) == 0) {
        start.erase(0, bom.size());
        text->length -= bom.size();
    }
    return true;
}

class Run {
  public:
    Run(const CliOptions& options, const CliStreams& streams)
        : o_(options),
          s_(streams),
          monitor_(streams.err, streams.progress),
          formula_(options.formula) {
        log_ = {streams.err, &monitor_};
        SetMessageSink(&PrintMessage, &log_);
    }
    ~Run() { SetMessageSink(nullptr, nullptr); }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    int Execute();

  private:
    void Error(const std::string& text);
    bool ReadIni();
    bool LoadSettings();
    void ExplainRefusedRange(int32_t iterations);
    bool AcceptFormula();
    void ParseFormula();
    bool NamesDistinct();
    bool StandardStreamsDistinct(const char* option, const std::string& path);
    bool OneOnStandardOutput();
    bool ReadFormulaFile();
    bool OpenOutputs();
    void Begin(const char* pass);
    void RangePass();
    bool DrawingPass();
    bool ExportPass();
    bool PrintInfo();
    bool CommitOutputs();
    void ReportUndefinedWalk();
    void ReportStop();

    const CliOptions& o_;
    const CliStreams& s_;
    PassMonitor monitor_;
    MessageLog log_ = {nullptr, nullptr};
    OutputFile picture_;
    TableFile table_;
    std::optional<std::string> formula_;  // given on the line or in --formula-file
    bool parsed_ = false;
    int formulaMessages_ = 0;
    int messages_ = 0;  // of the tool's own that make the status 3, as a formula's message does
    // The outputs whose pass a Ctrl+C cut short.
    bool pictureCut_ = false;
    bool infoCut_ = false;
    bool tableCut_ = false;
};

void Run::Error(const std::string& text) {
    monitor_.ClearBar();
    std::fprintf(s_.err, "%s: %s\n", kProgram, text.c_str());
}

// The INI file as the program reads it at start, with a line for each value the reader put
// something else in place of (they make the status 3, as a message of the program does).
bool Run::ReadIni() {
    if (o_.iniPath.empty()) {
        return true;
    }
    std::string why;
    if (!Readable(o_.iniPath, &why)) {
        Error("cannot read " + EscapedText(o_.iniPath) + ": " + why);
        return false;
    }
    const IniReading reading = ReadIniFile(o_.iniPath, o_, formula_.has_value());
    for (const std::string& line : reading.replaced) {
        Error(line);
        ++messages_;
    }
    if (!reading.refusal.empty()) {
        Error(reading.refusal);
        return false;
    }
    return true;
}

// The options through the settings dialog's checks and messages.
bool Run::LoadSettings() {
    OpenSettings();
    ApplyOverrides(o_, &TempPrefs);
    const int32_t iterations = o_.iterations.value_or(static_cast<int32_t>(TempPrefs.Iterations));
    if (CheckAndCommitSettings(nullptr, iterations) != 0) {
        return true;
    }
    ExplainRefusedRange(iterations);
    return false;
}

// The settings dialog says "DeltaX is zero or negative" for every range it refuses; for a range
// that is not empty, this says what is wrong with it instead.
void Run::ExplainRefusedRange(int32_t iterations) {
    const double minX = TempPrefs.MinX;
    const double maxX = TempPrefs.MaxX;
    if (RangeAcceptable(minX, maxX, iterations) || maxX - minX <= 0) {
        return;
    }
    char text[200];
    if (!std::isfinite(minX) || !std::isfinite(maxX)) {
        std::snprintf(text, sizeof text, "the ends of the X range (%g and %g) must be finite", minX,
                      maxX);
    } else if (!std::isfinite(maxX - minX)) {
        std::snprintf(text, sizeof text, "the X range from %g to %g is too wide to step", minX,
                      maxX);
    } else {
        const double step = (maxX - minX) / iterations;
        std::snprintf(text, sizeof text,
                      "the step (%.17g - %.17g) / %ld = %g is too small to move X at %.17g", maxX,
                      minX, static_cast<long>(iterations), step, minX + step > minX ? maxX : minX);
    }
    Error(text);
}

// The formula dialog's own check: it keeps a text with unbalanced parentheses from the parser,
// whether the text comes from the line, a formula file or the INI file. A text of the line or
// of a formula file goes into the preferences as the dialog's OK puts it there.
bool Run::AcceptFormula() {
    return formula_ ? AcceptFormulaText(formula_->c_str()) : ParenthesesAccepted(gPrefs.UserFnStr);
}

// A formula on the line is parsed as after the formula dialog; one from the INI file as at the
// program's start, which leaves an empty one unparsed.
void Run::ParseFormula() {
    const int before = log_.messages;
    if (formula_) {
        ManageTree();
    } else if (!ParseRestoredFormula()) {
        return;
    }
    parsed_ = true;
    formulaMessages_ = log_.messages - before;
}

// An output named twice, or over an input, would lose one of them: refused before anything is
// read or written.
bool Run::NamesDistinct() {
    const struct {
        const char* option;
        const std::string& path;
    } named[] = {{"--output", o_.picturePath},
                 {"--export", o_.exportPath},
                 {"--ini", o_.iniPath},
                 {"--formula-file", o_.formulaFile}};
    for (size_t i = 0; i < 2; ++i) {
        for (size_t j = i + 1; j < sizeof named / sizeof named[0]; ++j) {
            const std::string& a = named[i].path;
            const std::string& b = named[j].path;
            if (a.empty() || b.empty() || a == kStandardStream || b == kStandardStream ||
                !(SameFile(a, b) || (StreamNamed(a) >= 0 && StreamNamed(a) == StreamNamed(b)))) {
                continue;
            }
            Error(std::string(named[i].option) + " and " + named[j].option +
                  " name the same file (" + EscapedText(a) + ", " + EscapedText(b) + ")");
            return false;
        }
    }
    return StandardStreamsDistinct(named[0].option, o_.picturePath) &&
           StandardStreamsDistinct(named[1].option, o_.exportPath) && OneOnStandardOutput();
}

// An output whose file is also open as standard output or standard error would be replaced
// under what the run writes there.
bool Run::StandardStreamsDistinct(const char* option, const std::string& path) {
    const struct {
        FILE* stream;
        const char* name;
    } streams[] = {{s_.out, "standard output"}, {s_.err, "standard error"}};
    if (path.empty() || path == kStandardStream || StreamNamed(path) >= 0) {
        return true;
    }
    for (const auto& stream : streams) {
        const int fd = fileno(stream.stream);
        if (fd >= 0 && SameFileAsDescriptor(path, fd)) {
            Error(std::string(option) + " and " + stream.name + " name the same file (" +
                  EscapedText(path) + ")");
            return false;
        }
    }
    return true;
}

// A name of standard output counts as "-".
bool Run::OneOnStandardOutput() {
    const int out = fileno(s_.out);
    const auto onOutput = [out](const std::string& path) {
        return path == kStandardStream || (out >= 0 && !path.empty() && StreamNamed(path) == out);
    };
    if ((onOutput(o_.picturePath) ? 1 : 0) + (onOutput(o_.exportPath) ? 1 : 0) +
            (o_.info ? 1 : 0) <=
        1) {
        return true;
    }
    Error("standard output takes one of --output -, --export - and --info");
    return false;
}

// The formula of --formula-file, with the rules of the command line: one line (its line end
// is not part of it) of at most the 255 characters that the formula dialog takes.
bool Run::ReadFormulaFile() {
    if (o_.formulaFile.empty()) {
        return true;
    }
    const bool standard = o_.formulaFile == kStandardStream;
    const std::string name = standard ? "standard input" : EscapedText(o_.formulaFile);
    FILE* file = standard ? s_.in : std::fopen(o_.formulaFile.c_str(), "rb");
    std::string why;
    FormulaText text;
    if (file == nullptr || !ReadFormulaText(file, &text, &why)) {
        Error("cannot read " + name + ": " + (file == nullptr ? std::strerror(errno) : why));
    } else if (text.start.find('\0') != std::string::npos) {
        Error(name + ": the formula holds a NUL byte after " +
              QuotedText(text.start.substr(0, text.start.find('\0'))) + "; a formula is text");
    } else if (text.start.find_first_of("\r\n") != std::string::npos) {
        Error(name + ": the formula is one line; the file holds more");
    } else if (text.length > size_t{kFormulaMaxLength}) {
        const std::string count = std::to_string(text.length);
        Error(FormulaTooLong(name + ": the formula", text.cut ? "more than " + count : count));
    } else {
        formula_ = text.start;
    }
    if (file != nullptr && !standard) {
        std::fclose(file);
    }
    return formula_.has_value();
}

bool Run::OpenOutputs() {
    std::string why;
    if (!o_.picturePath.empty() && !picture_.Open(o_.picturePath, s_.out, &why)) {
        Error("cannot write " + OutputName(o_.picturePath) + ": " + why);
        return false;
    }
    if (o_.pictureFormat != PictureFormat::Svg && picture_.terminal()) {
        Error("cannot write " + OutputName(o_.picturePath) +
              ": a terminal does not show a picture; redirect it to a file or a pipe");
        picture_.Discard();
        return false;
    }
    if (!o_.exportPath.empty() && !table_.Open(o_.exportPath, s_.out, &why)) {
        ReportExportFileNotCreated(nullptr);
        Error("cannot create " + OutputName(o_.exportPath) + ": " + why);
        picture_.Discard();
        return false;
    }
    return true;
}

void Run::Begin(const char* pass) {
    monitor_.Begin(pass);
}

void Run::RangePass() {
    if (parsed_) {
        Begin("range");
        PrecalcRangeOfY();
        monitor_.End();
        ReportUndefinedWalk();
    }
}

// A formula with no value at any sample leaves the panel's "no value yet" extremes, which read
// like values: said once here. A formula that showed its own message has said enough.
void Run::ReportUndefinedWalk() {
    if (formulaMessages_ > 0 || gMinY != kNoMinY || gMaxY != kNoMaxY) {
        return;
    }
    char where[96];
    if (PassStoppedAt() != 0) {
        std::snprintf(where, sizeof where, "the first %llu samples from X = %g",
                      static_cast<unsigned long long>(PassStoppedAt()), gPrefs.MinX);
    } else {
        std::snprintf(where, sizeof where, "any sample from X = %g to %g", gPrefs.MinX,
                      gPrefs.MaxX);
    }
    Error(std::string("the formula has no value at ") + where +
          " (the curve facts' Min Y and Max Y show none)");
    ++messages_;
}

// After a Ctrl+C: which outputs it cut short, and how many samples they cover.
void Run::ReportStop() {
    const struct {
        bool cut;
        std::string name;
    } outputs[] = {{pictureCut_, OutputName(o_.picturePath)},
                   {tableCut_, OutputName(o_.exportPath)},
                   {infoCut_, "the curve facts"}};
    std::string names;
    int count = 0;
    for (const auto& output : outputs) {
        if (output.cut) {
            names += (count++ == 0 ? "" : ", ") + output.name;
        }
    }
    if (count == 0) {
        return;
    }
    char samples[96];
    const auto covered = static_cast<unsigned long long>(PassStoppedAt());
    const auto all = static_cast<unsigned long long>(PassWalkSamples());
    const char* plural = covered == 1 ? "" : "s";
    if (all > 0) {
        std::snprintf(samples, sizeof samples, "the first %llu sample%s of %llu", covered, plural,
                      all);
    } else {
        std::snprintf(samples, sizeof samples, "the first %llu sample%s", covered, plural);
    }
    Error("stopped by Ctrl+C: only " + std::string(samples) + (covered == 1 ? " is" : " are") +
          " in " + names);
}

// The picture, or for the curve facts alone a pass on a canvas, as the window paints before
// Curve Info is opened: it sets the scale factor and the drawing time.
bool Run::DrawingPass() {
    if (o_.picturePath.empty() && !o_.info) {
        return true;
    }
    Begin("drawing");
    const int w = o_.width;
    const int h = o_.height;
    std::string why;
    bool written = true;
    if (!o_.picturePath.empty()) {
        written =
            DrawPicture(o_.pictureFormat, w, h, picture_.stream(), &why) && picture_.Close(&why);
    } else {
        RasterCanvas canvas(w, h);
        const QRect client = {0, 0, w, h};
        DrawInThisContext(&canvas, &client);
    }
    monitor_.End();
    if (!written) {
        picture_.Discard();
        Error("cannot write " + OutputName(o_.picturePath) + ": " + why);
    }
    return written;
}

bool Run::ExportPass() {
    if (o_.exportPath.empty()) {
        return true;
    }
    Begin("export");
    const ExportResult result = RunExport(table_);
    monitor_.End();
    std::string why;
    const bool closed = table_.Close(&why);
    if (result != ExportResult::WriteFailed && closed) {
        return true;
    }
    // A replaced file keeps what it held, and a closed pipe has no reader left to warn: only a
    // stream written in place holds the lines written before the failure.
    const bool replaced = table_.file().replaces();
    const bool pipeClosed = closed && table_.failureCode() == EPIPE;
    table_.Discard();
    if (replaced || pipeClosed) {
        Error("cannot write " + OutputName(o_.exportPath) + ": " +
              (closed ? table_.failure() : why));
        return false;
    }
    ReportExportResult(ExportResult::WriteFailed, nullptr);
    Error(OutputName(o_.exportPath) + ": " + (closed ? table_.failure() : why));
    return false;
}

// The panel's lines; its note that the Y facts need AutoScale Y is a message, not a fact.
bool Run::PrintInfo() {
    InfoLine lines[kMaxInfoLines];
    const int count = CurveInfoLines(lines);
    for (int i = 0; i < count; ++i) {
        if (lines[i].autoScaleYNote) {
            Error(std::string(lines[i].text) + " (the Y facts need --autoscale-y)");
            ++messages_;
            continue;
        }
        std::fprintf(s_.out, "%s\n", InfoLineText(lines[i]).c_str());
    }
    errno = 0;
    if (std::fflush(s_.out) == 0 && std::ferror(s_.out) == 0) {
        return true;
    }
    Error(OutputName(kStandardStream) + ": " + std::strerror(errno != 0 ? errno : EIO));
    return false;
}

// The complete outputs move into place together, with the signals that end the program held off,
// so that a run ended part way leaves every old file as it was. An output not written is not
// named as cut short by a Ctrl+C: it holds what it held.
bool Run::CommitOutputs() {
    SignalsHeld held;
    const struct {
        OutputFile& file;
        const std::string& path;
        bool& cut;
    } outputs[] = {{picture_, o_.picturePath, pictureCut_},
                   {table_.file(), o_.exportPath, tableCut_}};
    bool committed = true;
    for (const auto& output : outputs) {
        std::string why;
        if (!output.path.empty() && !output.file.Commit(&why)) {
            Error("cannot write " + OutputName(output.path) + ": " + why);
            output.cut = false;
            committed = false;
        }
    }
    return committed;
}

int Run::Execute() {
    // Every run starts from the program's state at start, reading no INI file of an earlier one.
    SetProfileFile("");
    ResetToStartState();
    if (!NamesDistinct() || !ReadFormulaFile() || !ReadIni()) {
        return kExitUsage;
    }
    const bool settingsAccepted = LoadSettings();
    const bool formulaAccepted = AcceptFormula();
    if (!settingsAccepted || !formulaAccepted) {
        return kExitUsage;
    }
    ParseFormula();
    if (!OpenOutputs()) {
        return kExitOutputFailed;
    }
    RangePass();
    const bool drawn = DrawingPass();
    pictureCut_ = drawn && !o_.picturePath.empty() && PassStoppedAt() != 0;
    infoCut_ = o_.info && PassStoppedAt() != 0;
    const bool exported = ExportPass();
    tableCut_ = exported && !o_.exportPath.empty() && PassStoppedAt() != 0;
    const bool informed = !o_.info || PrintInfo();
    infoCut_ = infoCut_ && informed;
    const bool written = CommitOutputs() && drawn && exported && informed;
    if (PassStoppedAt() != 0) {
        ReportStop();
    }
    if (!written) {
        return kExitOutputFailed;
    }
    if (PassStoppedAt() != 0) {
        return kExitInterrupted;
    }
    return formulaMessages_ + messages_ > 0 ? kExitFormulaMessage : kExitOk;
}

// A text asked for on standard output (the help, the version): a write that fails is said.
int WriteStandardOutput(const std::string& text, const CliStreams& streams) {
    errno = 0;
    if (std::fputs(text.c_str(), streams.out) >= 0 && std::fflush(streams.out) == 0) {
        return kExitOk;
    }
    std::fprintf(streams.err, "%s: cannot write standard output: %s\n", kProgram,
                 std::strerror(errno != 0 ? errno : EIO));
    return kExitOutputFailed;
}

// A run's messages that could not be shown leave it unfinished, as an output not written does.
int WithMessagesShown(int status, FILE* err) {
    const bool shown = std::fflush(err) == 0 && std::ferror(err) == 0;
    return shown || (status != kExitOk && status != kExitFormulaMessage) ? status
                                                                         : kExitOutputFailed;
}

// The command line read and run.
int RunCommandLine(int argc, char** argv, const CliStreams& streams) {
    CliOptions options;
    std::string error;
    switch (ParseCommandLine(argc, argv, &options, &error)) {
        case CommandLine::Help:
            return WriteStandardOutput(UsageText(), streams);
        case CommandLine::Version:
            return WriteStandardOutput(VersionText(), streams);
        case CommandLine::UsageError:
            std::fprintf(streams.err, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                         error.c_str(), kProgram);
            return kExitUsage;
        case CommandLine::Run:
            break;
    }
    return Run(options, streams).Execute();
}

}  // namespace

// Memory that cannot be had ends the run with a message; the outputs not yet in place are
// removed as the run unwinds.
int RunCli(int argc, char** argv, const CliStreams& streams) {
    int status = kExitOutputFailed;
    try {
        status = RunCommandLine(argc, argv, streams);
    } catch (const std::bad_alloc&) {
        std::fprintf(streams.err, "%s: not enough memory to finish: %s\n", kProgram,
                     std::strerror(ENOMEM));
    }
    return WithMessagesShown(status, streams.err);
}
