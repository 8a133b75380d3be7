// The texts of a plot (labels and notices) drawn with a real font, placed in their rectangle the
// way the platform's single-line text drawing places them: flush left, right or centred, at the
// bottom or centred vertically, over an opaque white box as wide as the text and as high as the
// font, clipped to the rectangle.
#pragma once

#include <cairo.h>

#include <string>

#include "app/Common.h"

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

// Placement by the flags kDtRight, kDtCenter, kDtBottom, kDtVCenter (all single-line); centring
// divides the spare room by two and truncates, as the platform does.
LabelPlace PlaceLabel(const QRect& rect, uint32_t format, const TextSize& size);

bool BoxIsEmpty(const QRect& box);

// Selects the label font into cr: DejaVu Sans Bold on a line 16 units high with 13 above the
// baseline, the size of the window's own font.
void UseLabelFont(cairo_t* cr);

// The size of text in the label font selected into cr.
TextSize MeasureLabel(cairo_t* cr, const std::string& text);

// Draws text in the label font: a white box, then the text in black, clipped to rect. Returns
// where it went.
LabelPlace DrawLabel(cairo_t* cr, const std::string& text, const QRect& rect, uint32_t format);
