#include "base/time_util.h"

namespace base {

namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kEpochOffsetSeconds = 0x2B6109100LL;  // 1601-01-01 to 1970-01-01
constexpr int64_t kEpochOffsetTicks = 0x19DB1DED53E8000LL;
// The last second FileTimeToSystemTime accepts (year 30827).
constexpr int64_t kMaxFileTimeSeconds = 0x7FFFFFFFFFFFFFFFLL / kTicksPerSecond;

int64_t Ticks(const FILETIME& ft) {
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) |
                                ft.dwLowDateTime);
}

FILETIME FromTicks(int64_t ticks) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks));
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    return ft;
}

}  // namespace

int64_t GetUnixTime(SYSTEMTIME utc) {
    FILETIME ft;
    if (!SystemTimeToFileTime(&utc, &ft)) return -1;
    return (Ticks(ft) - kEpochOffsetTicks) / kTicksPerSecond;
}

LPSYSTEMTIME UnixTimeToLocalTime(int64_t unix_time, LPSYSTEMTIME out) {
    *out = SYSTEMTIME{};
    if (unix_time < -kEpochOffsetSeconds || unix_time > kMaxFileTimeSeconds - kEpochOffsetSeconds) {
        return out;
    }
    const FILETIME utc = FromTicks((unix_time + kEpochOffsetSeconds) * kTicksPerSecond);
    FILETIME local;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, out)) {
        *out = SYSTEMTIME{};
    }
    return out;
}

SYSTEMTIME GetDateAfterDays(int32_t days) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    // The wall-clock reading is handled as a plain calendar value: adding whole
    // days to it gives the same hour on the later date in any zone.
    FILETIME wall;
    SYSTEMTIME result = {};
    if (!SystemTimeToFileTime(&now, &wall)) return result;
    const int64_t seconds = Ticks(wall) / kTicksPerSecond + static_cast<int64_t>(days) * 86400;
    if (seconds < 0 || seconds > kMaxFileTimeSeconds) return result;
    const FILETIME later = FromTicks(seconds * kTicksPerSecond);
    if (!FileTimeToSystemTime(&later, &result)) result = SYSTEMTIME{};
    return result;
}

}  // namespace base
