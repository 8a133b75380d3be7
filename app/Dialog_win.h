// The way every dialog of the program closes: OK or Cancel send the close message, and the close
// message (also the caption's close box) ends the dialog with 1, a result nobody reads.
#pragma once

#include <windows.h>

inline void CloseDialog(HWND dialog) {
    SendMessageA(dialog, WM_CLOSE, 0, 0);
}

// True when message was the close message, which has then ended the dialog.
inline bool EndOnClose(HWND dialog, UINT message) {
    if (message != WM_CLOSE) {
        return false;
    }
    EndDialog(dialog, 1);
    return true;
}
