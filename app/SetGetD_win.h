// Moving numbers and texts between dialog fields and variables.
#pragma once

#include <windows.h>

#include <cstdint>

void SetDlgItemDouble(HWND hDlg, int16_t id, double value);
double GetDlgItemDouble(HWND hDlg, int16_t id);
void SetDlgItemLong(HWND hDlg, int16_t id, int32_t value);
int32_t GetDlgItemLong(HWND hDlg, int16_t id);
void SetDlgItemString(HWND hDlg, int16_t id, const char* text);
void GetDlgItemString(HWND hDlg, int16_t id, char* destination, int16_t size);
