// Memory for large tables that the program fills once and reads many times. Where the system
// offers large pages for such memory, it is asked for them: one fault then maps 2 MiB instead of
// 4 KiB, which on some virtual machines costs as much as computing the table again.
#pragma once

#include <cstddef>

// At least bytes bytes, or null when the system cannot give them.
void* TakeLargeRoom(size_t bytes);
// Gives back what TakeLargeRoom gave for the same bytes.
void GiveBackLargeRoom(void* room, size_t bytes);
