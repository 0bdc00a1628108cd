#include <windows.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

// Sets TZ and the clock knobs for one test and puts the old values back.
class TimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kVars) {
            const char* v = getenv(name);
            saved_.push_back(v ? std::optional<std::string>(v) : std::nullopt);
        }
    }
    void TearDown() override {
        for (size_t i = 0; i < std::size(kVars); ++i) {
            if (saved_[i]) {
                setenv(kVars[i], saved_[i]->c_str(), 1);
            } else {
                unsetenv(kVars[i]);
            }
        }
        tzset();
    }
    static void set_zone(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }
    static void set_clock(const char* when) { setenv("WIN32_FIXED_TIME", when, 1); }

    static constexpr const char* kVars[] = {"TZ", "WIN32_FIXED_TIME", "WIN32_TICK_START"};
    std::vector<std::optional<std::string>> saved_;
};

constexpr const char* kBeijing = "CST-8";
constexpr const char* kNewYork = "EST5EDT,M3.2.0,M11.1.0";

uint64_t value(const FILETIME& ft) {
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME filetime(uint64_t v) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(v);
    ft.dwHighDateTime = static_cast<DWORD>(v >> 32);
    return ft;
}

SYSTEMTIME make_time(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
    SYSTEMTIME st = {};
    st.wYear = y, st.wMonth = mo, st.wDay = d, st.wHour = h, st.wMinute = mi, st.wSecond = s;
    st.wMilliseconds = ms;
    return st;
}

std::string text(const SYSTEMTIME& st) {
    char buf[64];
    snprintf(buf, sizeof(buf), "%04u-%02u-%02u %02u:%02u:%02u.%03u dow%u", st.wYear, st.wMonth,
             st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
    return buf;
}

uint64_t to_filetime(const SYSTEMTIME& st) {
    FILETIME ft = {};
    EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
    return value(ft);
}

std::string from_filetime(uint64_t v) {
    FILETIME ft = filetime(v);
    SYSTEMTIME st = {};
    if (!FileTimeToSystemTime(&ft, &st)) return "<fail>";
    return text(st);
}

constexpr uint64_t kSecond = 10000000;
constexpr uint64_t kHour = 3600 * kSecond;

TEST_F(TimeTest, FixedLocalClockGivesThatLocalTime) {
    set_zone(kBeijing);
    set_clock("2026-01-05T10:20:30");
    SYSTEMTIME st;
    GetLocalTime(&st);
    EXPECT_EQ("2026-01-05 10:20:30.000 dow1", text(st));
    GetSystemTime(&st);
    EXPECT_EQ("2026-01-05 02:20:30.000 dow1", text(st));
}

TEST_F(TimeTest, FixedUtcClockIsShownInTheLocalZone) {
    set_zone(kNewYork);
    set_clock("2026-01-05T03:20:30.250Z");
    SYSTEMTIME st;
    GetSystemTime(&st);
    EXPECT_EQ("2026-01-05 03:20:30.250 dow1", text(st));
    GetLocalTime(&st);
    EXPECT_EQ("2026-01-04 22:20:30.250 dow0", text(st));
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    EXPECT_EQ(to_filetime(make_time(2026, 1, 5, 3, 20, 30, 250)), value(ft));
}

TEST_F(TimeTest, RealClockMatchesTheSystemClock) {
    unsetenv("WIN32_FIXED_TIME");
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const auto unix_now = static_cast<int64_t>(time(nullptr));
    const int64_t ours = (static_cast<int64_t>(value(ft)) - 116444736000000000LL) / 10000000LL;
    EXPECT_LE(std::llabs(ours - unix_now), 2);
}

TEST_F(TimeTest, SystemTimeAndFileTimeRoundTrip) {
    EXPECT_EQ(0u, to_filetime(make_time(1601, 1, 1)));
    EXPECT_EQ(116444736000000000ull, to_filetime(make_time(1970, 1, 1)));
    EXPECT_EQ("1970-01-01 00:00:00.000 dow4", from_filetime(116444736000000000ull));
    EXPECT_EQ("2024-02-29 23:59:59.999 dow4",
              from_filetime(to_filetime(make_time(2024, 2, 29, 23, 59, 59, 999))));
    EXPECT_EQ("30827-12-31 23:59:59.999 dow5",
              from_filetime(to_filetime(make_time(30827, 12, 31, 23, 59, 59, 999))));
}

TEST_F(TimeTest, InvalidSystemTimesAndFileTimesAreRejected) {
    FILETIME ft;
    for (const SYSTEMTIME& st :
         {make_time(2023, 2, 29), make_time(2024, 13, 1), make_time(2024, 1, 0),
          make_time(2024, 1, 1, 24), make_time(1600, 12, 31)}) {
        SetLastError(0);
        EXPECT_FALSE(SystemTimeToFileTime(&st, &ft)) << text(st);
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    }
    EXPECT_EQ("<fail>", from_filetime(0x8000000000000000ull));
}

TEST_F(TimeTest, LocalFileTimeUsesTheZoneOffset) {
    const uint64_t noon = to_filetime(make_time(2026, 1, 5, 12));
    set_clock("2026-01-05T12:00:00Z");
    for (auto [zone, shift] :
         {std::pair{kBeijing, 8 * static_cast<int64_t>(kHour)},
          std::pair{kNewYork, -5 * static_cast<int64_t>(kHour)}, std::pair{"UTC0", int64_t{0}}}) {
        set_zone(zone);
        FILETIME utc = filetime(noon), local, back;
        ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
        EXPECT_EQ(static_cast<int64_t>(noon) + shift, static_cast<int64_t>(value(local))) << zone;
        ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
        EXPECT_EQ(noon, value(back)) << zone;
    }
}

TEST_F(TimeTest, LocalFileTimeUsesTheOffsetInForceNowNotThenAsWindowsDoes) {
    set_zone(kNewYork);
    set_clock("2026-07-01T12:00:00Z");  // daylight saving time now
    const uint64_t winter = to_filetime(make_time(2026, 1, 5, 12));
    FILETIME utc = filetime(winter), local;
    ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
    EXPECT_EQ(winter - 4 * kHour, value(local));
}

TEST_F(TimeTest, DosDateTimeConvertsBothWays) {
    const WORD date = static_cast<WORD>(((2024 - 1980) << 9) | (6 << 5) | 15);
    const WORD time = static_cast<WORD>((14 << 11) | (30 << 5) | 29);
    FILETIME ft;
    ASSERT_TRUE(DosDateTimeToFileTime(date, time, &ft));
    EXPECT_EQ("2024-06-15 14:30:58.000 dow6", from_filetime(value(ft)));
    WORD d2 = 0, t2 = 0;
    ASSERT_TRUE(FileTimeToDosDateTime(&ft, &d2, &t2));
    EXPECT_EQ(date, d2);
    EXPECT_EQ(time, t2);

    // A zip entry's local stamp becomes UTC through the zone.
    set_zone(kBeijing);
    set_clock("2024-06-15T15:00:00");
    FILETIME utc;
    ASSERT_TRUE(LocalFileTimeToFileTime(&ft, &utc));
    EXPECT_EQ("2024-06-15 06:30:58.000 dow6", from_filetime(value(utc)));
}

TEST_F(TimeTest, InvalidDosDatesAndYearsOutsideDosAreRejected) {
    FILETIME ft;
    EXPECT_FALSE(
        DosDateTimeToFileTime(static_cast<WORD>((44 << 9) | (0 << 5) | 1), 0, &ft));  // month 0
    EXPECT_FALSE(DosDateTimeToFileTime(static_cast<WORD>((44 << 9) | (1 << 5) | 1), 24 << 11, &ft));
    FILETIME old = filetime(to_filetime(make_time(1979, 12, 31)));
    WORD d, t;
    SetLastError(0);
    EXPECT_FALSE(FileTimeToDosDateTime(&old, &d, &t));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(TimeTest, TimeFormatWithThePictureOfTheLog) {
    set_zone(kBeijing);
    set_clock("2026-01-05T09:05:07");
    char buf[200];
    EXPECT_EQ(9, GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, "HH':'mm':'ss", buf, sizeof(buf)));
    EXPECT_STREQ("09:05:07", buf);
    EXPECT_EQ(9, GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, "HH':'mm':'ss", nullptr, 0));
    SetLastError(0);
    EXPECT_EQ(0, GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, "HH':'mm':'ss", buf, 8));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

