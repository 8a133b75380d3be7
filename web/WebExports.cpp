// The functions the page's script calls, each the counterpart of a command of the window. Texts
// go in through one shared buffer and come out as zero-terminated strings that stay valid until
// the next call that returns one.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "commands/Commands.h"
#include "engine/Analize.h"
#include "engine/KeptSamples.h"
#include "engine/Passes.h"
#include "output/Export.h"
#include "plot/Draw.h"
#include "plot/InfoLines.h"
#include "plot/LabelPlace.h"
#include "plot/View.h"
#include "settings/Prefs.h"
#include "settings/SetGetD.h"
#include "settings/PrefsReport.h"
#include "settings/W_prefs.h"
#include "settings/Settings.h"
#include "web/WebPage.h"
#include "web/WebRaster.h"

#define QUORVY_EXPORT(name) extern "C" __attribute__((export_name(name)))

namespace {

constexpr size_t kBufferSize = 1 << 16;
char gBuffer[kBufferSize];
std::string gOut;
std::unique_ptr<WebRaster> gRaster;
int32_t gWidth = 0;
int32_t gHeight = 0;

std::string In(int32_t length) {
    const size_t n = length < 0 ? 0 : static_cast<size_t>(length);
    return std::string(gBuffer, n < kBufferSize ? n : kBufferSize);
}

const char* Out(std::string text) {
    gOut = std::move(text);
    return gOut.c_str();
}

// One "id<tab>value" line of the settings dialog into its working copy; the count read from the
// iterations field goes to *iterations.
void ReadSettingsLine(const std::string& line, int32_t* iterations) {
    const size_t tab = line.find('\t');
    const SettingsField* field =
        tab != std::string::npos ? SettingsFieldForId(std::atoi(line.c_str())) : nullptr;
    if (field != nullptr) {
        ReadSettingsFieldText(*field, line.c_str() + tab + 1, iterations);
    }
}

class PageStream : public OutputStream {
  public:
    bool Write(const char* data, uint32_t size) override {
        PageExportBytes(data, size);
        return true;
    }
};

// After a new range: the passes may run again, and the range is kept in Quorvy.ini.
int32_t RangeTaken(bool committed) {
    if (!committed) {
        return 0;
    }
    ClearPassStop();
    WritePreferences();
    return 1;
}

// What the reader of a link's keys did not take as written, in one line; empty when it took all.
std::string LinkReport(const std::string& ini, const PrefsReport& report) {
    std::string said;
    const auto add = [&said](const std::string& part) {
        said.append(said.empty() ? "" : "; ").append(part);
    };
    for (const PassedOverKey& key : PassedOverKeys(ini)) {
        add(IgnoredKeyLine(key.line, key.why));
    }
    for (int i = 0; i < kPrefCount; ++i) {
        const PrefFound& found = report.keys[i];
        if (!found.present || found.why == PrefReplaced::Kept) {
            continue;
        }
        const std::string reason = found.why == PrefReplaced::TooLong
                                       ? "longer than " + std::to_string(kFormulaMaxLength) +
                                             " characters: its start is kept"
                                       : ReplacedReason(found.why);
        add(ReplacedValueLine(kPrefTable[i].key, found.text.c_str(), found.put, reason));
    }
    return said;
}

std::string gLinkReport;

// The page's rules for its passes: a stop reaches every later pass (the plot, the curve facts and
// the export describe the same samples), and past the kept values the range pass keeps floats, so
// that the plot after a stop costs little more than the mapping.
void SetPagePassRules() {
    SetStopReach(StopReach::EveryLaterPass);
    KeepNarrowSamples(true);
}

}  // namespace

QUORVY_EXPORT("q_buffer") char* WebBuffer() {
    return gBuffer;
}

QUORVY_EXPORT("q_buffer_size") int32_t WebBufferSize() {
    return static_cast<int32_t>(kBufferSize);
}

// The window's start: defaults, the stored Quorvy.ini (length -1: none), the restored formula
// parsed. Returns 1 when a formula was restored, and the range pass is to follow.
QUORVY_EXPORT("q_start") int32_t WebStart(int32_t iniLength) {
    const std::string ini = In(iniLength);
    SetStoredIni(iniLength >= 0 ? &ini : nullptr);
    SetPagePassRules();
    LoadStartPreferences();
    ClearPassStop();
    NoteSettingsRange();
    return ParseRestoredFormula() ? 1 : 0;
}

