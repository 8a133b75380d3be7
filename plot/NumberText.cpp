#include "plot/NumberText.h"

#include <cstdio>

void FormatNumber(char* out, size_t size, double value, int width, int precision) {
    const int fixed = std::snprintf(out, size, "%*.*f", width, precision, value);
    if (fixed >= 0 && static_cast<size_t>(fixed) < size) {
        return;
    }
    std::snprintf(out, size, "%*.*e", width, precision, value);
}
