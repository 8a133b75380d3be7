// Hooks of the portable platform side: where message boxes go and what the abort poll answers.
#pragma once

#include <string>

#include "platform/Common.h"

using MessageSink = void (*)(void* context, QWnd owner, const char* msg, const char* title,
                             int16_t style);
using AbortHook = int32_t (*)(void* context);

// A null sink restores the default, which prints "[title] text" to standard error.
void SetMessageSink(MessageSink sink, void* context);
// A null hook makes UserAbort answer 0. A hook that answers 0, doing nothing, after every sample
// whose count is not a multiple of spacing is asked only after those that are.
void SetAbortHook(AbortHook hook, void* context, uint32_t spacing = 1);

// Folder of the INI files named by the profile calls (the Windows folder on Windows); "." at
// start.
void SetProfileDirectory(const char* directory);
// One file that the profile calls read and write whatever file name they are given, for a tool
// that works on a Quorvy.ini of the user's choice; an empty path goes back to the folder.
void SetProfileFile(const char* path);
std::string ProfilePath(const char* fileName);
// The text of that file, read once, for a tool that then reads it key by key: the reads take it
// from there instead of the disk (writes still go to the file). Null goes back to the disk.
void SetProfileText(const std::string* text);

// How many times the main window was asked to repaint.
int InvalidateRequests();
