// The clock timers are scheduled on. Message times are GetTickCount values.
#pragma once

#include <windows.h>

#include <chrono>

namespace w32::user {

using Clock = std::chrono::steady_clock;

// Milliseconds from now until t, rounded up; 0 when t has passed.
DWORD ms_until(Clock::time_point t);

}  // namespace w32::user
