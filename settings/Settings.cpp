#include "settings/Settings.h"

_PrefsStruct TempPrefs = {};

namespace {

constexpr const char* kIterationsText = "Numero di iterazioni Zero o Negative!";
constexpr const char* kRangeText = "Il DeltaX e' Zero o Negativo!";
constexpr const char* kErrorTitle = "Errore!";

}  // namespace

int32_t* SwitchForId(int id) {
    // In record order: the check-box ids follow the fields, not the boxes on screen.
    int32_t* const switches[] = {&TempPrefs.bEnableParsingDebug, &TempPrefs.bEnableEvalDebug,
                                 &TempPrefs.bAutoScaleX,         &TempPrefs.bAutoScaleY,
                                 &TempPrefs.bDontDraw,           &TempPrefs.bSaveWinPos};
    if (id < kIdFirstSwitch || id > kIdLastSwitch) {
        return nullptr;
    }
    return switches[id - kIdFirstSwitch];
}

void ToggleSwitch(int id) {
    if (int32_t* value = SwitchForId(id)) {
        *value = *value == 0 ? 1 : 0;
    }
}

int32_t CheckAndCommitSettings(QWnd dialog, int32_t iterations) {
    bool accepted = true;
    if (!IterationsAcceptable(iterations)) {
        ShowMyMessage(dialog, kIterationsText, kErrorTitle, kMbOk);
        accepted = false;
    }
    // A step too small to advance X would make every walk endless: refused the same way.
    if (!RangeAcceptable(TempPrefs.MinX, TempPrefs.MaxX, iterations)) {
        ShowMyMessage(dialog, kRangeText, kErrorTitle, kMbOk);
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
