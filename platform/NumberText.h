// Numbers as text for the labels, the curve-info panel, Quorvy.ini and the export file, each
// formatted into a fixed buffer of the caller's.
#pragma once

#include <cstddef>

// Writes value as "%<width>.<precision>f" when that text fits in size bytes, otherwise as
// "%<width>.<precision>e", so that huge values (the 1e120 sentinels, for instance) keep their
// magnitude instead of being cut.
void FormatNumber(char* out, size_t size, double value, int width, int precision);

// before, the number as FormatNumber writes it, after: one line of a label or of the curve-info
// panel in a buffer of size bytes. A number too long for the line switches to exponent form
// rather than being cut.
void FormatNumberLine(char* out, size_t size, const char* before, double value, int width,
                      int precision, const char* after);

// A range end as Quorvy.ini keeps it: FormatNumber with width 9 and the given precision, then
// one blank ("%9.3f " for a stored value, "%9.0f " for a default).
void FormatRangeEnd(char* out, size_t size, double value, int precision);

// Room for the longest text FormatFixed9 writes: a sign, 16 integer digits, the point and nine
// decimals.
constexpr size_t kFixed9Size = 32;

// A fast "%9.9f": the export writes two numbers per line, and the C library's general formatter
// costs far more than the rest of the line. Writes value exactly as printf's "%9.9f" does
// (correctly rounded, ties to even, "-" for every negative value including -0.0) without a
// terminator, and returns the length. Returns 0 and writes nothing when |value| >= 2^53 or value
// is not finite: such values go to snprintf.
size_t FormatFixed9(char* out, double value);
