// The program's narrow doors to the platform. The portable core (engine/, plot/, settings/,
// output/) reaches the platform through these alone, and this header includes nothing of it.
//
//   door                            Win32 side             portable side
//   ShowMyMessage                   Common_win.cpp         CommonPortable.cpp (a replaceable sink)
//   DrawSurface                     GdiSurface_win.cpp     plot/RasterCanvas.cpp
//   MyMoveToEx, MyLineTo, MyDrawText  CommonDraw.cpp, over any DrawSurface
//   UserAbort                       Common_win.cpp         CommonPortable.cpp (a replaceable hook)
//   AbortPollSpacing                Common_win.cpp         CommonPortable.cpp (from the hook)
//   SetWaitCursor, RestoreCursor    Common_win.cpp         CommonPortable.cpp (nothing to show)
//   ElapsedMilliseconds             Common_win.cpp         CommonPortable.cpp (a steady clock)
//   InvalidateClientArea            Common_win.cpp         CommonPortable.cpp (counts requests)
//   ProfileRead, ProfileWrite       Common_win.cpp         CommonPortable.cpp over IniFile.cpp
//   OutputStream                    app/Export_win.cpp     the caller's own stream
//   SetPassPresenter, KeyDownWaiting  Common_win.h/.cpp    none (Win32 only): the growing plot,
//                                                          the unthrottled key check
//
// The hooks of the portable side are in CommonPortable.h.
#pragma once

#include <cstdint>

// An opaque owner window. Under Win32 (STRICT handles) this is the very type HWND.
struct HWND__;
using QWnd = HWND__*;

struct QRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct QPoint {
    int32_t x;
    int32_t y;
};

// A colour in the 0x00BBGGRR layout.
using QColor = uint32_t;

// Text placement flags, with the platform's values.
constexpr uint32_t kDtCenter = 0x01;
constexpr uint32_t kDtRight = 0x02;
constexpr uint32_t kDtVCenter = 0x04;
constexpr uint32_t kDtBottom = 0x08;
constexpr uint32_t kDtSingleLine = 0x20;

// Message-box styles used by the program.
constexpr int16_t kMbOk = 0x00;
constexpr int16_t kMbIconInformation = 0x40;

// How many places SetPixels takes at once: a block of samples of the passes.
constexpr int kPixelsAtOnce = 64;

// A device to draw on: a window or printer device context, or a raster canvas in memory.
class DrawSurface {
  public:
    virtual ~DrawSurface() = default;
    virtual void SetPixel(int32_t x, int32_t y, QColor color) = 0;
    // Of kPixelsAtOnce places: for each bit i of which, lowest first, the pixel (xs[i], ys[i]) in
    // colors[i].
    // A plot sets many pixels at once; a surface in memory sets them without a call each.
    virtual void SetPixels(const int16_t* xs, const int16_t* ys, const QColor* colors,
                           uint64_t which) {
        for (int i = 0; i < kPixelsAtOnce; ++i) {
            if ((which >> i) & 1) {
                SetPixel(xs[i], ys[i], colors[i]);
            }
        }
    }
    virtual void MoveTo(int32_t x, int32_t y, QPoint* oldPoint) = 0;
    // Draws with the selected pen from the current position to (x, y), which becomes current.
    virtual void LineTo(int32_t x, int32_t y) = 0;
    // Pens do not nest. SelectSolidPen draws the following lines with a solid pen of width 1
    // and remembers the device's own pen; a second call before RestorePen replaces the pen
    // (the replaced one is released) and still remembers the device's own. RestorePen puts the
    // device's own pen back, and does nothing when no pen is selected.
    virtual void SelectSolidPen(QColor color) = 0;
    virtual void RestorePen() = 0;
    virtual void PlaceText(const char* text, int32_t count, const QRect& rect, uint32_t format) = 0;
};

// The pen rules above for a surface that keeps its pen as a colour (black by default).
class PenColor {
  public:
    QColor current() const { return pen_; }
    void Select(QColor color) {
        if (!selected_) {
            own_ = pen_;
            selected_ = true;
        }
        pen_ = color;
    }
    void Restore() {
        if (selected_) {
            pen_ = own_;
            selected_ = false;
        }
    }

  private:
    QColor pen_ = 0;
    QColor own_ = 0;
    bool selected_ = false;
};

void ShowMyMessage(QWnd ParentW, const char* Msg, const char* Title, int16_t AlertType);
void MyMoveToEx(DrawSurface* hdc, int16_t x, int16_t y, QPoint* OldPoint);
void MyLineTo(DrawSurface* hdc, int16_t x, int16_t y);
void MyDrawText(DrawSurface* hdc, const char* lpString, int16_t nCount, const QRect* lpRect,
                uint32_t uFormat);
// Non-zero when a key-down waits at the head of the keyboard messages: the user asks to stop.
int32_t UserAbort();
// The passes need to ask UserAbort only after the samples whose count (PassSampleCount) is a
// multiple of this: it answers 0 after every other sample, and does nothing else there. 0 when it
// always answers 0.
uint32_t AbortPollSpacing();

// Wait cursor for long passes: returns a token for RestoreCursor.
void* SetWaitCursor();
void RestoreCursor(void* previous);

// Elapsed time in milliseconds on a steady clock (never processor time).
double ElapsedMilliseconds();

// Asks for the whole client area of window to be repainted (erasing it first).
void InvalidateClientArea(QWnd window);

// Private-profile (INI) storage. A missing file, section or key gives the default text; the
// value is cut to size - 1 characters and zero-terminated; the result is its length. Writing
// creates file, section and key as needed and replaces an existing key where it stands.
uint32_t ProfileRead(const char* section, const char* key, const char* defaultText, char* buffer,
                     uint32_t size, const char* fileName);
void ProfileWrite(const char* section, const char* key, const char* value, const char* fileName);

// An open file that export lines are written to.
class OutputStream {
  public:
    virtual ~OutputStream() = default;
    // False when not every byte could be written.
    virtual bool Write(const char* data, uint32_t size) = 0;
};
