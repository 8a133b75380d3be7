// Quorvy.exe: start-up, the main window, its message loop and commands, and the formula, about
// and curve-info dialogs.
#include <windows.h>

#include "app/GdiSurface_win.h"
#include "app/Common_win.h"
#include "app/PassWork_win.h"
#include "app/Dialog_win.h"
#include "app/Shell_win.h"
#include "app/resource.h"
#include "commands/Commands.h"
#include "engine/Analize.h"
#include "app/Export_win.h"
#include "app/PrnProcs_win.h"
#include "plot/Draw.h"
#include "app/Draw_win.h"
#include "settings/Messages.h"
#include "settings/Prefs.h"
#include "settings/W_prefs.h"
#include "app/Settings_win.h"

HINSTANCE g_hInst = nullptr;

namespace {

HACCEL g_hAcc = nullptr;
HICON g_hIcon = nullptr;
HICON g_hIconSm = nullptr;
int32_t g_bEditFormualOk = 0;

constexpr char kClassName[] = "QuorvyWClass";
constexpr char kWindowTitle[] = "Quorvy - ";

// The plot is drawn into a memory bitmap, which is far cheaper than drawing on the window
// sample by sample. The bitmap starts white; during a long pass the key poll copies it to the
// window every kPresentIntervalMs, so the user sees the plot grow, and once more at the end.
struct PlotBuffer {
    HDC windowDc;
    HDC memoryDc;
    RECT client;
};

void CopyToWindow(void* context) {
    const PlotBuffer* buffer = static_cast<const PlotBuffer*>(context);
    BitBlt(buffer->windowDc, 0, 0, buffer->client.right, buffer->client.bottom, buffer->memoryDc, 0,
           0, SRCCOPY);
}

void DrawIntoBuffer(PlotBuffer* buffer) {
    FillRect(buffer->memoryDc, &buffer->client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetPassPresenter(CopyToWindow, buffer);
    {
        GdiSurface surface(buffer->memoryDc);
        const QRect rect = ToQRect(buffer->client);
        DrawInThisContext(&surface, &rect);
    }
    SetPassPresenter(nullptr, nullptr);
    CopyToWindow(buffer);
}

// A paint held during this one is answered by a last copy of the whole picture (the paint's own
// device context reaches only the area invalid when it began), unless the size changed.
void AnswerHeldPaint(HWND hWnd, const PlotBuffer& buffer) {
    RECT client;
    GetClientRect(hWnd, &client);
    if (!RepaintHeld() || !EqualRect(&client, &buffer.client)) {
        return;
    }
    PlotBuffer whole = buffer;
    whole.windowDc = GetDC(hWnd);
    CopyToWindow(&whole);
    ReleaseDC(hWnd, whole.windowDc);
    ForgetHeldRepaint();
}

void PaintPlot(HWND hWnd) {
    BeginPassWork(PassWork::Paint);
    {
        PaintSession paint(hWnd);
        PlotBuffer buffer;
        buffer.windowDc = paint.dc();
        buffer.client = paint.client();
        buffer.memoryDc = CreateCompatibleDC(buffer.windowDc);
        HBITMAP bitmap =
            CreateCompatibleBitmap(buffer.windowDc, buffer.client.right, buffer.client.bottom);
        HGDIOBJ previousBitmap = SelectObject(buffer.memoryDc, bitmap);
        DrawIntoBuffer(&buffer);
        AnswerHeldPaint(hWnd, buffer);
        SelectObject(buffer.memoryDc, previousBitmap);
        DeleteObject(bitmap);
        DeleteDC(buffer.memoryDc);
    }
    EndPassWork();
}

void OpenDialog(HWND owner, const char* name, DLGPROC procedure) {
    DialogBoxParamA(g_hInst, name, owner, procedure, 0);
}

// OK in the formula dialog: the text goes into the preferences at once; the dialog closes
// only when its parentheses balance.
void AcceptFormula(HWND hDlg, HWND edit) {
    char text[sizeof gPrefs.UserFnStr];
    GetWindowTextA(edit, text, sizeof text);
    if (!AcceptFormulaText(text)) {
        return;
    }
    g_bEditFormualOk = 1;
    CloseDialog(hDlg);
}

INT_PTR CALLBACK EditDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM) {
    HWND edit = GetDlgItem(hDlg, IDC_FORMULA);
    if (EndOnClose(hDlg, message)) {
        return 0;
    }
    switch (message) {
        case WM_INITDIALOG:
            g_bEditFormualOk = 0;
            SetWindowTextA(edit, gPrefs.UserFnStr);
            SetFocus(edit);
            SendMessageA(edit, EM_SETSEL, 0, 65535);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                AcceptFormula(hDlg, edit);
            } else if (LOWORD(wParam) == IDCANCEL) {
                g_bEditFormualOk = 0;
                CloseDialog(hDlg);
            }
            return 0;
        default:
            return 0;
    }
}

