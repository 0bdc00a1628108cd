// Conversions between Windows times and Unix times, and the local date some days
// from now (which dated log files are old).
#pragma once

#include <windows.h>

#include <stdint.h>

namespace base {

// Seconds since 1970-01-01 00:00:00 of a UTC calendar time; -1 for a record that
// is not a valid date.
int64_t GetUnixTime(SYSTEMTIME utc);

// The instant in the machine's time zone; returns out (zeroed when the time is
// outside the range of file times).
LPSYSTEMTIME UnixTimeToLocalTime(int64_t unix_time, LPSYSTEMTIME out);

// The local wall-clock time now, moved by whole days (negative goes back),
// milliseconds cleared. Calendar arithmetic, so any year up to 30827 works; a
// result outside that range is a zeroed record.
SYSTEMTIME GetDateAfterDays(int32_t days);

}  // namespace base
