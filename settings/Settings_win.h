// The settings dialog (template SETTINGSDLOG).
#pragma once

#include <windows.h>

#include <cstdint>

INT_PTR CALLBACK SettingsDlogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
void InitPrefsDlog(HWND hDlg);
int32_t GetFromPrefsDlog(HWND hDlg);