TEST_F(TimeTest, TimeFormatPicturesAndFlags) {
    const SYSTEMTIME t = make_time(2026, 1, 5, 14, 5, 9);
    char buf[64];
    auto fmt = [&](const char* picture, DWORD flags = 0) {
        int n = GetTimeFormatA(LOCALE_USER_DEFAULT, flags, &t, picture, buf, sizeof(buf));
        return n > 0 ? std::string(buf) : std::string("<fail>");
    };
    EXPECT_EQ("2:05:09 PM", fmt(nullptr));
    EXPECT_EQ("2:05 PM", fmt(nullptr, TIME_NOSECONDS));
    EXPECT_EQ("2 PM", fmt(nullptr, TIME_NOMINUTESORSECONDS));
    EXPECT_EQ("2:05:09", fmt(nullptr, TIME_NOTIMEMARKER));
    EXPECT_EQ("14:05:09", fmt("h:mm:ss", TIME_FORCE24HOURFORMAT));
    EXPECT_EQ("02 o'clock P", fmt("hh 'o''clock' t"));
    EXPECT_EQ("14.5.9", fmt("H.m.s"));

    const SYSTEMTIME midnight = make_time(2026, 1, 5, 0, 0, 0);
    EXPECT_EQ(12,
              GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &midnight, "hh:mm:ss tt", buf, sizeof(buf)));
    EXPECT_STREQ("12:00:00 AM", buf);

    SYSTEMTIME bad = make_time(2026, 1, 5, 24);
    SetLastError(0);
    EXPECT_EQ(0, GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &bad, "HH", buf, sizeof(buf)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(TimeTest, TickAdvancesInRealTime) {
    unsetenv("WIN32_TICK_START");
    const DWORD t1 = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const DWORD t2 = GetTickCount();
    EXPECT_GE(t2 - t1, 45u);
    EXPECT_LT(t2 - t1, 5000u);
    // The 32-bit tick is the low part of the 64-bit one.
    const ULONGLONG t64 = GetTickCount64();
    EXPECT_LT(GetTickCount() - static_cast<DWORD>(t64), 1000u);
}

TEST_F(TimeTest, TickStartKnobCrossesTheWrap) {
    setenv("WIN32_TICK_START", "0xFFFFFFC0", 1);  // 64 ms before the wrap
    const DWORD t1 = GetTickCount();
    EXPECT_GE(t1, 0xFFFFFFC0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    const DWORD t2 = GetTickCount();
    EXPECT_LT(t2, 0x10000u);   // wrapped around
    EXPECT_GE(t2 - t1, 110u);  // unsigned difference still measures time
    EXPECT_LT(t2 - t1, 5000u);
    EXPECT_GT(GetTickCount64(), 0xFFFFFFFFull);  // the 64-bit tick does not wrap
}

}  // namespace
