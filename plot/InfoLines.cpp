#include "plot/InfoLines.h"

#include <climits>

#include "plot/Draw.h"
#include "plot/RasterCanvas.h"

namespace {

// Room for the six lines of the curve-info panel.
constexpr int kInfoWidth = 400;
constexpr int kInfoHeight = 140;

}  // namespace

std::vector<std::string> InfoLines() {
    RasterCanvas canvas(kInfoWidth, kInfoHeight);
    const QRect client = {0, 0, kInfoWidth, kInfoHeight};
    DrawInfoLines(&canvas, &client);
    std::vector<std::string> lines;
    int32_t band = INT32_MIN;
    for (const PlacedText& text : canvas.texts()) {
        if (!lines.empty() && text.rect.bottom == band) {
            lines.back() += "\t" + text.text;
        } else {
            lines.push_back(text.text);
            band = text.rect.bottom;
        }
    }
    return lines;
}
