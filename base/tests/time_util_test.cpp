#include "base/time_util.h"

#include <limits.h>
#include <time.h>

#include "support/base_test.h"

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

// Every variable a test sets is put back afterwards, the latest first, then the zone read.
class TimeUtilTest : public ::testing::Test {
protected:
    void Zone(const char* tz) { env_.Set("TZ", tz), tzset(); }
    void Clock(const char* local) { env_.Set("WIN32_FIXED_TIME", local); }

    struct Reread {
        ~Reread() { tzset(); }
    } reread_;
    testing_support::ScopedEnvs env_;
};

TEST_F(TimeUtilTest, UnixTimesAndDatesAheadGoPast2038InTheMachineZone) {
    const struct {
        SYSTEMTIME time;
        int64_t unix_time;
    } cases[] = {{Make(1970, 1, 1), 0},
                 {Make(2026, 1, 5, 10, 20, 30), 1767608430},
                 {Make(2038, 1, 19, 3, 14, 8), 2147483648LL},
                 {Make(1969, 12, 31, 23, 59, 59), -1},
                 {Make(2026, 13, 1), -1}};
    for (auto& c : cases) EXPECT_EQ(GetUnixTime(c.time), c.unix_time) << Text(c.time);
    Zone("CST-8");
    SYSTEMTIME st;
    EXPECT_EQ(UnixTimeToLocalTime(0, &st), &st);
    EXPECT_EQ(Text(st), "1970-01-01 08:00:00.000 dow4");
    Zone("UTC0");
    UnixTimeToLocalTime(2147483648LL, &st);
    EXPECT_EQ(Text(st), "2038-01-19 03:14:08.000 dow2");
    EXPECT_EQ(UnixTimeToLocalTime(INT64_MAX, &st)->wYear, 0);

    // A date some days ahead keeps the wall-clock hour, across a daylight-saving change
    // and 2038 too; far outside the calendar's range a zeroed record comes instead of a
    // wrapped date.
    const struct {
        const char *zone, *now;
        int days;
        const char* date;
    } days[] = {
        {"CST-8", "2026-01-05T10:20:30.250", 3, "2026-01-08 10:20:30.000 dow4"},
        {"CST-8", "2024-02-28T23:59:59", 365, "2025-02-27 23:59:59.000 dow4"},
        {"CST-8", "2026-01-05T10:20:30", 0, "2026-01-05 10:20:30.000 dow1"},
        {"EST5EDT,M3.2.0,M11.1.0", "2026-03-07T12:00:00", 3, "2026-03-10 12:00:00.000 dow2"},
        {"UTC0", "2026-01-05T01:00:00", 0, "2026-01-05 01:00:00.000 dow1"},
        {"CST-8", "2026-03-02T08:00:00", -2, "2026-02-28 08:00:00.000 dow6"},
        {"CST-8", "2038-01-19T03:14:07", 1, "2038-01-20 03:14:07.000 dow3"},
        {"CST-8", "2037-12-30T12:00:00", 36525, "2137-12-31 12:00:00.000 dow2"},
        {"CST-8", "2037-12-30T12:00:00", INT_MIN, "0000-00-00 00:00:00.000 dow0"},
        {"CST-8", "2037-12-30T12:00:00", INT_MAX, "0000-00-00 00:00:00.000 dow0"}};
    for (auto& c : days) {
        Zone(c.zone), Clock(c.now);
        EXPECT_EQ(Text(GetDateAfterDays(c.days)), c.date)
            << c.zone << " " << c.now << " " << c.days;
    }
}

}  // namespace
