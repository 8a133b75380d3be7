// Hooks of the portable platform side: where message boxes go and what the abort poll answers.
#pragma once

#include "app/Common.h"

using MessageSink = void (*)(void* context, QWnd owner, const char* msg, const char* title,
                             int16_t style);
using AbortHook = int32_t (*)(void* context);

// A null sink restores the default, which prints "[title] text" to standard error.
void SetMessageSink(MessageSink sink, void* context);
// A null hook makes UserAbort answer 0.
void SetAbortHook(AbortHook hook, void* context);
