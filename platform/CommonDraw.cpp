// Line and text wrappers: 16-bit coordinates and counts widened with their sign and handed to
// whatever surface the pass draws on.
#include "platform/Common.h"

void MyMoveToEx(DrawSurface* hdc, int16_t x, int16_t y, QPoint* OldPoint) {
    hdc->MoveTo(x, y, OldPoint);
}

void MyLineTo(DrawSurface* hdc, int16_t x, int16_t y) {
    hdc->LineTo(x, y);
}

void MyDrawText(DrawSurface* hdc, const char* lpString, int16_t nCount, const QRect* lpRect,
                uint32_t uFormat) {
    hdc->PlaceText(lpString, nCount, *lpRect, uFormat);
}
