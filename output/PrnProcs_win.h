// Printing the plot on one page, and the printer set-up that the next print uses.
#pragma once

#include <windows.h>

#include <cstdint>

void PreparePrStuff(HWND hWnd);
void PageSetup();
void DoPrint();
int32_t PrepareForPrinting();
void OpenNewPage();
void CloseCurrPage();
void EndOfPrinting();
