#include "app/PassWork_win.h"

#include "engine/Globals.h"

namespace {

int gPassWork = 0;
bool gStopAsked = false;
bool gTraceEnded = false;
bool gRepaintHeld = false;
WPARAM gHeldCommand = 0;

}  // namespace

void BeginPassWork(PassWork kind) {
    if (kind == PassWork::AskedFor) {
        gTraceEnded = false;
    }
    ++gPassWork;
}

void EndPassWork() {
    if (--gPassWork > 0) {
        return;
    }
    gStopAsked = false;
    if (gRepaintHeld) {
        gRepaintHeld = false;
        InvalidateRect(g_MainWnd, nullptr, FALSE);
    }
}

bool PassWorkUnderWay() {
    return gPassWork > 0;
}

void PostHeldCommand() {
    if (gPassWork == 0 && gHeldCommand != 0) {
        PostMessageA(g_MainWnd, WM_COMMAND, gHeldCommand, 0);
        gHeldCommand = 0;
    }
}

bool HoldDuringPassWork(HWND hWnd, UINT message, WPARAM wParam) {
    if (gPassWork == 0 || (message != WM_PAINT && message != WM_COMMAND)) {
        return false;
    }
    if (message == WM_PAINT) {
        ValidateRect(hWnd, nullptr);
        gRepaintHeld = true;
    } else {
        AskStopInTrace();  // as the command's key would
        gHeldCommand = wParam;
    }
    return true;
}

bool RepaintHeld() {
    return gRepaintHeld;
}

void ForgetHeldRepaint() {
    gRepaintHeld = false;
}

void AskStopInTrace() {
    gStopAsked = true;
    gTraceEnded = true;
}

bool TakeStopAskedInTrace() {
    const bool asked = gStopAsked;
    gStopAsked = false;
    return asked;
}

bool TraceEnded() {
    return gTraceEnded;
}
