// A fast "%9.9f": the export writes two numbers per line, and the C library's general
// formatter costs far more than the rest of the line.
#pragma once

#include <cstddef>

// Room for the longest text FormatFixed9 writes: a sign, 16 integer digits, the point and nine
// decimals.
constexpr size_t kFixed9Size = 32;

// Writes value exactly as printf's "%9.9f" does (correctly rounded, ties to even, "-" for every
// negative value including -0.0) without a terminator, and returns the length. Returns 0 and
// writes nothing when |value| >= 2^53 or value is not finite: such values go to snprintf.
size_t FormatFixed9(char* out, double value);
