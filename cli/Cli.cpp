#include "cli/Cli.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include "app/CommonPortable.h"
#include "cli/OutputFiles.h"
#include "cli/PassMonitor.h"
#include "cli/Picture.h"
#include "engine/Analize.h"
#include "output/Export.h"
#include "plot/Draw.h"
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
bool Readable(const std::string& path, std::string* why) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *why = std::strerror(errno);
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

class Run {
  public:
    Run(const CliOptions& options, const CliStreams& streams)
        : o_(options), s_(streams), monitor_(streams.err, streams.progress) {
        log_ = {streams.err, &monitor_};
        SetMessageSink(&PrintMessage, &log_);
    }
    ~Run() { SetMessageSink(nullptr, nullptr); }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    int Execute();

  private:
    void Error(const std::string& text);
    bool LoadSettings();
    bool AcceptFormula();
    void ParseFormula();
    bool OpenOutputs();
    void Begin(const char* pass);
    void RangePass();
    bool DrawingPass();
    bool ExportPass();
    bool PrintInfo();

    const CliOptions& o_;
    const CliStreams& s_;
    PassMonitor monitor_;
    MessageLog log_ = {nullptr, nullptr};
    PictureFile picture_;
    TableFile table_;
    bool parsed_ = false;
    int formulaMessages_ = 0;
};

void Run::Error(const std::string& text) {
    monitor_.ClearBar();
    std::fprintf(s_.err, "%s: %s\n", kProgram, text.c_str());
}

// The INI file as the program reads it at start, then the options through the settings
// dialog's checks and messages.
bool Run::LoadSettings() {
    if (!o_.iniPath.empty()) {
        std::string why;
        if (!Readable(o_.iniPath, &why)) {
            Error("cannot read " + o_.iniPath + ": " + why);
            return false;
        }
        SetProfileFile(o_.iniPath.c_str());
        ReadPreferences();
        SetProfileFile("");
    }
    TempPrefs = gPrefs;
    ApplyOverrides(o_, &TempPrefs);
    const int32_t iterations = o_.iterations.value_or(static_cast<int32_t>(TempPrefs.Iterations));
    return CheckAndCommitSettings(nullptr, iterations) != 0;
}

// The formula dialog's own check: it keeps a text with unbalanced parentheses from the parser.
bool Run::AcceptFormula() {
    return !o_.formula || ParenthesesAccepted(o_.formula->c_str());
}

// A formula on the line is parsed as after the formula dialog; one from the INI file as at the
// program's start, which leaves an empty one unparsed.
void Run::ParseFormula() {
    const int before = log_.messages;
    if (o_.formula) {
        ParseFormulaText(o_.formula->c_str());
    } else if (gPrefs.UserFnStr[0] != '\0') {
        ManageTree();
    } else {
        return;
    }
    parsed_ = true;
    formulaMessages_ = log_.messages - before;
}

bool Run::OpenOutputs() {
    std::string why;
    if (!o_.picturePath.empty() && !picture_.Open(o_.picturePath, s_.out, &why)) {
        Error("cannot write " + OutputName(o_.picturePath) + ": " + why);
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
    monitor_.Begin(pass, static_cast<double>(gPrefs.Iterations) + 1.0);
}

void Run::RangePass() {
    if (parsed_) {
        Begin("range");
        PrecalcRangeOfY();
        monitor_.End();
    }
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
            DrawPicture(o_.pictureFormat, w, h, picture_.stream(), &why) && picture_.Commit(&why);
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
    ReportExportResult(ExportResult::WriteFailed, nullptr);
    Error(OutputName(o_.exportPath) + ": " + (closed ? table_.failure() : why));
    return false;
}

bool Run::PrintInfo() {
    for (const std::string& line : InfoLines()) {
        std::fprintf(s_.out, "%s\n", line.c_str());
    }
    errno = 0;
    if (std::fflush(s_.out) == 0 && std::ferror(s_.out) == 0) {
        return true;
    }
    Error(OutputName(kStandardStream) + ": " + std::strerror(errno != 0 ? errno : EIO));
    return false;
}

int Run::Execute() {
    // Every run starts from the program's state at start, reading no INI file of an earlier one.
    SetProfileFile("");
    ResetToStartState();
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
    bool written = DrawingPass();
    written = ExportPass() && written;
    written = (!o_.info || PrintInfo()) && written;
    if (!written) {
        return kExitOutputFailed;
    }
    if (monitor_.Stopped()) {
        return kExitInterrupted;
    }
    return formulaMessages_ > 0 ? kExitFormulaMessage : kExitOk;
}

}  // namespace

int RunCli(int argc, char** argv, const CliStreams& streams) {
    CliOptions options;
    std::string error;
    switch (ParseCommandLine(argc, argv, &options, &error)) {
        case CommandLine::Help:
            std::fputs(UsageText(), streams.out);
            return kExitOk;
        case CommandLine::Version:
            std::fputs(VersionText().c_str(), streams.out);
            return kExitOk;
        case CommandLine::UsageError:
            std::fprintf(streams.err, "%s: %s\nTry '%s --help' for more information.\n", kProgram,
                         error.c_str(), kProgram);
            return kExitUsage;
        case CommandLine::Run:
            break;
    }
    return Run(options, streams).Execute();
}
