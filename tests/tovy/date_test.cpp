#include "tovy/TovDate.h"

#include <gtest/gtest.h>

#include "platform/Times.h"

namespace tovy {
namespace {

platform::FILETIME local(int y, int mo, int d, int h, int mi, int s) {
    platform::SYSTEMTIME st;
    st.wYear = uint16_t(y);
    st.wMonth = uint16_t(mo);
    st.wDay = uint16_t(d);
    st.wHour = uint16_t(h);
    st.wMinute = uint16_t(mi);
    st.wSecond = uint16_t(s);
    platform::FILETIME ft;
    EXPECT_TRUE(platform::localSystemTimeToFileTime(st, ft));
    return ft;
}

using Parser = bool (*)(std::wstring_view, platform::FILETIME&);

TEST(TovDate, ParsersAcceptTheirFormOnly) {
    struct {
        const char* name;
        Parser parse;
        const wchar_t* text;
        bool ok;
        int y, mo, d, h, mi, s;
    } cases[] = {
        {"slash date", parseSlashDate, L"2018/01/02", true, 2018, 1, 2, 0, 0, 0},
        {"slash hour", parseSlashDate, L"2018/01/02 03", true, 2018, 1, 2, 3, 0, 0},
        {"slash minute", parseSlashDate, L"2018/01/02 03:04", true, 2018, 1, 2, 3, 4, 0},
        {"slash second", parseSlashDate, L"2018/01/02 03:04:05", true, 2018, 1, 2, 3, 4, 5},
        {"slash too short", parseSlashDate, L"2018/01/2", false},
        {"slash wrong separator", parseSlashDate, L"2018-01-02", false},
        {"slash month 13", parseSlashDate, L"2018/13/02", false},
        // Digits are not checked one by one; a letter gives a number out of range.
        {"slash letter in month", parseSlashDate, L"2018/1a/02", false},
        {"exif", parseExifDate, L"2018:01:02 03:04:05", true, 2018, 1, 2, 3, 4, 5},
        {"exif trailing text", parseExifDate, L"2018:01:02 03:04:05+09", true, 2018, 1, 2, 3, 4, 5},
        {"exif with dashes", parseExifDate, L"2018-01-02 03:04:05", false},
        {"exif letter", parseExifDate, L"2018:01:0a 03:04:05", false},
        {"exif day 0", parseExifDate, L"2018:01:00 03:04:05", false},
        {"exif feb 29 leap", parseExifDate, L"2020:02:29 00:00:00", true, 2020, 2, 29, 0, 0, 0},
        {"exif feb 29 not leap", parseExifDate, L"2019:02:29 00:00:00", false},
        {"iso", parseIsoDate, L"2018-01-02T03:04:05", true, 2018, 1, 2, 3, 4, 5},
        {"iso without T", parseIsoDate, L"2018-01-02 03:04:05", false},
        {"iso hour 24", parseIsoDate, L"2018-01-02T24:00:00", false},
        {"rfc", parseRfcDate, L"Tue, 02 Jan 2018 03:04:05 +0000", true, 2018, 1, 2, 3, 4, 5},
        {"rfc december", parseRfcDate, L"Sun, 31 Dec 2017 23:59:59 GMT", true, 2017, 12, 31, 23, 59,
         59},
        {"rfc unknown month", parseRfcDate, L"Tue, 02 Foo 2018 03:04:05 +0000", false},
        {"rfc without zone", parseRfcDate, L"Tue, 02 Jan 2018 03:04:05", true, 2018, 1, 2, 3, 4, 5},
        {"rfc too short", parseRfcDate, L"Tue, 02 Jan 2018 03:04:0", false},
        {"rfc empty", parseRfcDate, L"", false},
    };
    for (const auto& c : cases) {
        platform::FILETIME ft = platform::fileTimeFromTicks(7);
        EXPECT_EQ(c.parse(c.text, ft), c.ok) << c.name;
        if (c.ok)
            EXPECT_TRUE(ft == local(c.y, c.mo, c.d, c.h, c.mi, c.s)) << c.name;
        else
            EXPECT_EQ(platform::fileTimeTicks(ft), 7u) << c.name;
    }
}

TEST(TovDate, TruncateToMinute) {
    platform::FILETIME t = local(2018, 1, 2, 3, 4, 5);
    platform::FILETIME withFraction =
        platform::fileTimeFromTicks(platform::fileTimeTicks(t) + 1234567);
    EXPECT_TRUE(truncateToMinute(withFraction) == local(2018, 1, 2, 3, 4, 0));
    platform::FILETIME exact = local(2018, 1, 2, 3, 4, 0);
    EXPECT_TRUE(truncateToMinute(exact) == exact);
}

}  // namespace
}  // namespace tovy