// The about and curve-info dialogs: OK (or Enter) and the close box end them; Esc does not.
INT_PTR CloseOnOk(HWND hDlg, UINT message, WPARAM wParam) {
    if (message == WM_INITDIALOG) {
        SetFocus(GetDlgItem(hDlg, IDOK));
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        CloseDialog(hDlg);
    } else {
        EndOnClose(hDlg, message);
    }
    return 0;
}

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM) {
    return CloseOnOk(hDlg, message, wParam);
}

INT_PTR CALLBACK InfoDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_PAINT) {
        DrawInfoWindow(hDlg);
        return 0;
    }
    return CloseOnOk(hDlg, message, wParam);
}

// The range pass that a new formula or new settings start.
void RedrawAsPassWork() {
    BeginPassWork(PassWork::AskedFor);
    ForceRedraw();
    EndPassWork();
}

void EditFormula(HWND hWnd) {
    OpenDialog(hWnd, "EDITDLG", EditDlgProc);
    if (g_bEditFormualOk) {
        ManageTree();
        RedrawAsPassWork();
    }
}

void RunCommand(HWND hWnd, int id) {
    switch (id) {
        case IDM_EXPORT:
            Export(hWnd);
            break;
        case IDM_PRINT_SETUP:
            PageSetup();
            break;
        case IDM_PRINT:
            DoPrint();
            break;
        case IDM_EXIT:
            PostQuitMessage(0);
            break;
        case IDM_HELP:
            ShowProgramMessage(g_MainWnd, kMsgHelp);
            break;
        case IDM_ABOUT:
            OpenDialog(hWnd, "ABOUTDLG", AboutDlgProc);
            break;
        case IDM_SETTINGS:
            OpenDialog(hWnd, "SETTINGSDLOG", SettingsDlogProc);
            break;
        case IDM_CURVE_INFO:
            OpenDialog(hWnd, "INFODLG", InfoDlgProc);
            break;
        case IDM_EDIT_FORMULA:
            EditFormula(hWnd);
            break;
        default:
            break;  // greyed items and unknown ids do nothing
    }
}

// The window's restored (normal) rectangle in screen coordinates, also while it is minimised
// or maximised, when its own rectangle is a caption strip or the whole screen.
QRect RestoredRect(HWND hWnd) {
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    RECT r;
    if (!GetWindowPlacement(hWnd, &placement)) {
        GetWindowRect(hWnd, &r);
        return ToQRect(r);
    }
    // The placement is in workspace coordinates, which start at the work area's corner (right
    // of or below a taskbar on the left or at the top).
    r = placement.rcNormalPosition;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
        OffsetRect(&r, monitor.rcWork.left - monitor.rcMonitor.left,
                   monitor.rcWork.top - monitor.rcMonitor.top);
    }
    return ToQRect(r);
}

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HoldDuringPassWork(hWnd, message, wParam)) {
        return 0;
    }
    switch (message) {
        case WM_PAINT:
            PaintPlot(hWnd);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers the whole client area itself
        case WM_DESTROY:
            if (gPrefs.bSaveWinPos) {
                KeepWindowRect(RestoredRect(hWnd));
            }
            PostQuitMessage(0);
            return 0;
        case WM_COMMAND:
            RunCommand(hWnd, LOWORD(wParam));
            return 0;
        default:
            return DefWindowProcA(hWnd, message, wParam, lParam);
    }
}

