#include "platform/Times.h"

#include <time.h>

#include <climits>

namespace platform {

namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kTicksPerDay = 86400 * kTicksPerSecond;
constexpr int64_t kDaysFrom1601To1970 = 134774;
// FileTimeToSystemTime accepts tick counts below 2^63.
constexpr uint64_t kMaxTicks = 0x7FFFFFFFFFFFFFFFULL;
constexpr int kMinYear = 1601;
constexpr int kMaxYear = 30827;

// Days since 1970-01-01 of a proleptic Gregorian date, and back (exact for any year).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = int64_t(yoe) + era * 400 + (m <= 2);
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned daysInMonth(int y, unsigned m) {
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// The checks SystemTimeToFileTime makes; the day of the week is ignored.
bool validSystemTime(const SYSTEMTIME& st) {
    return st.wYear >= kMinYear && st.wYear <= kMaxYear && st.wMonth >= 1 && st.wMonth <= 12 &&
           st.wDay >= 1 && st.wDay <= daysInMonth(st.wYear, st.wMonth) && st.wHour < 24 &&
           st.wMinute < 60 && st.wSecond < 60 && st.wMilliseconds < 1000;
}

// Floor division, so times before 1970 fall into the right second.
int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

FILETIME fileTimeFromUnixNs(int64_t ns) {
    int64_t ticks = floorDiv(ns, 100) + int64_t(kUnixEpochTicks);
    return fileTimeFromTicks(ticks < 0 ? 0 : uint64_t(ticks));
}

int64_t unixNsFromFileTime(FILETIME ft) {
    __int128 ns = (__int128(fileTimeTicks(ft)) - __int128(kUnixEpochTicks)) * 100;
    if (ns > INT64_MAX) return INT64_MAX;
    if (ns < INT64_MIN) return INT64_MIN;
    return int64_t(ns);
}

bool fileTimeToSystemTime(FILETIME ft, SYSTEMTIME& out) {
    uint64_t ticks = fileTimeTicks(ft);
    if (ticks > kMaxTicks) return false;
    int64_t days = int64_t(ticks / kTicksPerDay);
    int64_t rest = int64_t(ticks % kTicksPerDay);
    int64_t year;
    unsigned month, day;
    civilFromDays(days - kDaysFrom1601To1970, year, month, day);
    SYSTEMTIME st;
    st.wYear = uint16_t(year);
    st.wMonth = uint16_t(month);
    st.wDay = uint16_t(day);
    st.wDayOfWeek = uint16_t((days + 1) % 7);  // 1601-01-01 was a Monday
    st.wHour = uint16_t(rest / (3600 * kTicksPerSecond));
    st.wMinute = uint16_t(rest / (60 * kTicksPerSecond) % 60);
    st.wSecond = uint16_t(rest / kTicksPerSecond % 60);
    st.wMilliseconds = uint16_t(rest / 10000 % 1000);
    out = st;
    return true;
}

bool systemTimeToFileTime(const SYSTEMTIME& st, FILETIME& out) {
    if (!validSystemTime(st)) return false;
    int64_t days = daysFromCivil(st.wYear, st.wMonth, st.wDay) + kDaysFrom1601To1970;
    int64_t seconds = days * 86400 + st.wHour * 3600 + st.wMinute * 60 + st.wSecond;
    out = fileTimeFromTicks(uint64_t(seconds * kTicksPerSecond + st.wMilliseconds * 10000));
    return true;
}

bool fileTimeToLocalSystemTime(FILETIME ft, SYSTEMTIME& out) {
    uint64_t ticks = fileTimeTicks(ft);
    if (ticks > kMaxTicks) return false;
    int64_t sinceEpoch = int64_t(ticks) - int64_t(kUnixEpochTicks);
    time_t seconds = time_t(floorDiv(sinceEpoch, kTicksPerSecond));
    int64_t subSecond = sinceEpoch - int64_t(seconds) * kTicksPerSecond;
    struct tm tm;
    if (!localtime_r(&seconds, &tm)) return false;
    int year = tm.tm_year + 1900;
    if (year < kMinYear || year > kMaxYear) return false;
    SYSTEMTIME st;
    st.wYear = uint16_t(year);
    st.wMonth = uint16_t(tm.tm_mon + 1);
    st.wDay = uint16_t(tm.tm_mday);
    st.wDayOfWeek = uint16_t(tm.tm_wday);
    st.wHour = uint16_t(tm.tm_hour);
    st.wMinute = uint16_t(tm.tm_min);
    // A leap second from the zone database (tm_sec 60) shows as the last normal second.
    st.wSecond = uint16_t(tm.tm_sec > 59 ? 59 : tm.tm_sec);
    st.wMilliseconds = uint16_t(subSecond / 10000);
    out = st;
    return true;
}

bool localSystemTimeToFileTime(const SYSTEMTIME& local, FILETIME& out) {
    if (!validSystemTime(local)) return false;
    struct tm tm = {};
    tm.tm_year = local.wYear - 1900;
    tm.tm_mon = local.wMonth - 1;
    tm.tm_mday = local.wDay;
    tm.tm_hour = local.wHour;
    tm.tm_min = local.wMinute;
    tm.tm_sec = local.wSecond;
    tm.tm_isdst = -1;  // let the zone rules of that date decide
    tm.tm_wday = -1;   // stays -1 only when mktime fails (-1 is also a valid result)
    time_t seconds = mktime(&tm);
    if (seconds == time_t(-1) && tm.tm_wday == -1) return false;
    int64_t ticks =
        int64_t(seconds) * kTicksPerSecond + local.wMilliseconds * 10000 + int64_t(kUnixEpochTicks);
    if (ticks < 0) return false;
    out = fileTimeFromTicks(uint64_t(ticks));
    return true;
}

FILETIME currentFileTime() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return fileTimeFromUnixNs(int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec);
}

SYSTEMTIME currentLocalTime() {
    SYSTEMTIME st;
    fileTimeToLocalSystemTime(currentFileTime(), st);
    return st;
}

}  // namespace platform
