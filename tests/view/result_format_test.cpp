// The cell texts of the result list and the default tick of a match.
#include "view/QXResultFormat.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/Times.h"

namespace quenrix {
namespace {

TEST(ResultFormatTest, ThousandsSeparators) {
    static const struct {
        uint64_t value;
        const wchar_t* text;
    } cases[] = {
        {0, L"0"},
        {7, L"7"},
        {999, L"999"},
        {1000, L"1,000"},
        {12345, L"12,345"},
        {999999, L"999,999"},
        {1234567, L"1,234,567"},
        {18446744073709551615ULL, L"18,446,744,073,709,551,615"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatThousands(c.value), c.text) << "value " << c.value;
    }
}

TEST(ResultFormatTest, LocalTimeText) {
    static const struct {
        platform::SYSTEMTIME local;
        const wchar_t* text;
    } cases[] = {
        {{2023, 4, 0, 5, 6, 7, 8, 0}, L"2023/04/05 06:07"},
        {{1999, 12, 0, 31, 23, 59, 59, 999}, L"1999/12/31 23:59"},
        {{2024, 2, 0, 29, 0, 0, 0, 0}, L"2024/02/29 00:00"},
    };
    for (const auto& c : cases) {
        platform::FILETIME ft;
        ASSERT_TRUE(platform::localSystemTimeToFileTime(c.local, ft)) << c.text;
        EXPECT_EQ(formatLocalTime(ft), c.text);
    }
}

TEST(ResultFormatTest, ImageSizeOnlyWhenMarked) {
    QXFileInfo file;
    file.imageWidth = 640;
    file.imageHeight = 480;
    EXPECT_EQ(formatImageSize(file), L"");
    file.addFlags(QXFileInfo::kImageSize);
    EXPECT_EQ(formatImageSize(file), L"640x480");
}

TEST(ResultFormatTest, EscapedBytesShowAsReplacement) {
    EXPECT_EQ(displayText(L"a\xDC82"
                          L"b\xDCFF"),
              L"a\xFFFD"
              L"b\xFFFD");
    EXPECT_EQ(displayText(L"/tmp/写真"), L"/tmp/写真");
}

TEST(ResultFormatTest, Summary) {
    EXPECT_EQ(formatResultSummary(3, 2, 1), L"総数: 3  一致: 2  選択: 1");
}

TEST(ResultFormatTest, DefaultTick) {
    const uint32_t g = QXFileInfo::kInGroup, n = QXFileInfo::kNewestInGroup;
    static const struct {
        uint32_t flags;
        int32_t group;
        bool ticked;
    } cases[] = {
        {0, 0, true}, {n, 0, true}, {0, -1, true},     {0, 1, true},      {n, 1, false},
        {g, 0, true}, {g, 3, true}, {g | n, 0, false}, {g | n, 3, false},
    };
    for (const auto& c : cases) {
        QXFileInfo file;
        file.setFlags(c.flags);
        file.groupNumber = c.group;
        EXPECT_EQ(tickedByDefault(file), c.ticked) << "flags " << c.flags << " group " << c.group;
    }
}

}  // namespace
}  // namespace quenrix