// OK in the formula dialog: 1 when the formula was accepted and parsed.
QUORVY_EXPORT("q_formula") int32_t WebFormula(int32_t length) {
    const bool accepted = AcceptFormulaText(In(length).c_str());
    WritePreferences();
    if (!accepted) {
        return 0;
    }
    ManageTree();
    ClearPassStop();
    return 1;
}

// The settings dialog as it opens: "id<tab>text" per control, check boxes as 0 or 1.
QUORVY_EXPORT("q_settings_fields") const char* WebSettingsFields() {
    OpenSettings();
    std::string out;
    for (const SettingsField& field : kSettingsFields) {
        char text[kFieldBufferSize];
        SettingsFieldText(field, text);
        out.append(std::to_string(field.id)).append(1, '\t').append(text).append(1, '\n');
    }
    return Out(out);
}

// OK in the settings dialog, with the fields as "id<tab>text" lines: 1 when committed.
QUORVY_EXPORT("q_settings_commit") int32_t WebSettingsCommit(int32_t length) {
    const std::string fields = In(length);
    int32_t iterations = 0;
    size_t at = 0;
    while (at < fields.size()) {
        size_t end = fields.find('\n', at);
        end = end == std::string::npos ? fields.size() : end;
        ReadSettingsLine(fields.substr(at, end - at), &iterations);
        at = end + 1;
    }
    if (CheckAndCommitSettings(nullptr, iterations) == 0) {
        return 0;
    }
    NoteSettingsRange();
    return RangeTaken(true);
}

QUORVY_EXPORT("q_range_pass") void WebRangePass() {
    ResetYieldClock();
    PrecalcRangeOfY();
}

// A raster of the plot area's size, or of the largest area of its shape the page can hold;
// returns its RGBA pixels (q_raster_size gives the size drawn).
QUORVY_EXPORT("q_raster") unsigned char* WebRasterFor(int32_t width, int32_t height) {
    const RasterSize size = LargestRaster(width, height);
    gWidth = size.width;
    gHeight = size.height;
    gRaster.reset();  // the old pixels go first, to leave room for the new ones
    gRaster = std::make_unique<WebRaster>(gWidth, gHeight);
    return gRaster->rgba();
}

// "width height" of the raster of the last q_raster.
QUORVY_EXPORT("q_raster_size") const char* WebRasterSize() {
    return Out(std::to_string(gWidth) + " " + std::to_string(gHeight));
}

QUORVY_EXPORT("q_draw") void WebDraw() {
    ResetYieldClock();
    const QRect client = {0, 0, gWidth, gHeight};
    DrawInThisContext(gRaster.get(), &client);
    gRaster->Refresh();
}

// The pixels drawn so far, for the plot that grows during a pass.
QUORVY_EXPORT("q_refresh") void WebRefresh() {
    if (gRaster) {
        gRaster->Refresh();
    }
}

QUORVY_EXPORT("q_texts") const char* WebTexts() {
    return Out(gRaster ? gRaster->texts() : std::string());
}

QUORVY_EXPORT("q_info") const char* WebInfo() {
    InfoLine lines[kMaxInfoLines];
    const int count = CurveInfoLines(lines);
    std::string out;
    for (int i = 0; i < count; ++i) {
        out.append(InfoLineText(lines[i])).append(1, '\n');
    }
    return Out(out);
}

// File > Export: the bytes go to the page as they are written. 0 completed, 1 stopped.
QUORVY_EXPORT("q_export") int32_t WebExport() {
    PageStream stream;
    ResetYieldClock();
    return RunExport(stream) == ExportResult::Completed ? 0 : 1;
}

// "counted stoppedAt expected": the samples the last pass counted, the sample after which a kept
// stop ends the later passes (0: none), and the samples the settings ask for.
QUORVY_EXPORT("q_pass_facts") const char* WebPassFacts() {
    char facts[80];
    std::snprintf(facts, sizeof facts, "%llu %llu %.0f",
                  static_cast<unsigned long long>(PassSampleCount()),
                  static_cast<unsigned long long>(PassStoppedAt()), ExpectedSamples());
    return Out(facts);
}

