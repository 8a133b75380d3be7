// Numbers and texts of dialog fields. The conversions are portable; the accessors that move
// them in and out of a dialog's controls are in SetGetD_win.h.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kFieldBufferSize = 30;

// "%e": six digits after the point and at least two exponent digits (1.000000e+02).
void FormatFieldDouble(char (&buffer)[kFieldBufferSize], double value);
// "%ld".
void FormatFieldLong(char (&buffer)[kFieldBufferSize], int32_t value);
// The leading decimal number of a field (blanks skipped, optional sign, longest valid
// prefix); 0 when there is none.
double ParseFieldDouble(const char* text);
// The leading integer of a text, the same way, at its full size (Quorvy.ini reads counts beyond
// 32 bits this way to refuse them); 0 when there is none.
long long LeadingInteger(const char* text);
// The leading integer of a field, clamped to 32 bits.
int32_t ParseFieldLong(const char* text);
