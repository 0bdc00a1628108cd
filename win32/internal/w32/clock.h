// The layer's clocks. The wall clock can be frozen for date tests with
// WIN32_FIXED_TIME ("2026-01-05T10:20:30" local, "...Z" UTC, optional ".mmm");
// the millisecond tick can start from WIN32_TICK_START so tests cross its 32-bit
// wrap. Both variables are read again whenever they change.
#pragma once

#include <stdint.h>

namespace w32 {

// Now, in FILETIME units (100 ns since 1601-01-01 UTC).
uint64_t now_filetime();

// Seconds that local time is ahead of UTC at the given Unix time, under TZ.
long local_offset_seconds(int64_t unix_seconds);
// The same at the current moment of now_filetime(), which is what Windows applies
// to every local/UTC file-time conversion.
long current_local_offset_seconds();

// Milliseconds of the tick counter, 64 bits.
uint64_t tick_ms();

}  // namespace w32
