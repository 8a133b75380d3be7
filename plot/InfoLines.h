// The curve-info panel's lines as data: the window draws them, quorvy-plot prints them and the
// page shows them.
#pragma once

#include <cstddef>
#include <string>

#include "platform/Common.h"

constexpr size_t kInfoTextSize = 100;
constexpr int kMaxInfoLines = 6;

struct InfoLine {
    char text[kInfoTextSize];   // flush left
    char where[kInfoTextSize];  // flush right: where an extreme of Y occurs; empty for none
    bool autoScaleYNote;        // the line in place of the Y facts while AutoScale Y is off
};

// The panel's line in place of the Y facts while AutoScale Y is off.
extern const char* const kInfoNeedsAutoScaleY;

// The panel's lines as they stand now; returns how many there are (6, or 3 without AutoScale Y).
int CurveInfoLines(InfoLine (&lines)[kMaxInfoLines]);
// A line as one text: a value and where it occurs joined by a tab.
std::string InfoLineText(const InfoLine& line);
// The lines of the curve-info panel, in bands of 20 units from the top of client.
void DrawInfoLines(DrawSurface* hDc, const QRect* client);
