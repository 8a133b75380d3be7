// Windows-only parts of the renderer.
#pragma once

#include <windows.h>

// Sets the twips mapping mode and an 8-point Courier font on a device context.
void SetFont(HDC hdc);
// Paints the curve-info panel into the client area of the dialog (begins and ends the paint).
void DrawInfoWindow(HWND hWnd);
