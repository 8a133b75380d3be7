// State of the Windows shell that other Windows modules use.
#pragma once

#include <windows.h>

// The program instance: loads resources and dialog templates.
extern HINSTANCE g_hInst;
