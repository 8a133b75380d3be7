// Export of the value table: one line per sample of the X walk, X and Y separated by a tab,
// "N.D." where the formula has no value, line feeds only, the chosen decimal-point character.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Common.h"

enum class ExportResult { Completed, Aborted, WriteFailed };

// The name the export offers for the file.
extern const char kExportFileName[];

// Room for two doubles of any size in "%9.9f" (up to 320 characters each), a tab and a line
// feed: no line is ever cut.
constexpr size_t kExportLineSize = 704;

// Formats one line with "%9.9f\t%9.9f\n" (or "%9.9f\tN.D.\n") and puts decimalPoint in place
// of the point of each number. Returns the length of the line.
size_t FormatExportLine(char (&line)[kExportLineSize], double x, double y, bool undefined,
                        char decimalPoint);

// Writes every line of the current formula and settings, polling the keyboard after each line.
// Lines are collected in a buffer and written in large pieces; on a key or a failure, every line
// formatted so far is handed to the stream before returning.
ExportResult ExportValues(OutputStream& out);

// ExportValues with the timing: a finished or aborted export sets g_ExportingTime; a failed
// write leaves it.
ExportResult RunExport(OutputStream& out);

// Tells the user, in a message box owned by owner, when an export did not complete for want
// of room or rights (an abort by key is the user's own choice and says nothing).
void ReportExportResult(ExportResult result, QWnd owner);

// The message shown when the export file cannot be created.
void ReportExportFileNotCreated(QWnd owner);
