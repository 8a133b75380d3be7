// The texts of a plot (labels and notices) drawn with a real font, placed in their rectangle the
// way the platform's single-line text drawing places them: flush left, right or centred, at the
// bottom or centred vertically, over an opaque white box as wide as the text and as high as the
// font, clipped to the rectangle.
#pragma once

#include <cairo.h>

#include <string>

#include "platform/Common.h"
#include "plot/LabelPlace.h"

// Selects the label font into cr: DejaVu Sans Bold on a line 16 units high with 13 above the
// baseline, the size of the window's own font.
void UseLabelFont(cairo_t* cr);

// The size of text in the label font selected into cr.
TextSize MeasureLabel(cairo_t* cr, const std::string& text);

// Draws text in the label font: a white box, then the text in black, clipped to rect. Returns
// where it went.
LabelPlace DrawLabel(cairo_t* cr, const std::string& text, const QRect& rect, uint32_t format);
