// Where a single-line text lands in its rectangle, the way the platform's text drawing places it:
// flush left, right or centred, at the bottom or centred vertically, in an opaque box as wide as
// the text and as high as the font, clipped to the rectangle. Shared by quorvy-plot's pictures
// and the web page, which measure the text with their own fonts.
#pragma once

#include "platform/Common.h"

// The extent of one line of text in device units.
struct TextSize {
    int32_t width;
    int32_t ascent;
    int32_t descent;
};

// Where a text lands: its opaque box (already clipped to the rectangle, possibly empty) and the
// start of its baseline.
struct LabelPlace {
    QRect box;
    int32_t baselineX;
    int32_t baselineY;
};

// The line of the window's own font: 16 units high, 13 of them above the baseline.
// The font that draws the labels where the window's own font is not at hand (quorvy-plot's
// pictures, the web page): this face at this size in pixels fits in the window font's line and is
// about as wide.
constexpr const char* kLabelFace = "DejaVu Sans";
constexpr double kLabelFontSize = 12.5;
constexpr bool kLabelFontBold = true;
constexpr int32_t kLabelAscent = 13;
constexpr int32_t kLabelDescent = 3;

// Placement by the flags kDtRight, kDtCenter, kDtBottom, kDtVCenter (all single-line); centring
// divides the spare room by two and truncates, as the platform does.
LabelPlace PlaceLabel(const QRect& rect, uint32_t format, const TextSize& size);

bool BoxIsEmpty(const QRect& box);
