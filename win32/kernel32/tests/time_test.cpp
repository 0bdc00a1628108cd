// Clocks, time conversions, GetTimeFormatA and the tick count, with the
// fixed-clock and tick knobs.
#include <windows.h>

#include <gtest/gtest.h>

#include <time.h>

#include <string>

#include "kernel_test.h"
#include "testing/scoped_env.h"

namespace {

using testing_support::ScopedEnv;

constexpr const char* kBeijing = "CST-8";
constexpr const char* kNewYork = "EST5EDT,M3.2.0,M11.1.0";
constexpr int64_t kHour = 36000000000;

// Sets TZ and the clock knob for one test; the old values come back, the latest first.
class TimeTest : public ::testing::Test {
protected:
    void Set(const char* zone, const char* clock = "") {
        env_.Set("TZ", zone);
        env_.Set("WIN32_FIXED_TIME", clock);
        tzset();
    }
    struct Reread {
        ~Reread() { tzset(); }
    } reread_;  // destroyed last: once TZ is back
    testing_support::ScopedEnvs env_;
};

uint64_t Value(const FILETIME& ft) { return uint64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime; }
FILETIME Filetime(uint64_t v) { return FILETIME{DWORD(v), DWORD(v >> 32)}; }

SYSTEMTIME Make(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
    return SYSTEMTIME{y, mo, 0, d, h, mi, s, ms};
}

std::string Text(const SYSTEMTIME& st) {
    char buf[64];
    snprintf(buf, sizeof(buf), "%04u-%02u-%02u %02u:%02u:%02u.%03u dow%u", st.wYear, st.wMonth,
             st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
    return buf;
}

uint64_t ToFiletime(const SYSTEMTIME& st) {
    FILETIME ft{};
    return SystemTimeToFileTime(&st, &ft) ? Value(ft) : 0xFFFFFFFFFFFFFFFF;
}

std::string FromFiletime(uint64_t v) {
    FILETIME ft = Filetime(v);
    SYSTEMTIME st{};
    return FileTimeToSystemTime(&ft, &st) ? Text(st) : "<fail>";
}

TEST_F(TimeTest, TheClockIsTheSystemsOrTheFixedOneShownInTheLocalZone) {
    const struct {
        const char *zone, *clock, *local, *utc;
    } cases[] = {
        {kBeijing, "2026-01-05T10:20:30", "2026-01-05 10:20:30.000 dow1",
         "2026-01-05 02:20:30.000 dow1"},
        {kNewYork, "2026-01-05T03:20:30.250Z", "2026-01-04 22:20:30.250 dow0",
         "2026-01-05 03:20:30.250 dow1"},
    };
    SYSTEMTIME local, utc;
    FILETIME ft;
    for (const auto& t : cases) {
        Set(t.zone, t.clock);
        GetLocalTime(&local), GetSystemTime(&utc), GetSystemTimeAsFileTime(&ft);
        EXPECT_EQ(Text(local) + " | " + Text(utc) + " | " + FromFiletime(Value(ft)),
                  std::string(t.local) + " | " + t.utc + " | " + t.utc);
    }
    Set(kBeijing);
    GetSystemTimeAsFileTime(&ft);
    const int64_t ours = (int64_t(Value(ft)) - 116444736000000000LL) / 10000000LL;
    EXPECT_LE(std::llabs(ours - int64_t(time(nullptr))), 2);
}

TEST_F(TimeTest, SystemDosAndFileTimesConvertBothWaysAndInvalidOnesAreRejected) {
    EXPECT_EQ(ToFiletime(Make(1601, 1, 1)), 0u);
    EXPECT_EQ(ToFiletime(Make(1970, 1, 1)), 116444736000000000u);
    EXPECT_EQ(FromFiletime(116444736000000000u), "1970-01-01 00:00:00.000 dow4");
    EXPECT_EQ(FromFiletime(ToFiletime(Make(2024, 2, 29, 23, 59, 59, 999))),
              "2024-02-29 23:59:59.999 dow4");
    EXPECT_EQ(FromFiletime(ToFiletime(Make(30827, 12, 31, 23, 59, 59, 999))),
              "30827-12-31 23:59:59.999 dow5");
    for (const SYSTEMTIME& st : {Make(2023, 2, 29), Make(2024, 13, 1), Make(2024, 1, 0),
                                 Make(2024, 1, 1, 24), Make(1600, 12, 31)}) {
        SetLastError(0);
        EXPECT_EQ(ToFiletime(st), 0xFFFFFFFFFFFFFFFF) << Text(st);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(FromFiletime(0x8000000000000000), "<fail>");

    const WORD date = WORD((2024 - 1980) << 9 | 6 << 5 | 15), time = WORD(14 << 11 | 30 << 5 | 29);
    FILETIME ft, utc;
    ASSERT_TRUE(DosDateTimeToFileTime(date, time, &ft));
    EXPECT_EQ(FromFiletime(Value(ft)), "2024-06-15 14:30:58.000 dow6");
    WORD d2 = 0, t2 = 0;  // and back; a year before 1980 has no DOS date
    EXPECT_TRUE(FileTimeToDosDateTime(&ft, &d2, &t2) && d2 == date && t2 == time);
    const FILETIME old = Filetime(ToFiletime(Make(1979, 12, 31)));
    EXPECT_EQ(Failed(!FileTimeToDosDateTime(&old, &d2, &t2)), ERROR_INVALID_PARAMETER);
    // A zip entry's local stamp becomes UTC through the zone.
    Set(kBeijing, "2024-06-15T15:00:00");
    ASSERT_TRUE(LocalFileTimeToFileTime(&ft, &utc));
    EXPECT_EQ(FromFiletime(Value(utc)), "2024-06-15 06:30:58.000 dow6");
    EXPECT_FALSE(DosDateTimeToFileTime(WORD(44 << 9 | 0 << 5 | 1), 0, &ft));  // month 0
    EXPECT_FALSE(DosDateTimeToFileTime(WORD(44 << 9 | 1 << 5 | 1), 24 << 11, &ft));
}

TEST_F(TimeTest, LocalFileTimesUseTheOffsetInForceNowAsWindowsDoes) {
    const uint64_t noon = ToFiletime(Make(2026, 1, 5, 12));
    const struct {
        const char *zone, *now;
        int64_t shift;
    } cases[] = {{kBeijing, "2026-01-05T12:00:00Z", 8 * kHour},
                 {kNewYork, "2026-01-05T12:00:00Z", -5 * kHour},
                 {kNewYork, "2026-07-01T12:00:00Z", -4 * kHour},  // daylight saving time now
                 {"UTC0", "2026-01-05T12:00:00Z", 0}};
    for (const auto& t : cases) {
        Set(t.zone, t.now);
        FILETIME utc = Filetime(noon), local, back;
        ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
        EXPECT_EQ(int64_t(Value(local)), int64_t(noon) + t.shift) << t.zone << " " << t.now;
        ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
        EXPECT_EQ(Value(back), noon);
    }
}

TEST_F(TimeTest, TimeFormatsFollowThePictureAndTheFlags) {
    Set(kBeijing, "2026-01-05T09:05:07");
    char buf[64];
    EXPECT_EQ(GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, "HH':'mm':'ss", buf, 64), 9);
    EXPECT_STREQ(buf, "09:05:07");  // now, with the picture of the log
    EXPECT_EQ(GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, "HH':'mm':'ss", nullptr, 0), 9);
    EXPECT_EQ(Failed(GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, "HH':'mm':'ss", buf, 8) == 0),
              ERROR_INSUFFICIENT_BUFFER);
    const struct {
        SYSTEMTIME when;
        const char* picture;
        DWORD flags;
        const char* out;
    } cases[] = {
        {Make(2026, 1, 5, 14, 5, 9), nullptr, 0, "2:05:09 PM"},
        {Make(2026, 1, 5, 14, 5, 9), nullptr, TIME_NOSECONDS, "2:05 PM"},
        {Make(2026, 1, 5, 14, 5, 9), nullptr, TIME_NOMINUTESORSECONDS, "2 PM"},
        {Make(2026, 1, 5, 14, 5, 9), nullptr, TIME_NOTIMEMARKER, "2:05:09"},
        {Make(2026, 1, 5, 14, 5, 9), "h:mm:ss", TIME_FORCE24HOURFORMAT, "14:05:09"},
        {Make(2026, 1, 5, 14, 5, 9), "hh 'o''clock' t", 0, "02 o'clock P"},
        {Make(2026, 1, 5, 14, 5, 9), "H.m.s", 0, "14.5.9"},
        {Make(2026, 1, 5), "hh:mm:ss tt", 0, "12:00:00 AM"},
        {Make(2026, 1, 5, 24), "HH", 0, "<error 87>"},
    };
    for (const auto& t : cases) {
        int n = GetTimeFormatA(LOCALE_USER_DEFAULT, t.flags, &t.when, t.picture, buf, sizeof buf);
        EXPECT_EQ(n ? std::string(buf) : "<error " + std::to_string(GetLastError()) + ">", t.out);
        EXPECT_EQ(n, n ? int(strlen(buf)) + 1 : 0);
    }
}

TEST_F(TimeTest, TheTickAdvancesInRealTimeFromTheKnobsStartAcrossTheWrap) {
    {
        ScopedEnv none("WIN32_TICK_START", "");
        const DWORD before = GetTickCount();
        const ULONGLONG t64 = GetTickCount64();
        Sleep(50);
        const DWORD after = GetTickCount();
        EXPECT_GE(after - before, 45u);
        // The 32-bit tick is the low part of the 64-bit one.
        EXPECT_LE(DWORD(t64) - before, after - before);
    }
    ScopedEnv start("WIN32_TICK_START", "0xFFFFFFC0");  // 64 ms before the wrap
    const DWORD t1 = GetTickCount();
    EXPECT_GE(t1, 0xFFFFFFC0u);
    Sleep(120);
    const DWORD t2 = GetTickCount();
    EXPECT_LT(t2, 0x10000u);                     // wrapped around
    EXPECT_GE(t2 - t1, 110u);                    // the unsigned difference still measures time
    EXPECT_GT(GetTickCount64(), 0xFFFFFFFFull);  // the 64-bit tick does not wrap
}

}  // namespace
