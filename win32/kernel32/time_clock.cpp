// Wall clock, time zone offset and tick counter, with their test knobs.
#include <w32/clock.h>
#include <w32/filetime.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>

namespace w32 {

namespace {

// "YYYY-MM-DDTHH:MM:SS[.mmm][Z]" -> FILETIME units; local unless it ends in Z.
std::optional<uint64_t> parse_fixed_time(const char* text) {
    struct tm tm = {};
    int used = 0;
    char sep = 0;
    if (sscanf(text, "%4d-%2d-%2d%c%2d:%2d:%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &sep,
               &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &used) != 7 ||
        (sep != 'T' && sep != 't' && sep != ' ')) {
        return std::nullopt;
    }
    const char* p = text + used;
    int64_t frac = 0;  // 100 ns units
    if (*p == '.') {
        int64_t scale = 1000000;
        for (++p; *p >= '0' && *p <= '9'; ++p) {
            frac += (*p - '0') * scale;
            scale /= 10;
        }
    }
    bool utc = false;
    if (*p == 'Z' || *p == 'z') utc = true, ++p;
    if (*p) return std::nullopt;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    time_t t = utc ? timegm(&tm) : mktime(&tm);
    if (t == static_cast<time_t>(-1)) return std::nullopt;
    int64_t v = static_cast<int64_t>(t) * 10000000LL + frac + kUnixEpochInFileTime;
    if (v < 0) return std::nullopt;
    return static_cast<uint64_t>(v);
}

uint64_t boot_ms() {
    // Windows' tick counts the time the machine slept, as CLOCK_BOOTTIME does.
    struct timespec ts;
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

struct TickKnob {
    std::mutex lock;
    std::string text;  // the value in force; empty: none
    uint64_t start = 0;
    uint64_t since = 0;  // boot_ms() at which the tick was start
    std::atomic<bool> active{false};
};

TickKnob& tick_knob() {
    static TickKnob knob;
    return knob;
}

// A knob set when the process starts counts from the start.
const bool g_tick_latched_at_load [[maybe_unused]] = [] {
    TickKnob& k = tick_knob();
    if (const char* v = getenv("WIN32_TICK_START"); v && *v) {
        k.text = v;
        k.start = strtoull(v, nullptr, 0);
        k.since = boot_ms();
        k.active = true;
    }
    return true;
}();

}  // namespace

uint64_t now_filetime() {
    if (const char* fixed = getenv("WIN32_FIXED_TIME"); fixed && *fixed) {
        if (auto v = parse_fixed_time(fixed)) return *v;
    }
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return filetime_value(timespec_to_filetime(ts));
}

long local_offset_seconds(int64_t unix_seconds) {
    // localtime_r alone would not notice a TZ changed since the last tzset.
    tzset();
    time_t t = static_cast<time_t>(unix_seconds);
    struct tm tm;
    if (!localtime_r(&t, &tm)) return 0;
    return tm.tm_gmtoff;
}

long current_local_offset_seconds() {
    auto v = static_cast<int64_t>(now_filetime()) - kUnixEpochInFileTime;
    return local_offset_seconds(v / 10000000LL);
}

uint64_t tick_ms() {
    const char* v = getenv("WIN32_TICK_START");
    TickKnob& k = tick_knob();
    if (!v || !*v) {
        // Forget a knob that was removed, so setting it again starts afresh.
        if (k.active.load(std::memory_order_relaxed)) {
            std::lock_guard<std::mutex> guard(k.lock);
            k.text.clear();
            k.active = false;
        }
        return boot_ms();
    }
    std::lock_guard<std::mutex> guard(k.lock);
    k.active = true;
    const uint64_t now = boot_ms();
    if (k.text != v) {
        k.text = v;
        k.start = strtoull(v, nullptr, 0);
        k.since = now;
    }
    return k.start + (now - k.since);
}

}  // namespace w32

DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(w32::tick_ms()); }

ULONGLONG WINAPI GetTickCount64(void) { return w32::tick_ms(); }
