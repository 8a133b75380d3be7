// The Export command: the save dialog, the file, the progress window and the export itself.
#pragma once

#include <windows.h>

#include <cstdint>

void Export(HWND hWnd);
int32_t OpenOutputFile(HWND hWnd);
void ExportLoop(HWND hWnd);
