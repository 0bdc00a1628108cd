// FILETIME (100 ns ticks since 1601-01-01 UTC) <-> Unix time.
#pragma once

#include <windows.h>
#include <time.h>

namespace w32 {

constexpr int64_t kUnixEpochInFileTime = 116444736000000000LL;

inline uint64_t filetime_value(const FILETIME& ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

inline FILETIME make_filetime(uint64_t v) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(v);
    ft.dwHighDateTime = static_cast<DWORD>(v >> 32);
    return ft;
}

inline FILETIME timespec_to_filetime(const struct timespec& ts) {
    int64_t v =
        static_cast<int64_t>(ts.tv_sec) * 10000000LL + ts.tv_nsec / 100 + kUnixEpochInFileTime;
    return make_filetime(v < 0 ? 0 : static_cast<uint64_t>(v));
}

inline struct timespec filetime_to_timespec(const FILETIME& ft) {
    int64_t v = static_cast<int64_t>(filetime_value(ft)) - kUnixEpochInFileTime;
    struct timespec ts;
    ts.tv_sec = v >= 0 ? v / 10000000LL : -((-v + 9999999) / 10000000LL);
    ts.tv_nsec = static_cast<long>((v - static_cast<int64_t>(ts.tv_sec) * 10000000LL) * 100);
    return ts;
}

}  // namespace w32
