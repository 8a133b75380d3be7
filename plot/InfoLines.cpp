#include "plot/InfoLines.h"

#include <cstdio>
#include <cstring>

#include "engine/Globals.h"
#include "platform/NumberText.h"
#include "plot/Draw.h"
#include "plot/Pixels.h"
#include "settings/Prefs.h"

const char* const kInfoNeedsAutoScaleY = "le Info sono disponibili solo se attivi AutoScala Y";

namespace {

void SetLine(InfoLine* line, const char* before, double value, int width, int precision,
             const char* after) {
    FormatNumberLine(line->text, sizeof line->text, before, value, width, precision, after);
    line->where[0] = '\0';
    line->autoScaleYNote = false;
}

void SetExtremeLine(InfoLine* line, const char* label, double y, double x) {
    SetLine(line, label, y, 9, 4, "");
    FormatNumberLine(line->where, sizeof line->where, "in X = ", x, 9, 4, "");
}

// The panel's lines stand in bands of this height, the value flush left and where it occurs
// flush right.
constexpr int32_t kInfoLineHeight = 20;
constexpr uint32_t kBottomLeft = kDtSingleLine | kDtBottom;
constexpr uint32_t kBottomRight = kDtSingleLine | kDtBottom | kDtRight;

void Text(DrawSurface* hDc, const char* text, const QRect& rect, uint32_t format) {
    MyDrawText(hDc, text, static_cast<int16_t>(std::strlen(text)), &rect, format);
}

}  // namespace

int CurveInfoLines(InfoLine (&lines)[kMaxInfoLines]) {
    int count = 0;
    if (gPrefs.bAutoScaleY) {
        const ExtremePlaces places = WhereExtremesOccur();
        SetExtremeLine(&lines[count++], "Min Y        ", gMinY, places.whereMinY);
        SetExtremeLine(&lines[count++], "Max Y        ", gMaxY, places.whereMaxY);
        SetLine(&lines[count++], "intervallo Y   ", gRangeOfY, 9, 4, " ");
        SetLine(&lines[count++], "Fatt.Scala Y ", gScaleYFactor, 9, 4, " ");
    } else {
        InfoLine& note = lines[count++];
        std::snprintf(note.text, sizeof note.text, "%s", kInfoNeedsAutoScaleY);
        note.where[0] = '\0';
        note.autoScaleYNote = true;
    }
    SetLine(&lines[count++], "Tempo di disegno ", g_DrawingTime, 3, 2, "");
    SetLine(&lines[count++], "Tempo di Export ", g_ExportingTime, 3, 2, "");
    return count;
}

std::string InfoLineText(const InfoLine& line) {
    std::string text = line.text;
    if (line.where[0] != '\0') {
        text.append(1, '\t').append(line.where);
    }
    return text;
}

void DrawInfoLines(DrawSurface* hDc, const QRect* client) {
    InfoLine lines[kMaxInfoLines];
    const int count = CurveInfoLines(lines);
    QRect band = *client;
    for (int i = 0; i < count; ++i) {
        band.bottom = band.top + kInfoLineHeight * (i + 1);
        Text(hDc, lines[i].text, band, kBottomLeft);
        if (lines[i].where[0] != '\0') {
            Text(hDc, lines[i].where, band, kBottomRight);
        }
    }
}
