// The settings dialog (template SETTINGSDLOG).
#pragma once

#include <windows.h>

#include <cstdint>

// What the dialog calls after it committed new settings and before it closes: the plot's
// redraw request (the settings sit below the plot, so the shell hands it over at start).
void SetSettingsRedraw(void (*redraw)());

INT_PTR CALLBACK SettingsDlogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
void InitPrefsDlog(HWND hDlg);
int32_t GetFromPrefsDlog(HWND hDlg);