QUORVY_EXPORT("q_messages") const char* WebMessages() {
    return Out(TakeMessages());
}

QUORVY_EXPORT("q_ini") const char* WebIni() {
    const std::string* ini = StoredIni();
    return Out(ini != nullptr ? *ini : std::string());
}

// The formula as the user last typed it, which the formula dialog shows when it opens.
QUORVY_EXPORT("q_formula_text") const char* WebFormulaText() {
    return gPrefs.UserFnStr;
}

// The X range of the plot as the settings dialog writes its ends: "min<tab>max".
QUORVY_EXPORT("q_x_range") const char* WebXRange() {
    char low[kFieldBufferSize];
    char high[kFieldBufferSize];
    FormatFieldDouble(low, gPrefs.MinX);
    FormatFieldDouble(high, gPrefs.MaxX);
    return Out(std::string(low) + "\t" + high);
}

// The facts the page's own drawing and download take from the core: the label font as a CSS
// font ("bold 12.5px \"DejaVu Sans\"", which the page follows with its fallbacks), the export's
// file name, the most characters the formula dialog takes, the zoom of one wheel notch or key
// and the share of the width an arrow key pans, one a line.
QUORVY_EXPORT("q_page_facts") const char* WebPageFacts() {
    char font[96];
    std::snprintf(font, sizeof font, "%s%gpx \"%s\"", kLabelFontBold ? "bold " : "", kLabelFontSize,
                  kLabelFace);
    char steps[64];
    std::snprintf(steps, sizeof steps, "\n%.17g\n%d", kZoomStep, kPanKeyShare);
    return Out(std::string(font) + "\n" + kExportFileName + "\n" +
               std::to_string(kFormulaMaxLength) + steps);
}

// A link's keys, as "key=value" lines: read as the stored Quorvy.ini is read at start, and kept
// as the stored settings. Returns 1 when they give a formula, as q_start does; q_link_report
// then says what the reader did not take. With keepSettingsRange (Back to an earlier view) Reset
// view still returns to the range set in Settings before.
QUORVY_EXPORT("q_open_link") int32_t WebOpenLink(int32_t length, int32_t keepSettingsRange) {
    std::string ini = "[" + std::string(kIniSection) + "]\r\n";
    const std::string keys = In(length);
    for (size_t at = 0; at < keys.size();) {
        const size_t end = std::min(keys.find('\n', at), keys.size());
        ini.append(keys, at, end - at).append("\r\n");
        at = end + 1;
    }
    SetStoredIni(&ini);
    SetPagePassRules();
    InitGVars();
    PrefsReport report;
    ReadPreferences(&report);
    gLinkReport = LinkReport(ini, report);
    ClearPassStop();
    if (keepSettingsRange == 0) {
        NoteSettingsRange();
    }
    WritePreferences();
    return ParseRestoredFormula() ? 1 : 0;
}

QUORVY_EXPORT("q_link_report") const char* WebLinkReport() {
    return gLinkReport.c_str();
}

// The keys of a link to the plot on screen, "key<tab>value" a line.
QUORVY_EXPORT("q_link") const char* WebLink() {
    return Out(LinkKeyLines());
}

// A change of view starts from the range on screen.
QUORVY_EXPORT("q_view_begin") void WebViewBegin() {
    BeginViewChange();
}

// A step of a change of view: the whole change since it began (zoom by factor around column,
// then a move by pan columns) on a plot width columns wide. 1 when the range was taken.
QUORVY_EXPORT("q_view") int32_t WebView(double column, int32_t width, double factor, double pan) {
    return RangeTaken(ChangeView(column, width, factor, pan));
}

// Reset view: back to the range last set in Settings. 1 when taken.
QUORVY_EXPORT("q_view_reset") int32_t WebViewReset() {
    return RangeTaken(ResetView());
}

// The value under a pixel column as the export writes it: "x<tab>y" or "x<tab>N.D.".
QUORVY_EXPORT("q_value_at") const char* WebValueAt(double column, int32_t width) {
    double x = 0.0;
    double y = 0.0;
    const bool defined = ValueAtColumn(column, width, &x, &y);
    char line[kExportLineSize];
    const size_t length = FormatExportLine(line, x, y, !defined, gPrefs.DecimalPoint[0]);
    return Out(std::string(line, length > 0 ? length - 1 : 0));
}
