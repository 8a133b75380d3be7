// The settings dialog's working copy of the preferences and the checks of its OK button.
#pragma once

#include <cstdint>

#include "platform/Common.h"
#include "settings/Prefs.h"

extern _PrefsStruct TempPrefs;

// The switch of TempPrefs that check box id stands for, or null for any other control.
int32_t* SwitchForId(int id);
// A click on a check box: 0 becomes 1, anything else 0.
void ToggleSwitch(int id);
// Checks the count and the range read from the fields (both checks always run, each with its
// message owned by the dialog) and, when both pass, commits TempPrefs and the new X step.
// Returns 1 when committed, 0 otherwise.
int32_t CheckAndCommitSettings(QWnd dialog, int32_t iterations);
