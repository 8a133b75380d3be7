// Work that walks the samples: a paint of the plot, a range pass, an export, a print. The
// evaluator's trace shows message boxes inside it, whose own message loops hand the main window
// its messages in the middle of the work. A paint there would draw from half-measured state and
// run a pass inside the pass, a command could change what the pass walks: both are held. When
// the outermost work ends (work nests), the main window is repainted if a paint was held; the
// last held command waits for the main loop, so that it runs after the command under way.
#pragma once

#include <windows.h>

#include <cstdint>

// Work the user asked for (a measure, an export, a print) shows the trace again after a stop
// (see AskStopInTrace); a paint, which draws what was measured, does not.
enum class PassWork : uint8_t { AskedFor, Paint };
void BeginPassWork(PassWork kind);
void EndPassWork();
bool PassWorkUnderWay();
// For the main loop, between messages: posts the held command to the main window.
void PostHeldCommand();
// For the main window's procedure: true when the message is held (a paint validated, a command
// kept and the stop asked, as its key would).
bool HoldDuringPassWork(HWND hWnd, UINT message, WPARAM wParam);
// A paint of the plot that ends with a copy of its whole picture answers the paints held during
// it, and forgets them.
bool RepaintHeld();
void ForgetHeldRepaint();

// The user's stop during the trace, which the boxes' loops keep from the key poll: Esc in a
// box, a key or a command for the main window. The key poll answers it once (the pass ends
// after its sample: TakeStopAskedInTrace), and the trace shows no more boxes, in this work nor
// in the paints of what it measured, until work the user asks for begins (TraceEnded).
void AskStopInTrace();
bool TakeStopAskedInTrace();
bool TraceEnded();
