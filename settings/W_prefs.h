// The preferences file Quorvy.ini, section [Quorvy]: every key of the preferences record read
// and written through the profile calls.
#pragma once

#include <cstdint>

constexpr const char* kIniFileName = "Quorvy.ini";
constexpr const char* kIniSection = "Quorvy";

// Reads every key into gPrefs; a missing key gives the field its default. Always 1.
int32_t ReadWinPrefs();
// Writes every key of gPrefs; the window rectangle only while position saving is on.
void WriteWinPrefs();
