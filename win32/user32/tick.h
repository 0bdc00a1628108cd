// The millisecond clock of message times and timers, counted like GetTickCount.
#pragma once

#include <windows.h>

#include <chrono>

namespace w32::user {

using Clock = std::chrono::steady_clock;

DWORD tick_count();
// Milliseconds from now until t, rounded up; 0 when t has passed.
DWORD ms_until(Clock::time_point t);

}  // namespace w32::user
