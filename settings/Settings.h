// The settings dialog's working copy of the preferences and the checks of its OK button.
#pragma once

#include <cstdint>

#include "platform/Common.h"
#include "settings/Prefs.h"
#include "settings/SetGetD.h"

extern _PrefsStruct TempPrefs;

// The switch of TempPrefs that check box id stands for, or null for any other control.
int32_t* SwitchForId(int id);
// A click on a check box: 0 becomes 1, anything else 0.
void ToggleSwitch(int id);
// Checks the count and the range read from the fields (both checks always run, each with its
// message owned by the dialog) and, when both pass, commits TempPrefs and the new X step.
// Returns 1 when committed, 0 otherwise.
int32_t CheckAndCommitSettings(QWnd dialog, int32_t iterations);

// The dialog's fields as the page shows them, in its order: the control's id (that of the
// record's field in kPrefTable) and its label.
struct SettingsField {
    int id;
    const char* label;
};
constexpr int kSettingsFieldCount = 10;
extern const SettingsField kSettingsFields[kSettingsFieldCount];

// The field of control id, or null for any other control.
const SettingsField* SettingsFieldForId(int id);
// Whether the field is a check box (a switch of the record) rather than an edit field.
bool IsSwitchField(const SettingsField& field);
// The dialog opens on a working copy of the preferences.
void OpenSettings();
// The text a field shows for TempPrefs: a range end as "%e", the count as "%ld", the decimal
// point as it is, a switch as "1" or "0".
void SettingsFieldText(const SettingsField& field, char (&text)[kFieldBufferSize]);
// A field's text into TempPrefs as OK reads it: an edit field holds at most 29 characters and
// the decimal point field one; a switch is on for "1". The count goes to iterations, for
// CheckAndCommitSettings.
void ReadSettingsFieldText(const SettingsField& field, const char* text, int32_t* iterations);
