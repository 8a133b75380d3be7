#include "app/Export_win.h"

#include <commdlg.h>

#include <cstring>

#include "app/PassWork_win.h"
#include "platform/Common.h"
#include "output/Export.h"

namespace {

HANDLE OutputFile = INVALID_HANDLE_VALUE;

constexpr char kFilter[] = "Excel Files (*.xls)\0*.xls\0";
constexpr char kTitle[] = "Export vesro il foglio di lavoro:";

class HandleOutput : public OutputStream {
  public:
    explicit HandleOutput(HANDLE file) : file_(file) {}
    bool Write(const char* data, uint32_t size) override {
        DWORD written = 0;
        return WriteFile(file_, data, size, &written, nullptr) && written == size;
    }

  private:
    HANDLE file_;
};

// The save dialog joins its folder and the typed name in a buffer of MAX_PATH characters
// without a bound (Wine's does: a longer name overwrites its stack and ends the program), and a
// longer name could not be created anyway. So the dialog's OK (also Enter) is looked at first:
// a name whose full path, with room for the default extension, would not fit is refused with
// a beep and the dialog stays open for a shorter one.
constexpr size_t kExtensionRoom = 4;  // ".XLS"
WNDPROC gSaveDialogProcedure = nullptr;

// Characters of a text that the dialog reports through one of its CDM_ messages.
size_t DialogTextLength(HWND dialog, UINT message, char (&text)[4 * MAX_PATH]) {
    text[0] = '\0';
    const LRESULT size = SendMessageA(dialog, message, sizeof text, reinterpret_cast<LPARAM>(text));
    return size > 0 ? static_cast<size_t>(size) - 1 : 0;
}

bool TypedNameFits(HWND dialog) {
    char text[4 * MAX_PATH];
    const size_t folderLength = DialogTextLength(dialog, CDM_GETFOLDERPATH, text);
    const size_t nameLength = DialogTextLength(dialog, CDM_GETSPEC, text);
    const bool fromRoot = (text[0] != '\0' && text[1] == ':' && text[2] == '\\') ||
                          (text[0] == '\\' && text[1] == '\\');
    const size_t pathLength = fromRoot ? nameLength : folderLength + 1 + nameLength;
    return pathLength + kExtensionRoom < MAX_PATH;
}

LRESULT CALLBACK SaveDialogGuard(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK && !TypedNameFits(dialog)) {
        MessageBeep(MB_ICONEXCLAMATION);
        return 0;
    }
    return CallWindowProcA(gSaveDialogProcedure, dialog, message, wParam, lParam);
}

// The hook's own (empty) dialog is a child of the save dialog; once that is ready, the save
// dialog's procedure gets the guard in front of it.
UINT_PTR CALLBACK SaveDialogHook(HWND hookDialog, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE) {
        gSaveDialogProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
            GetParent(hookDialog), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SaveDialogGuard)));
    }
    return 0;
}

}  // namespace

int32_t OpenOutputFile(HWND hWnd) {
    char fileName[MAX_PATH];
    char directory[MAX_PATH] = "";
    std::strcpy(fileName, kExportFileName);
    GetCurrentDirectoryA(sizeof directory, directory);

    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hWnd;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = fileName;
    ofn.nMaxFile = sizeof fileName;
    ofn.lpstrInitialDir = directory;
    ofn.lpstrTitle = kTitle;
    ofn.lpstrDefExt = "XLS";
    ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK;
    ofn.lpfnHook = SaveDialogHook;
    if (!GetSaveFileNameA(&ofn)) {
        return 0;
    }
    OutputFile = CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (OutputFile == INVALID_HANDLE_VALUE) {
        ReportExportFileNotCreated(hWnd);
        return 0;
    }
    return 1;
}

void ExportLoop(HWND hWnd) {
    void* previousCursor = SetWaitCursor();
    // The template comes from the program that owns the window.
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hWnd, GWLP_HINSTANCE));
    HWND progress = CreateDialogParamA(instance, "EXPORTDLOG", hWnd, nullptr, 0);
    // Painted once now: nothing dispatches its paint while the export runs.
    UpdateWindow(progress);
    HandleOutput out(OutputFile);
    BeginPassWork(PassWork::AskedFor);
    const ExportResult result = RunExport(out);
    EndPassWork();
    DestroyWindow(progress);
    RestoreCursor(previousCursor);
    ReportExportResult(result, hWnd);
}

void Export(HWND hWnd) {
    if (!OpenOutputFile(hWnd)) {
        return;
    }
    ExportLoop(hWnd);
    CloseHandle(OutputFile);
    OutputFile = INVALID_HANDLE_VALUE;
}
