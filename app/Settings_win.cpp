#include "app/Settings_win.h"

#include "app/Dialog_win.h"
#include "app/SetGetD_win.h"
#include "settings/Settings.h"

namespace {

void (*gRedraw)() = nullptr;

}  // namespace

void SetSettingsRedraw(void (*redraw)()) {
    gRedraw = redraw;
}

void InitPrefsDlog(HWND hDlg) {
    OpenSettings();
    for (const SettingsField& field : kSettingsFields) {
        char text[kFieldBufferSize];
        SettingsFieldText(field, text);
        if (IsSwitchField(field)) {
            CheckDlgButton(hDlg, field.id, text[0] == '1' ? BST_CHECKED : BST_UNCHECKED);
        } else {
            SetDlgItemString(hDlg, static_cast<int16_t>(field.id), text);
        }
    }
}

// The edit fields into TempPrefs (the check boxes are there already), then the dialog's checks.
int32_t GetFromPrefsDlog(HWND hDlg) {
    int32_t iterations = 0;
    for (const SettingsField& field : kSettingsFields) {
        if (!IsSwitchField(field)) {
            char text[kFieldBufferSize];
            GetDlgItemString(hDlg, static_cast<int16_t>(field.id), text, sizeof text);
            ReadSettingsFieldText(field, text, &iterations);
        }
    }
    return CheckAndCommitSettings(hDlg, iterations);
}

INT_PTR CALLBACK SettingsDlogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM) {
    if (EndOnClose(hDlg, message)) {
        return 0;
    }
    switch (message) {
        case WM_INITDIALOG:
            InitPrefsDlog(hDlg);
            // Both buttons carry the default style, which would let Enter press Cancel, the
            // last of them; Enter is OK.
            SendMessageA(hDlg, DM_SETDEFID, IDOK, 0);
            SetFocus(GetDlgItem(hDlg, kIdMaxX));
            return 0;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDOK) {
                if (GetFromPrefsDlog(hDlg)) {
                    if (gRedraw != nullptr) {
                        gRedraw();
                    }
                    CloseDialog(hDlg);
                }
            } else if (SwitchForId(id) != nullptr) {
                ToggleSwitch(id);
            } else if (id == IDCANCEL) {
                CloseDialog(hDlg);
            }
            return 0;
        }
        default:
            return 0;
    }
}
