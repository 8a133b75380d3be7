#include "output/Export_win.h"

#include <commdlg.h>

#include <cstring>

#include "app/Shell_win.h"
#include "output/Export.h"

namespace {

HANDLE OutputFile = INVALID_HANDLE_VALUE;

constexpr char kDefaultName[] = "Export.XLS";
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

}  // namespace

int32_t OpenOutputFile(HWND hWnd) {
    char fileName[256];
    char fileTitle[256] = "";
    char directory[256] = "";
    std::strcpy(fileName, kDefaultName);
    GetCurrentDirectoryA(sizeof directory, directory);

    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hWnd;
    ofn.lpstrFilter = kFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = fileName;
    ofn.nMaxFile = sizeof fileName;
    ofn.lpstrFileTitle = fileTitle;
    ofn.nMaxFileTitle = sizeof fileTitle;
    ofn.lpstrInitialDir = directory;
    ofn.lpstrTitle = kTitle;
    ofn.lpstrDefExt = "XLS";
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
    HCURSOR previousCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    HWND progress = CreateDialogParamA(g_hInst, "EXPORTDLOG", hWnd, nullptr, 0);
    HandleOutput out(OutputFile);
    const ExportResult result = RunExport(out);
    DestroyWindow(progress);
    SetCursor(previousCursor);
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
