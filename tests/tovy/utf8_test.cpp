#include "tovy/TovUtf8.h"

#include <gtest/gtest.h>

namespace tovy {
namespace {

TEST(Utf8Codec, RoundTripsAnyBytes) {
    std::string everyHighByte;
    for (int b = 0x80; b <= 0xFF; ++b) everyHighByte.push_back(char(b));
    struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"ascii", "readme.txt"},
        {"japanese", "\xE5\x86\x99\xE7\x9C\x9F.jpg"},  // 写真.jpg
        {"shift_jis", "\x8E\xCA\x90\x5E.jpg"},         // 写真 in Shift_JIS
        {"lone continuation",
         "a\x80"
         "b"},
        {"overlong slash", "\xC0\xAF"},
        {"surrogate encoded", "\xED\xA0\x80"},
        {"truncated sequence", "abc\xE3\x81"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80"},
        {"four-byte emoji", "\xF0\x9F\x98\x80"},
        {"every high byte", everyHighByte},
    };
    for (const auto& c : cases) {
        std::wstring wide = fromUtf8(c.bytes);
        EXPECT_EQ(toUtf8(wide), c.bytes) << c.name;
    }
}

TEST(Utf8Codec, DecodesValidTextAndEscapesInvalidBytes) {
    EXPECT_EQ(fromUtf8("\xE5\x86\x99"), L"\u5199");
    std::wstring w = fromUtf8("\x8E\xCA");
    ASSERT_EQ(w.size(), 2u);
    EXPECT_TRUE(isEscapedByte(w[0]));
    EXPECT_EQ(w[0], wchar_t(0xDC8E));
    EXPECT_EQ(w[1], wchar_t(0xDCCA));
    EXPECT_FALSE(isEscapedByte(L'a'));
}

TEST(Utf8Codec, StopsAtZeroAndReplacesUnencodableUnits) {
    EXPECT_EQ(fromUtf8(std::string("ab\0cd", 5)), L"ab");
    EXPECT_EQ(toUtf8(std::wstring(L"ab\0cd", 5)), "ab");
    EXPECT_EQ(toUtf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(toUtf8(std::wstring(1, wchar_t(0x110000))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tovy
