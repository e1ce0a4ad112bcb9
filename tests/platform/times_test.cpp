#include "platform/Times.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace platform {
namespace {

SYSTEMTIME makeTime(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
    SYSTEMTIME st;
    st.wYear = uint16_t(year);
    st.wMonth = uint16_t(month);
    st.wDay = uint16_t(day);
    st.wHour = uint16_t(hour);
    st.wMinute = uint16_t(minute);
    st.wSecond = uint16_t(second);
    st.wMilliseconds = uint16_t(ms);
    return st;
}

void expectSameTime(const SYSTEMTIME& a, const SYSTEMTIME& b, const std::string& what) {
    EXPECT_EQ(a.wYear, b.wYear) << what;
    EXPECT_EQ(a.wMonth, b.wMonth) << what;
    EXPECT_EQ(a.wDay, b.wDay) << what;
    EXPECT_EQ(a.wHour, b.wHour) << what;
    EXPECT_EQ(a.wMinute, b.wMinute) << what;
    EXPECT_EQ(a.wSecond, b.wSecond) << what;
    EXPECT_EQ(a.wMilliseconds, b.wMilliseconds) << what;
}

// Sets TZ for one test and restores the previous zone afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        const char* old = getenv("TZ");
        m_hadOld = old != nullptr;
        if (old) m_old = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (m_hadOld) {
            setenv("TZ", m_old.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool m_hadOld = false;
    std::string m_old;
};

TEST(TimesTest, KnownValues) {
    EXPECT_EQ(fileTimeTicks(fileTimeFromUnixNs(0)), 116444736000000000ULL);
    EXPECT_EQ(unixNsFromFileTime(fileTimeFromTicks(116444736000000000ULL)), 0);
    EXPECT_EQ(fileTimeTicks(fileTimeFromUnixNs(-100)), 116444736000000000ULL - 1);
    EXPECT_EQ(fileTimeTicks(fileTimeFromUnixNs(-1)), 116444736000000000ULL - 1);  // floor

    SYSTEMTIME st;
    ASSERT_TRUE(fileTimeToSystemTime(fileTimeFromUnixNs(0), st));
    expectSameTime(st, makeTime(1970, 1, 1, 0, 0, 0), "1970");
    EXPECT_EQ(st.wDayOfWeek, 4);  // Thursday

    // 2000-01-01T00:00:00Z = 946684800 s since 1970.
    FILETIME y2k = fileTimeFromUnixNs(946684800LL * 1000000000);
    ASSERT_TRUE(fileTimeToSystemTime(y2k, st));
    expectSameTime(st, makeTime(2000, 1, 1, 0, 0, 0), "2000");
    EXPECT_EQ(st.wDayOfWeek, 6);  // Saturday
    FILETIME back;
    ASSERT_TRUE(systemTimeToFileTime(makeTime(2000, 1, 1, 0, 0, 0), back));
    EXPECT_EQ(back, y2k);

    ASSERT_TRUE(fileTimeToSystemTime(fileTimeFromTicks(0), st));
    expectSameTime(st, makeTime(1601, 1, 1, 0, 0, 0), "1601");
    EXPECT_EQ(st.wDayOfWeek, 1);  // Monday
}

TEST(TimesTest, UtcRoundTripsAndRejectsInvalidFields) {
    struct {
        SYSTEMTIME st;
        uint16_t dayOfWeek;
    } cases[] = {
        {makeTime(1601, 1, 1, 0, 0, 0), 1},          {makeTime(1969, 12, 31, 23, 59, 59, 999), 3},
        {makeTime(2000, 2, 29, 12, 30, 15, 250), 2}, {makeTime(2024, 3, 31, 1, 0, 0), 0},
        {makeTime(2100, 3, 1, 0, 0, 0), 1},          {makeTime(30827, 12, 31, 23, 59, 59, 999), 5},
    };
    for (const auto& c : cases) {
        std::string what = std::to_string(c.st.wYear) + "-" + std::to_string(c.st.wMonth);
        FILETIME ft;
        ASSERT_TRUE(systemTimeToFileTime(c.st, ft)) << what;
        SYSTEMTIME back;
        ASSERT_TRUE(fileTimeToSystemTime(ft, back)) << what;
        expectSameTime(back, c.st, what);
        EXPECT_EQ(back.wDayOfWeek, c.dayOfWeek) << what;
        // Nanoseconds in 64 bits reach from 1677 to 2262.
        if (c.st.wYear > 1677 && c.st.wYear < 2262) {
            EXPECT_EQ(fileTimeFromUnixNs(unixNsFromFileTime(ft)), ft) << what;
        }
    }

    SYSTEMTIME invalid[] = {
        makeTime(1600, 12, 31, 0, 0, 0), makeTime(2001, 2, 29, 0, 0, 0),
        makeTime(2000, 13, 1, 0, 0, 0),  makeTime(2000, 1, 0, 0, 0, 0),
        makeTime(2000, 1, 1, 24, 0, 0),  makeTime(2000, 1, 1, 0, 60, 0),
        makeTime(2000, 1, 1, 0, 0, 60),  makeTime(2000, 1, 1, 0, 0, 0, 1000),
    };
    for (const auto& st : invalid) {
        FILETIME ft;
        EXPECT_FALSE(systemTimeToFileTime(st, ft))
            << st.wYear << "-" << st.wMonth << "-" << st.wDay << " " << st.wHour << ":"
            << st.wMinute << ":" << st.wSecond << "." << st.wMilliseconds;
    }
    SYSTEMTIME st;
    EXPECT_FALSE(fileTimeToSystemTime(fileTimeFromTicks(0x8000000000000000ULL), st));
}

TEST(TimesTest, LocalTimeUsesTheRulesInForceAtTheInstant) {
    ScopedTimeZone zone("Europe/Berlin");
    // Summer time began on 2024-03-31 at 01:00 UTC (02:00 CET became 03:00 CEST).
    struct {
        SYSTEMTIME utc;
        SYSTEMTIME local;
    } cases[] = {
        {makeTime(2024, 1, 15, 12, 0, 0), makeTime(2024, 1, 15, 13, 0, 0)},
        {makeTime(2024, 3, 31, 0, 59, 59, 500), makeTime(2024, 3, 31, 1, 59, 59, 500)},
        {makeTime(2024, 3, 31, 1, 0, 0), makeTime(2024, 3, 31, 3, 0, 0)},
        {makeTime(2024, 7, 1, 12, 0, 0), makeTime(2024, 7, 1, 14, 0, 0)},
        {makeTime(1969, 12, 31, 23, 0, 0, 10), makeTime(1970, 1, 1, 0, 0, 0, 10)},
    };
    for (const auto& c : cases) {
        std::string what = std::to_string(c.utc.wMonth) + "-" + std::to_string(c.utc.wDay) + " " +
                           std::to_string(c.utc.wHour) + "h";
        FILETIME ft;
        ASSERT_TRUE(systemTimeToFileTime(c.utc, ft)) << what;
        SYSTEMTIME local;
        ASSERT_TRUE(fileTimeToLocalSystemTime(ft, local)) << what;
        expectSameTime(local, c.local, what);
        FILETIME back;
        ASSERT_TRUE(localSystemTimeToFileTime(local, back)) << what;
        EXPECT_EQ(fileTimeTicks(back), fileTimeTicks(ft)) << what;
    }
}

TEST(TimesTest, CurrentTimeIsNow) {
    int64_t before = int64_t(time(nullptr));
    int64_t now = unixNsFromFileTime(currentFileTime()) / 1000000000;
    EXPECT_GE(now, before);
    EXPECT_LE(now, before + 5);
    SYSTEMTIME local = currentLocalTime();
    EXPECT_GE(local.wYear, 2024);
}

}  // namespace
}  // namespace platform
