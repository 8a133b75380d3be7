// The preferences file Quorvy.ini, section [Quorvy]: every key of the preferences record read
// and written through the profile calls.
#pragma once

#include <cstdint>
#include <string>

#include "settings/Prefs.h"

constexpr const char* kIniFileName = "Quorvy.ini";
constexpr const char* kIniSection = "Quorvy";

// Reads every key into gPrefs; a missing key gives the field its default. Always 1. With a
// report, also notes which keys the file gives and their values as written.
int32_t ReadWinPrefs(PrefsReport* report = nullptr);
// After the read and the repairs of the X walk: why each value found was not used as written,
// and what the record holds instead.
void JudgeFoundValues(const WalkRepairs& repairs, PrefsReport* report);
// Writes every key of gPrefs; the window rectangle only while position saving is on.
void WriteWinPrefs();

// Reads Quorvy.ini over the current record, then the X step; returns 1. A count or a range that
// would give no usable X walk goes back to its default alone; a step that cannot advance X puts
// MinX, MaxX and Iterations back together. With a report, every key is also looked at as the
// file writes it, and each value that was not used as written is told with the reason (for a
// tool that shows it; the window reads exactly as without).
int32_t ReadPreferences(PrefsReport* report = nullptr);
// The steps of ReadPreferences after ReadWinPrefs, for a reader that puts values of its own over
// the file's first: the window rectangle's default, the repairs of the X walk judged on the
// values the record then holds, the report, the X step.
void FinishReadingPreferences(PrefsReport* report = nullptr);
void WritePreferences();

// The keys of a link to the plot, one "key<tab>value" line each: the formula, the range and the
// count, then every other setting of the record that differs from its default. Range ends carry
// every digit that tells them apart (the file keeps three decimals), the rest is written as the
// file writes it.
std::string LinkKeyLines();
