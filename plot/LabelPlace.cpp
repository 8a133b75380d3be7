#include "plot/LabelPlace.h"

#include <algorithm>

namespace {

QRect Intersection(const QRect& a, const QRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

}  // namespace

bool BoxIsEmpty(const QRect& box) {
    return box.right <= box.left || box.bottom <= box.top;
}

LabelPlace PlaceLabel(const QRect& rect, uint32_t format, const TextSize& size) {
    const int32_t height = size.ascent + size.descent;
    int32_t left = rect.left;
    if ((format & kDtRight) != 0) {
        left = rect.right - size.width;
    } else if ((format & kDtCenter) != 0) {
        left = rect.left + (rect.right - rect.left - size.width) / 2;
    }
    int32_t top = rect.top;
    if ((format & kDtBottom) != 0) {
        top = rect.bottom - height;
    } else if ((format & kDtVCenter) != 0) {
        top = rect.top + (rect.bottom - rect.top - height) / 2;
    }
    const QRect box = {left, top, left + size.width, top + height};
    return {Intersection(box, rect), left, top + size.ascent};
}
