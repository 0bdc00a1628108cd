// System and local times, and conversions between SYSTEMTIME, FILETIME and DOS
// date-times. Calendar arithmetic is done here rather than with time_t, so the
// whole FILETIME range (years 1601 to 30827) converts.
#include <w32/clock.h>
#include <w32/error.h>
#include <w32/filetime.h>

namespace {

constexpr int64_t kTicksPerMs = 10000;
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kMsPerDay = 86400000;
constexpr int64_t kDaysFrom1601To1970 = 134774;
constexpr uint64_t kMaxFileTime = 0x7FFFFFFFFFFFFFFFull;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civil_from_days(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

bool is_leap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned days_in_month(unsigned y, unsigned m) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && is_leap(y) ? 29 : kDays[m - 1];
}

bool valid_fields(unsigned y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s,
                  unsigned ms) {
    return y >= 1601 && y <= 30827 && mo >= 1 && mo <= 12 && d >= 1 && d <= days_in_month(y, mo) &&
           h < 24 && mi < 60 && s < 60 && ms < 1000;
}

uint64_t fields_to_filetime(unsigned y, unsigned mo, unsigned d, unsigned h, unsigned mi,
                            unsigned s, unsigned ms) {
    const int64_t days = days_from_civil(y, mo, d) + kDaysFrom1601To1970;
    const int64_t msec = days * kMsPerDay + ((h * 60 + mi) * 60 + s) * 1000LL + ms;
    return static_cast<uint64_t>(msec * kTicksPerMs);
}

void filetime_to_fields(uint64_t v, SYSTEMTIME* st) {
    const auto msec = static_cast<int64_t>(v) / kTicksPerMs;
    const int64_t days = msec / kMsPerDay;
    int64_t rest = msec % kMsPerDay;
    int64_t y;
    unsigned m, d;
    civil_from_days(days - kDaysFrom1601To1970, &y, &m, &d);
    st->wYear = static_cast<WORD>(y);
    st->wMonth = static_cast<WORD>(m);
    st->wDay = static_cast<WORD>(d);
    st->wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
    st->wMilliseconds = static_cast<WORD>(rest % 1000);
    rest /= 1000;
    st->wSecond = static_cast<WORD>(rest % 60);
    rest /= 60;
    st->wMinute = static_cast<WORD>(rest % 60);
    st->wHour = static_cast<WORD>(rest / 60);
}

// v shifted by the current local offset (sign +1: UTC to local, -1: back).
BOOL shift_by_local_offset(const FILETIME* in, LPFILETIME out, int sign) {
    if (!in || !out) return w32::fail(ERROR_INVALID_PARAMETER);
    const int64_t shift =
        sign * static_cast<int64_t>(w32::current_local_offset_seconds()) * kTicksPerSecond;
    const auto v = static_cast<int64_t>(w32::filetime_value(*in));
    if ((shift < 0 && v < -shift) ||
        (shift > 0 && v > static_cast<int64_t>(kMaxFileTime) - shift)) {
        return w32::fail(ERROR_INVALID_PARAMETER);
    }
    *out = w32::make_filetime(static_cast<uint64_t>(v + shift));
    return TRUE;
}

}  // namespace

void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
    if (lpSystemTimeAsFileTime) *lpSystemTimeAsFileTime = w32::make_filetime(w32::now_filetime());
}

void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    if (lpSystemTime) filetime_to_fields(w32::now_filetime(), lpSystemTime);
}

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    if (!lpSystemTime) return;
    const uint64_t now = w32::now_filetime();
    const int64_t unix_seconds =
        (static_cast<int64_t>(now) - w32::kUnixEpochInFileTime) / kTicksPerSecond;
    const int64_t offset = w32::local_offset_seconds(unix_seconds) * kTicksPerSecond;
    filetime_to_fields(static_cast<uint64_t>(static_cast<int64_t>(now) + offset), lpSystemTime);
}

BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
    if (!lpSystemTime || !lpFileTime) return w32::fail(ERROR_INVALID_PARAMETER);
    const SYSTEMTIME& st = *lpSystemTime;
    if (!valid_fields(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond,
                      st.wMilliseconds)) {
        return w32::fail(ERROR_INVALID_PARAMETER);
    }
    *lpFileTime = w32::make_filetime(fields_to_filetime(st.wYear, st.wMonth, st.wDay, st.wHour,
                                                        st.wMinute, st.wSecond, st.wMilliseconds));
    return TRUE;
}

BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
    if (!lpFileTime || !lpSystemTime) return w32::fail(ERROR_INVALID_PARAMETER);
    const uint64_t v = w32::filetime_value(*lpFileTime);
    if (v > kMaxFileTime) return w32::fail(ERROR_INVALID_PARAMETER);
    filetime_to_fields(v, lpSystemTime);
    return TRUE;
}

BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
    return shift_by_local_offset(lpFileTime, lpLocalFileTime, +1);
}

BOOL WINAPI LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime) {
    return shift_by_local_offset(lpLocalFileTime, lpFileTime, -1);
}

// DOS date: day in bits 0-4, month 5-8, years since 1980 9-15. DOS time: seconds
// / 2 in bits 0-4, minutes 5-10, hours 11-15. The result is a local file time.
BOOL WINAPI DosDateTimeToFileTime(WORD wFatDate, WORD wFatTime, LPFILETIME lpFileTime) {
    if (!lpFileTime) return w32::fail(ERROR_INVALID_PARAMETER);
    const unsigned y = 1980 + (wFatDate >> 9);
    const unsigned mo = (wFatDate >> 5) & 0x0F;
    const unsigned d = wFatDate & 0x1F;
    const unsigned h = wFatTime >> 11;
    const unsigned mi = (wFatTime >> 5) & 0x3F;
    const unsigned s = (wFatTime & 0x1F) * 2;
    if (!valid_fields(y, mo, d, h, mi, s, 0)) return w32::fail(ERROR_INVALID_PARAMETER);
    *lpFileTime = w32::make_filetime(fields_to_filetime(y, mo, d, h, mi, s, 0));
    return TRUE;
}

BOOL WINAPI FileTimeToDosDateTime(const FILETIME* lpFileTime, LPWORD lpFatDate, LPWORD lpFatTime) {
    if (!lpFileTime || !lpFatDate || !lpFatTime) return w32::fail(ERROR_INVALID_PARAMETER);
    const uint64_t v = w32::filetime_value(*lpFileTime);
    if (v > kMaxFileTime) return w32::fail(ERROR_INVALID_PARAMETER);
    SYSTEMTIME st;
    filetime_to_fields(v, &st);
    if (st.wYear < 1980 || st.wYear > 2107) return w32::fail(ERROR_INVALID_PARAMETER);
    *lpFatDate = static_cast<WORD>(((st.wYear - 1980) << 9) | (st.wMonth << 5) | st.wDay);
    *lpFatTime = static_cast<WORD>((st.wHour << 11) | (st.wMinute << 5) | (st.wSecond / 2));
    return TRUE;
}
