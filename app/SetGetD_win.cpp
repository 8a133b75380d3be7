#include "app/SetGetD_win.h"

#include "settings/SetGetD.h"

void SetDlgItemDouble(HWND hDlg, int16_t id, double value) {
    char buffer[kFieldBufferSize];
    FormatFieldDouble(buffer, value);
    SetDlgItemTextA(hDlg, id, buffer);
}

double GetDlgItemDouble(HWND hDlg, int16_t id) {
    char buffer[kFieldBufferSize] = {};
    GetDlgItemTextA(hDlg, id, buffer, sizeof buffer);
    return ParseFieldDouble(buffer);
}

void SetDlgItemLong(HWND hDlg, int16_t id, int32_t value) {
    char buffer[kFieldBufferSize];
    FormatFieldLong(buffer, value);
    SetDlgItemTextA(hDlg, id, buffer);
}

int32_t GetDlgItemLong(HWND hDlg, int16_t id) {
    char buffer[kFieldBufferSize] = {};
    GetDlgItemTextA(hDlg, id, buffer, sizeof buffer);
    return ParseFieldLong(buffer);
}

void SetDlgItemString(HWND hDlg, int16_t id, const char* text) {
    SetDlgItemTextA(hDlg, id, text);
}

void GetDlgItemString(HWND hDlg, int16_t id, char* destination, int16_t size) {
    if (size <= 0) {
        return;
    }
    destination[0] = '\0';
    GetDlgItemTextA(hDlg, id, destination, size);
}
