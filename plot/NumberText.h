// Numbers for labels, panel lines and the INI file, formatted into fixed buffers.
#pragma once

#include <cstddef>

// Writes value as "%<width>.<precision>f" when that text fits in size bytes, otherwise as
// "%<width>.<precision>e", so that huge values (the 1e120 sentinels, for instance) keep their
// magnitude instead of being cut.
void FormatNumber(char* out, size_t size, double value, int width, int precision);
