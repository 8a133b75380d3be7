// A small Win32 helper for the end-to-end tests. It runs on the same Wine desktop as Quorvy and
// reports what a user would see there, into a file (console output does not come back through
// the desktop launcher):
//   probe windows OUT         every visible top-level window, and the controls of dialogs
//   probe capture TITLE OUT   the client area of the window with that title, as a PPM picture,
//                             once the window has no paint pending
//   probe writefile SRC DST OUT  writes the bytes of SRC to DST with one buffered write and
//                             writes how many milliseconds that took (creation to close)
//   probe evaluate FORMULA N OUT  writes how many milliseconds the program's range pass takes
//                             over N iterations of -100..100 (the evaluation that an export
//                             cannot avoid), the best of three
//   probe keystop TITLE OUT   presses a key and writes how many milliseconds pass until the
//                             window's thread answers again (how fast a key ends a long pass)
//   probe post TITLE MESSAGE WPARAM OUT  posts that message (numbers in decimal or 0x hex) to
//                             the window with that title, as the window manager would (a
//                             system command such as minimise, say), and writes OK
//   probe serve FOLDER        answers queries until it is ended: each file FOLDER\*.query holds
//                             the arguments of one of the commands above, one a line; the probe
//                             deletes it and answers as that command would. It writes
//                             FOLDER\ready once it waits for queries. One Wine process then
//                             answers a whole session's queries, where starting one per query
//                             costs a second or more on a busy machine.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/Analize.h"
#include "plot/Draw.h"
#include "settings/Prefs.h"

namespace {

// Line breaks and tabs inside texts are written as \n and \t, one record a line.
void WriteText(FILE* out, const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n') {
            std::fputs("\\n", out);
        } else if (*p == '\t') {
            std::fputs("\\t", out);
        } else if (*p != '\r') {
            std::fputc(*p, out);
        }
    }
}

void WriteControls(FILE* out, HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[64] = "";
        char text[512] = "";
        GetClassNameA(child, cls, sizeof cls);
        // WM_GETTEXT, since GetWindowText does not read another process's edit fields
        SendMessageA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        const LRESULT check = SendMessageA(child, BM_GETCHECK, 0, 0);
        std::fprintf(out, "CONTROL\t%d\t%s\t", GetDlgCtrlID(child), cls);
        WriteText(out, text);
        RECT r;
        GetWindowRect(child, &r);
        std::fprintf(out, "\t%ld\t%ld,%ld,%ld,%ld\n", static_cast<long>(check), r.left, r.top,
                     r.right, r.bottom);
    }
}

BOOL CALLBACK ListWindow(HWND hwnd, LPARAM param) {
    FILE* out = reinterpret_cast<FILE*>(param);
    if (!IsWindowVisible(hwnd)) {
        return TRUE;
    }
    char cls[64] = "";
    char title[256] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    GetWindowTextA(hwnd, title, sizeof title);
    RECT r;
    GetWindowRect(hwnd, &r);
    RECT c;
    GetClientRect(hwnd, &c);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    std::fprintf(out, "WINDOW\t%s\t", cls);
    WriteText(out, title);
    std::fprintf(out, "\t%ld,%ld,%ld,%ld\t%ld,%ld,%ld,%ld\n", r.left, r.top, r.right, r.bottom,
                 origin.x, origin.y, origin.x + c.right, origin.y + c.bottom);
    if (std::strcmp(cls, "#32770") == 0) {
        WriteControls(out, hwnd);
    }
    return TRUE;
}

int ListWindows(const char* path) {
    FILE* out = std::fopen(path, "w");
    if (out == nullptr) {
        return 2;
    }
    EnumWindows(ListWindow, reinterpret_cast<LPARAM>(out));
    std::fprintf(out, "END\n");
    std::fclose(out);
    return 0;
}

// Waits until the window's thread has handled the messages sent to it before and no part of the
// window waits to be painted, so that a capture shows a finished paint and not the moment in
// between. A window that keeps a part to paint while its thread is busy elsewhere (answering
// only the sent messages, as during an export) is captured as it is after a hundred rounds.
void WaitForPaint(HWND hwnd) {
    for (int round = 0; round < 100; ++round) {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
        if (!GetUpdateRect(hwnd, nullptr, FALSE)) {
            return;
        }
        Sleep(10);
    }
}

int Capture(const char* title, const char* path) {
    HWND hwnd = FindWindowA(nullptr, title);
    if (hwnd == nullptr) {
        return 3;
    }
    WaitForPaint(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    const int width = client.right;
    const int height = client.bottom;
    HDC windowDc = GetDC(hwnd);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, width, height);
    HGDIOBJ previous = SelectObject(memoryDc, bitmap);
    BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    SelectObject(memoryDc, previous);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
    GetDIBits(memoryDc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memoryDc);
    ReleaseDC(hwnd, windowDc);

    FILE* out = std::fopen(path, "wb");
    if (out == nullptr) {
        return 2;
    }
    std::fprintf(out, "P6\n%d %d\n255\n", width, height);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        const unsigned char rgb[3] = {pixels[i + 2], pixels[i + 1], pixels[i]};
        std::fwrite(rgb, 1, 3, out);
    }
    std::fclose(out);
    return 0;
}

