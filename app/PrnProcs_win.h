// Printing the plot on one page, and the printer set-up that the next print uses.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <cstdint>

// The print and printer-setup dialog: PrintDlgA, replaceable by tests.
using PrintDialogFunction = BOOL(WINAPI*)(LPPRINTDLGA);
extern PrintDialogFunction gPrintDialog;

void PreparePrStuff(HWND hWnd);
void PageSetup();
void DoPrint();
int32_t PrepareForPrinting();
void OpenNewPage();
void CloseCurrPage();
void EndOfPrinting();
