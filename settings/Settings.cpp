#include "settings/Settings.h"

#include <cstdio>
#include <cstring>

#include "settings/Messages.h"

_PrefsStruct TempPrefs = {};

const SettingsField kSettingsFields[kSettingsFieldCount] = {
    {kIdMaxX, "Max X:"},
    {kIdMinX, "Min X:"},
    {kIdIterations, "Number of iterations"},
    {kIdDecimalPoint, "Decimal Point char"},
    {kIdDontDraw, " Don't draw (simply calc Max/Min)"},
    {kIdParsingDebug, "Parsing Debuggin'"},
    {kIdEvalDebug, "Eval Debuggin'"},
    {kIdAutoScaleX, "AutoScale X"},
    {kIdAutoScaleY, "AutoScale Y"},
    {kIdSaveWinPos, "Save Window Position"},
};

namespace {

const PrefDescriptor* PrefForId(int id) {
    for (const PrefDescriptor& d : kPrefTable) {
        if (d.dialogId == id) {
            return &d;
        }
    }
    return nullptr;
}

}  // namespace

const SettingsField* SettingsFieldForId(int id) {
    for (const SettingsField& field : kSettingsFields) {
        if (field.id == id) {
            return &field;
        }
    }
    return nullptr;
}

bool IsSwitchField(const SettingsField& field) {
    return SwitchForId(field.id) != nullptr;
}

void OpenSettings() {
    TempPrefs = gPrefs;
}

void SettingsFieldText(const SettingsField& field, char (&text)[kFieldBufferSize]) {
    const PrefDescriptor* d = PrefForId(field.id);
    text[0] = '\0';
    if (d == nullptr) {
        return;
    }
    switch (d->kind) {
        case PrefKind::RangeEnd:
            FormatFieldDouble(text, PrefField<double>(TempPrefs, *d));
            break;
        case PrefKind::Count:
            FormatFieldLong(text, static_cast<int32_t>(TempPrefs.Iterations));
            break;
        case PrefKind::DecimalChar:
            std::snprintf(text, sizeof text, "%s", TempPrefs.DecimalPoint);
            break;
        default:
            std::snprintf(text, sizeof text, "%s", PrefField<int32_t>(TempPrefs, *d) ? "1" : "0");
            break;
    }
}

void ReadSettingsFieldText(const SettingsField& field, const char* text, int32_t* iterations) {
    const PrefDescriptor* d = PrefForId(field.id);
    if (d == nullptr) {
        return;
    }
    char shown[kFieldBufferSize];
    std::snprintf(shown, sizeof shown, "%s", text);
    switch (d->kind) {
        case PrefKind::RangeEnd:
            PrefField<double>(TempPrefs, *d) = ParseFieldDouble(shown);
            break;
        case PrefKind::Count:
            *iterations = ParseFieldLong(shown);
            break;
        case PrefKind::DecimalChar:
            TempPrefs.DecimalPoint[0] = text[0];
            TempPrefs.DecimalPoint[1] = '\0';
            break;
        default:
            PrefField<int32_t>(TempPrefs, *d) = std::strcmp(text, "1") == 0 ? 1 : 0;
            break;
    }
}

int32_t* SwitchForId(int id) {
    const PrefDescriptor* d = PrefForId(id);
    return d != nullptr && d->kind == PrefKind::Switch ? &PrefField<int32_t>(TempPrefs, *d)
                                                       : nullptr;
}

void ToggleSwitch(int id) {
    if (int32_t* value = SwitchForId(id)) {
        *value = *value == 0 ? 1 : 0;
    }
}

int32_t CheckAndCommitSettings(QWnd dialog, int32_t iterations) {
    bool accepted = true;
    if (!IterationsAcceptable(iterations)) {
        ShowProgramMessage(dialog, kMsgIterations);
        accepted = false;
    }
    // A step too small to advance X would make every walk endless: refused the same way.
    if (!RangeAcceptable(TempPrefs.MinX, TempPrefs.MaxX, iterations)) {
        ShowProgramMessage(dialog, kMsgRange);
        accepted = false;
    }
    if (!accepted) {
        return 0;
    }
    TempPrefs.Iterations = static_cast<uint32_t>(iterations);
    gPrefs = TempPrefs;
    ComputeDeltaX();
    return 1;
}