ATOM InitApplication(HINSTANCE hInstance) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszMenuName = "QUORVYMENU";
    wc.lpszClassName = kClassName;
    wc.hIcon = g_hIcon;
    wc.hIconSm = g_hIconSm;
    return RegisterClassExA(&wc);
}

QRect VirtualScreen() {
    const int32_t left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int32_t top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
            top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

// A saved rectangle that is too small, off every screen or not representable goes back to the
// default place, which is then also what Exit writes.
void PlaceWindow(HWND hWnd) {
    if (!WindowRectUsable(gPrefs.WPosRect, VirtualScreen())) {
        KeepWindowRect(InitialRect);
    }
    const QRect& r = gPrefs.WPosRect;
    SetWindowPos(hWnd, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOREDRAW);
}

// The window appears placed and white before the start's range pass, so that a long pass
// shows a live window that a key press can stop.
void ShowBlankWindow(HWND hWnd, int16_t nCmdShow) {
    HDC dc = GetDC(hWnd);
    SetFont(dc);
    ReleaseDC(hWnd, dc);
    ShowWindow(hWnd, nCmdShow);
    RECT client;
    GetClientRect(hWnd, &client);
    dc = GetDC(hWnd);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(hWnd, dc);
}

void MeasureWithWaitCursor() {
    BeginPassWork(PassWork::AskedFor);
    void* previous = SetWaitCursor();
    PrecalcRangeOfY();
    RestoreCursor(previous);
    EndPassWork();
}

HWND CreateMainWindow(HINSTANCE hInstance) {
    return CreateWindowExA(0, kClassName, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, hInstance,
                           nullptr);
}

// The parser's messages about the restored formula come before the window is shown; the
// range pass runs with the window on screen; then the first paint.
int32_t InitInstance(HINSTANCE hInstance, int16_t nCmdShow) {
    g_hAcc = LoadAcceleratorsA(hInstance, "QUORVY_ACCELERATOR");
    if (g_hAcc == nullptr) {
        return 0;
    }
    HWND hWnd = CreateMainWindow(hInstance);
    if (hWnd == nullptr) {
        return 0;
    }
    g_MainWnd = hWnd;
    LoadStartPreferences();
    PreparePrStuff(hWnd);
    SetSettingsRedraw(RedrawAsPassWork);
    const bool restored = ParseRestoredFormula();
    PlaceWindow(hWnd);
    ShowBlankWindow(hWnd, nCmdShow);
    if (restored) {
        MeasureWithWaitCursor();
    }
    // A key that stopped the range pass is still queued and would stop the first paint at its
    // first sample: the loop then hands the key over first, and the paint follows it.
    if (!KeyDownWaiting()) {
        UpdateWindow(hWnd);
    }
    return 1;
}

HICON LoadIconAtSize(HINSTANCE hInstance, int id, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageA(hInstance, MAKEINTRESOURCEA(id), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric),
                                         GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR, int nCmdShow) {
    g_hInst = hInstance;
    g_hIcon = LoadIconAtSize(hInstance, IDI_QUORVY_LARGE, SM_CXICON, SM_CYICON);
    g_hIconSm = LoadIconAtSize(hInstance, IDI_QUORVY_SMALL, SM_CXSMICON, SM_CYSMICON);
    if (hPrevInstance == nullptr && !InitApplication(hInstance)) {
        return 0;
    }
    if (!InitInstance(hInstance, static_cast<int16_t>(nCmdShow))) {
        return 0;
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) != 0) {
        if (!TranslateAcceleratorA(g_MainWnd, g_hAcc, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        PostHeldCommand();
    }
    DestroyIcon(g_hIcon);
    DestroyIcon(g_hIconSm);
    WritePreferences();
    return static_cast<int>(msg.wParam);
}
