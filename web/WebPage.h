// The page's side of the platform doors and the calls the page's script makes into the core.
// The core runs in a Web Worker; the script talks to it through the functions exported in
// WebExports.cpp, and the module asks the script for three things it imports (below).
#pragma once

#include <cstdint>
#include <string>

#define QUORVY_IMPORT(name) __attribute__((import_module("quorvy"), import_name(name)))

extern "C" {
// Lets the page run for a moment during a long pass: it shows the progress and the growing
// plot and hands over a stop request. Non-zero when the user asked to stop.
QUORVY_IMPORT("yield") int32_t PageYield(double samples, double expected);
// The width in pixels of a text in the page's label font.
QUORVY_IMPORT("text_width") int32_t PageTextWidth(const char* text, int32_t length);
// Bytes of the value table, handed over as they are written.
QUORVY_IMPORT("export_bytes") void PageExportBytes(const char* data, uint32_t size);
}

// Message boxes shown during one call, in order, for the page to show afterwards: each is
// title, unit separator (0x1F), text, then for a step of a debugging trace a unit separator and
// "trace", and a record separator (0x1E).
std::string TakeMessages();

// Quorvy.ini as the page keeps it in the browser's storage; null while there is none.
void SetStoredIni(const std::string* text);
const std::string* StoredIni();

// The abort poll lets the page run every few milliseconds of a pass; each pass starts the clock.
void ResetYieldClock();
