// Win32 side of the platform doors.
#include "platform/Common.h"
#include "app/Common_win.h"

#include <windows.h>

#include "app/PassWork_win.h"
#include "engine/Globals.h"

namespace {

// Watches the keys that a trace box's own message loop takes: Esc in the box, or any key for
// the main window, is the user's stop.
LRESULT CALLBACK WatchTraceKeys(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == WM_KEYDOWN &&
        (msg->wParam == VK_ESCAPE || GetAncestor(msg->hwnd, GA_ROOT) == g_MainWnd)) {
        AskStopInTrace();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void ShowMessageBox(QWnd ParentW, const char* Msg, const char* Title, int16_t AlertType) {
    MessageBoxA(ParentW, Msg, Title, static_cast<UINT>(static_cast<int32_t>(AlertType)));
}

}  // namespace

// The boxes without an owner shown while passes run are those of the evaluator's trace.
void ShowMyMessage(QWnd ParentW, const char* Msg, const char* Title, int16_t AlertType) {
    if (!PassWorkUnderWay() || ParentW != nullptr) {
        ShowMessageBox(ParentW, Msg, Title, AlertType);
        return;
    }
    if (TraceEnded()) {
        return;
    }
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, WatchTraceKeys, nullptr, GetCurrentThreadId());
    ShowMessageBox(ParentW, Msg, Title, AlertType);
    if (hook != nullptr) {
        UnhookWindowsHookEx(hook);
    }
}

namespace {

// A queue peek costs a round trip to the window server (about 40 us under Wine), so the poll
// looks at the queue only when a few milliseconds have passed since its last look.
constexpr DWORD kPollIntervalMs = 4;
DWORD gLastPeek = 0;
bool gPeekedOnce = false;

bool PollIsDue() {
    const DWORD now = GetTickCount();
    if (gPeekedOnce && now - gLastPeek < kPollIntervalMs) {
        return false;
    }
    gPeekedOnce = true;
    gLastPeek = now;
    return true;
}

PassPresenter gPresenter = nullptr;
void* gPresenterContext = nullptr;
DWORD gLastPresent = 0;

// Called when the poll looks at the queue, so the clock is read only every few milliseconds.
void PresentIfDue() {
    if (gPresenter == nullptr || gLastPeek - gLastPresent < kPresentIntervalMs) {
        return;
    }
    gPresenter(gPresenterContext);
    gLastPresent = GetTickCount();
}

}  // namespace

void SetPassPresenter(PassPresenter present, void* context) {
    gPresenter = present;
    gPresenterContext = context;
    gLastPresent = GetTickCount();
}

int32_t UserAbort() {
    if (TakeStopAskedInTrace()) {
        return 1;
    }
    if (!PollIsDue()) {
        return 0;
    }
    PresentIfDue();
    return KeyDownWaiting() ? 1 : 0;
}

// The poll reads the clock after every sample: a key is seen within the poll interval.
uint32_t AbortPollSpacing() {
    return 1;
}

// Only key-downs are looked for: the release of the key that started the pass (Enter in a
// dialog) waits in the queue, and a look at the first key message would stop there forever.
// The key stays in the queue for the window to handle afterwards.
bool KeyDownWaiting() {
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE) != 0;
}

void* SetWaitCursor() {
    return SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

void RestoreCursor(void* previous) {
    SetCursor(static_cast<HCURSOR>(previous));
}

double ElapsedMilliseconds() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void InvalidateClientArea(QWnd window) {
    RECT client;
    GetClientRect(window, &client);
    InvalidateRect(window, &client, TRUE);
}

uint32_t ProfileRead(const char* section, const char* key, const char* defaultText, char* buffer,
                     uint32_t size, const char* fileName) {
    return GetPrivateProfileStringA(section, key, defaultText, buffer, size, fileName);
}

void ProfileWrite(const char* section, const char* key, const char* value, const char* fileName) {
    WritePrivateProfileStringA(section, key, value, fileName);
}