void PressKey(WORD key) {
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = key;
    inputs[1] = inputs[0];
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

int KeyStop(const char* title, const char* path) {
    HWND hwnd = FindWindowA(nullptr, title);
    if (hwnd == nullptr) {
        return 3;
    }
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    PressKey(VK_SHIFT);
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
    QueryPerformanceCounter(&end);
    FILE* out = std::fopen(path, "w");
    if (out == nullptr) {
        return 2;
    }
    std::fprintf(out, "%.1f\n", (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart);
    std::fclose(out);
    return 0;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (to.QuadPart - from.QuadPart) * 1000.0 / frequency.QuadPart;
}

int WriteInOneGo(const char* source, const char* destination, const char* path) {
    HANDLE in =
        CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
        return 3;
    }
    const DWORD size = GetFileSize(in, nullptr);
    std::vector<char> bytes(size);
    DWORD got = 0;
    ReadFile(in, bytes.data(), size, &got, nullptr);
    CloseHandle(in);
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceCounter(&start);
    HANDLE out = CreateFileA(destination, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(out, bytes.data(), got, &written, nullptr);
    CloseHandle(out);
    QueryPerformanceCounter(&end);
    FILE* report = std::fopen(path, "w");
    if (report == nullptr) {
        return 2;
    }
    std::fprintf(report, "%.1f %lu\n", Milliseconds(start, end),
                 static_cast<unsigned long>(written));
    std::fclose(report);
    return 0;
}

int EvaluateOnly(const char* formula, const char* iterations, const char* path) {
    InitGVars();
    gPrefs.Iterations = static_cast<uint32_t>(std::strtoul(iterations, nullptr, 10));
    ComputeDeltaX();
    ParseFormulaText(formula);
    double best = 0;
    for (int round = 0; round < 3; ++round) {
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        QueryPerformanceCounter(&start);
        PrecalcRangeOfY();
        QueryPerformanceCounter(&end);
        const double taken = Milliseconds(start, end);
        best = round == 0 || taken < best ? taken : best;
    }
    FILE* report = std::fopen(path, "w");
    if (report == nullptr) {
        return 2;
    }
    std::fprintf(report, "%.1f\n", best);
    std::fclose(report);
    return 0;
}

int PostToWindow(const char* title, const char* message, const char* wParam, const char* path) {
    HWND hwnd = FindWindowA(nullptr, title);
    if (hwnd == nullptr) {
        return 3;
    }
    const UINT code = static_cast<UINT>(std::strtoul(message, nullptr, 0));
    const WPARAM argument = static_cast<WPARAM>(std::strtoul(wParam, nullptr, 0));
    if (!PostMessageA(hwnd, code, argument, 0)) {
        return 4;
    }
    FILE* out = std::fopen(path, "w");
    if (out == nullptr) {
        return 2;
    }
    std::fprintf(out, "OK\n");
    std::fclose(out);
    return 0;
}

int Serve(const char* folder);

int Answer(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "windows") == 0) {
        return ListWindows(argv[2]);
    }
    if (argc == 4 && std::strcmp(argv[1], "capture") == 0) {
        return Capture(argv[2], argv[3]);
    }
    if (argc == 5 && std::strcmp(argv[1], "writefile") == 0) {
        return WriteInOneGo(argv[2], argv[3], argv[4]);
    }
    if (argc == 6 && std::strcmp(argv[1], "post") == 0) {
        return PostToWindow(argv[2], argv[3], argv[4], argv[5]);
    }
    if (argc == 5 && std::strcmp(argv[1], "evaluate") == 0) {
        return EvaluateOnly(argv[2], argv[3], argv[4]);
    }
    if (argc == 4 && std::strcmp(argv[1], "keystop") == 0) {
        return KeyStop(argv[2], argv[3]);
    }
    if (argc == 3 && std::strcmp(argv[1], "serve") == 0) {
        return Serve(argv[2]);
    }
    return 1;
}

constexpr int kMaxQueryArgs = 8;

// Reads one query file: its lines become argv[1..], after a program name in argv[0]. The lines
// live in text, which must outlast the answer.
int ReadQuery(const char* path, char* text, size_t size, char** argv) {
    FILE* in = std::fopen(path, "rb");
    if (in == nullptr) {
        return 0;
    }
    const size_t got = std::fread(text, 1, size - 1, in);
    std::fclose(in);
    text[got] = '\0';
    int argc = 0;
    argv[argc++] = const_cast<char*>("probe");
    for (char* line = std::strtok(text, "\r\n"); line != nullptr && argc < kMaxQueryArgs;
         line = std::strtok(nullptr, "\r\n")) {
        argv[argc++] = line;
    }
    return argc;
}

// Answers every query waiting in the folder, oldest name first as FindFirstFile lists them.
// A query is deleted before it is answered, so that none is answered twice.
bool AnswerWaitingQueries(const char* folder) {
    char pattern[MAX_PATH];
    std::snprintf(pattern, sizeof pattern, "%s\\*.query", folder);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    do {
        char path[MAX_PATH];
        std::snprintf(path, sizeof path, "%s\\%s", folder, found.cFileName);
        char text[1024];
        char* argv[kMaxQueryArgs];
        const int argc = ReadQuery(path, text, sizeof text, argv);
        if (DeleteFileA(path) && argc > 1 && std::strcmp(argv[1], "serve") != 0) {
            Answer(argc, argv);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
}

int Serve(const char* folder) {
    char ready[MAX_PATH];
    std::snprintf(ready, sizeof ready, "%s\\ready", folder);
    FILE* out = std::fopen(ready, "w");
    if (out == nullptr) {
        return 2;
    }
    std::fclose(out);
    for (;;) {
        if (!AnswerWaitingQueries(folder)) {
            Sleep(10);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    return Answer(argc, argv);
}
