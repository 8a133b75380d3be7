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
    TempPrefs = gPrefs;
    SetDlgItemDouble(hDlg, kIdMaxX, TempPrefs.MaxX);
    SetDlgItemDouble(hDlg, kIdMinX, TempPrefs.MinX);
    for (const PrefDescriptor& d : kPrefTable) {
        if (d.kind == PrefKind::Switch) {
            CheckDlgButton(hDlg, d.dialogId,
                           PrefField<int32_t>(TempPrefs, d) ? BST_CHECKED : BST_UNCHECKED);
        }
    }
    SetDlgItemString(hDlg, kIdDecimalPoint, TempPrefs.DecimalPoint);
    SetDlgItemLong(hDlg, kIdIterations, static_cast<int32_t>(TempPrefs.Iterations));
}

int32_t GetFromPrefsDlog(HWND hDlg) {
    TempPrefs.MaxX = GetDlgItemDouble(hDlg, kIdMaxX);
    TempPrefs.MinX = GetDlgItemDouble(hDlg, kIdMinX);
    const int32_t iterations = GetDlgItemLong(hDlg, kIdIterations);
    GetDlgItemString(hDlg, kIdDecimalPoint, TempPrefs.DecimalPoint, sizeof TempPrefs.DecimalPoint);
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
