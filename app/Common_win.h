// The Win32 side's own doors, beside those of Common.h: the long pass shows what it has drawn
// so far, and the shell asks the key poll's question without its throttle.
#pragma once

#include <windows.h>

// Shows the picture drawn so far during a long pass (copies it to the window).
using PassPresenter = void (*)(void* context);
// While a presenter is set, the key poll (UserAbort) calls it when the poll looks at the queue
// and at least kPresentIntervalMs have passed since the last call (or since it was set); null
// ends that. The poll and the copy need no message dispatching.
void SetPassPresenter(PassPresenter present, void* context);
constexpr DWORD kPresentIntervalMs = 100;

// True when a key-down waits in the thread's queue; it is looked at, not taken. The abort poll
// asks this when its throttle lets it look.
bool KeyDownWaiting();
