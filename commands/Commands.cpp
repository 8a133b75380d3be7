#include "commands/Commands.h"

#include "engine/Analize.h"
#include "engine/Eval.h"
#include "plot/View.h"
#include "settings/Prefs.h"
#include "settings/Settings.h"
#include "settings/W_prefs.h"

void LoadStartPreferences() {
    InitGVars();
    ReadPreferences();
}

bool ParseRestoredFormula() {
    if (gPrefs.UserFnStr[0] == '\0') {
        return false;
    }
    ManageTree();
    return true;
}

bool AcceptFormulaText(const char* text) {
    SetFormulaText(text);
    return ParenthesesAccepted(gPrefs.UserFnStr);
}

namespace {

XRange gViewStart = {kDefaultMinX, kDefaultMaxX};
XRange gSettingsRange = {kDefaultMinX, kDefaultMaxX};

}  // namespace

bool CommitXRange(double minX, double maxX) {
    OpenSettings();
    TempPrefs.MinX = minX;
    TempPrefs.MaxX = maxX;
    // The record's count always passed the dialog's checks, so it fits the dialog's field.
    return CheckAndCommitSettings(nullptr, static_cast<int32_t>(gPrefs.Iterations)) == 1;
}

void BeginViewChange() {
    gViewStart = {gPrefs.MinX, gPrefs.MaxX};
}

bool ChangeView(double column, int32_t width, double factor, double panColumns) {
    const XRange zoomed = ZoomedRange(gViewStart, column, width, factor);
    const XRange range = PannedRange(zoomed, panColumns, width);
    return CommitXRange(range.minX, range.maxX);
}

void NoteSettingsRange() {
    gSettingsRange = {gPrefs.MinX, gPrefs.MaxX};
}

bool ResetView() {
    return CommitXRange(gSettingsRange.minX, gSettingsRange.maxX);
}

bool ValueAtColumn(double column, int32_t width, double* x, double* y) {
    *x = XAtColumn({gPrefs.MinX, gPrefs.MaxX}, column, width);
    const int32_t trace = gPrefs.bEnableEvalDebug;
    const double lastX = g_x;
    const int32_t lastError = g_fEvalError;
    gPrefs.bEnableEvalDebug = 0;
    *y = Evaluate_Tree(*x);
    const bool defined = !IsUndefinedSample(*y);
    gPrefs.bEnableEvalDebug = trace;
    g_x = lastX;
    g_fEvalError = lastError;
    return defined;
}
