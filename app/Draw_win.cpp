// The parts of the renderer that only exist on Windows: the start-up font set-up and the
// painting of the curve-info dialog.
#include <windows.h>

#include "app/GdiSurface_win.h"
#include "plot/Draw.h"
#include "plot/InfoLines.h"
#include "app/Draw_win.h"

namespace {

HFONT hfont = nullptr;
HGDIOBJ hfontOld = nullptr;
int16_t MapModePrevious = 0;
constexpr int PtSize = 8;
constexpr char kFaceName[64] = "courier";

}  // namespace

// Applied to a temporary device context of the main window that is released right after, so
// nothing of it reaches a later paint.
void SetFont(HDC hdc) {
    MapModePrevious = static_cast<int16_t>(SetMapMode(hdc, MM_TWIPS));
    hfont = CreateFontA(-PtSize, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kFaceName);
    hfontOld = SelectObject(hdc, hfont);
}

void DrawInfoWindow(HWND hWnd) {
    PaintSession paint(hWnd);
    GdiSurface surface(paint.dc());
    const QRect client = ToQRect(paint.client());
    DrawInfoLines(&surface, &client);
}
