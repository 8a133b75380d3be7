#include "settings/Settings.h"

#include "settings/Messages.h"

_PrefsStruct TempPrefs = {};

int32_t* SwitchForId(int id) {
    for (const PrefDescriptor& d : kPrefTable) {
        if (d.kind == PrefKind::Switch && d.dialogId == id) {
            return &PrefField<int32_t>(TempPrefs, d);
        }
    }
    return nullptr;
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
