#include "base/time_util.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>
#include <time.h>

#include <memory>
#include <string>
#include <vector>

#include "testing/scoped_env.h"

namespace {

using namespace base;

SYSTEMTIME Make(WORD y, WORD mo, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0) {
    SYSTEMTIME st = {};
    st.wYear = y, st.wMonth = mo, st.wDay = d, st.wHour = h, st.wMinute = mi, st.wSecond = s;
    return st;
}

std::string Text(const SYSTEMTIME& st) {
    char buf[64];
    snprintf(buf, sizeof(buf), "%04u-%02u-%02u %02u:%02u:%02u.%03u dow%u", st.wYear, st.wMonth,
             st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, st.wDayOfWeek);
    return buf;
}

// The rule the program was first written with, for a machine on UTC+8: the wall
// clock read as UTC, cut to 32-bit seconds, moved by the days less eight hours,
// then shown in the machine's zone.
SYSTEMTIME EightHourRule(uint32_t days) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME ft;
    SystemTimeToFileTime(&now, &ft);
    const int64_t ticks =
        static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
    int32_t seconds = static_cast<int32_t>((ticks - 0x19DB1DED53E8000LL) / 10000000);
    seconds = static_cast<int32_t>(seconds + days * 86400 - 28800);
    const int64_t utc = (static_cast<int64_t>(seconds) + 0x2B6109100LL) * 10000000;
    FILETIME u = {static_cast<DWORD>(utc), static_cast<DWORD>(static_cast<uint64_t>(utc) >> 32)};
    FILETIME local;
    FileTimeToLocalFileTime(&u, &local);
    SYSTEMTIME out;
    FileTimeToSystemTime(&local, &out);
    return out;
}

// Every variable a test sets is put back afterwards, the latest first.
class TimeUtilTest : public ::testing::Test {
protected:
    ~TimeUtilTest() override {
        while (!env_.empty()) env_.pop_back();
        tzset();
    }
    void Zone(const char* tz) {
        env_.push_back(std::make_unique<testing_support::ScopedEnv>("TZ", tz));
        tzset();
    }
    void Clock(const char* local) {
        env_.push_back(std::make_unique<testing_support::ScopedEnv>("WIN32_FIXED_TIME", local));
    }

    std::vector<std::unique_ptr<testing_support::ScopedEnv>> env_;
};

TEST_F(TimeUtilTest, UnixTimesGoPast2038AndShowInTheMachineZone) {
    EXPECT_EQ(GetUnixTime(Make(1970, 1, 1)), 0);
    EXPECT_EQ(GetUnixTime(Make(2026, 1, 5, 10, 20, 30)), 1767608430);
    EXPECT_EQ(GetUnixTime(Make(2038, 1, 19, 3, 14, 8)), 2147483648LL);
    EXPECT_EQ(GetUnixTime(Make(1969, 12, 31, 23, 59, 59)), -1);
    EXPECT_EQ(GetUnixTime(Make(2026, 13, 1)), -1);
    Zone("CST-8");
    SYSTEMTIME st;
    EXPECT_EQ(UnixTimeToLocalTime(0, &st), &st);
    EXPECT_EQ(Text(st), "1970-01-01 08:00:00.000 dow4");
    Zone("UTC0");
    UnixTimeToLocalTime(2147483648LL, &st);
    EXPECT_EQ(Text(st), "2038-01-19 03:14:08.000 dow2");
    UnixTimeToLocalTime(INT64_MAX, &st);
    EXPECT_EQ(st.wYear, 0);
}

TEST_F(TimeUtilTest, DateAfterDaysOnUtcPlus8MatchesTheEightHourRule) {
    Zone("CST-8");
    for (const char* now :
         {"2026-01-05T10:20:30.250", "2024-02-28T23:59:59", "2026-12-31T00:00:00"}) {
        Clock(now);
        for (uint32_t days : {0u, 1u, 3u, 365u}) {
            SYSTEMTIME expected = EightHourRule(days);
            EXPECT_EQ(Text(GetDateAfterDays(static_cast<int32_t>(days))), Text(expected))
                << now << " + " << days;
        }
    }
    Clock("2026-01-05T10:20:30");
    EXPECT_EQ(Text(GetDateAfterDays(3)), "2026-01-08 10:20:30.000 dow4");
    EXPECT_EQ(Text(GetDateAfterDays(0)), "2026-01-05 10:20:30.000 dow1");
}

TEST_F(TimeUtilTest, DateAfterDaysKeepsTheWallClockHourGoingEitherWay) {
    // Across the spring change: still noon, three days later.
    Zone("EST5EDT,M3.2.0,M11.1.0");
    Clock("2026-03-07T12:00:00");
    EXPECT_EQ(Text(GetDateAfterDays(3)), "2026-03-10 12:00:00.000 dow2");
    Zone("UTC0");
    Clock("2026-01-05T01:00:00");
    EXPECT_EQ(Text(GetDateAfterDays(0)), "2026-01-05 01:00:00.000 dow1");
    Zone("CST-8");
    Clock("2026-03-02T08:00:00");
    EXPECT_EQ(Text(GetDateAfterDays(-2)), "2026-02-28 08:00:00.000 dow6");
    Clock("2038-01-19T03:14:07");
    EXPECT_EQ(Text(GetDateAfterDays(1)), "2038-01-20 03:14:07.000 dow3");
    Clock("2037-12-30T12:00:00");
    EXPECT_EQ(Text(GetDateAfterDays(36525)), "2137-12-31 12:00:00.000 dow2");
    // Far outside the calendar's range: a zeroed record instead of a wrapped date.
    EXPECT_EQ(GetDateAfterDays(INT_MIN).wYear, 0);
    EXPECT_EQ(GetDateAfterDays(INT_MAX).wYear, 0);
}

}  // namespace
