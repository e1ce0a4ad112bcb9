#include "tovy/TovString.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace tovy {
namespace {

TEST(TovString, SplitAndJoin) {
    struct {
        const wchar_t* text;
        std::vector<std::wstring> items;
    } cases[] = {
        {L"", {}},       {L"a", {L"a"}},       {L"a,b", {L"a", L"b"}}, {L"a,,b", {L"a", L"", L"b"}},
        {L"a,", {L"a"}}, {L",a", {L"", L"a"}}, {L",", {L""}},          {L"a,,", {L"a", L""}},
    };
    for (const auto& c : cases) EXPECT_EQ(split(c.text), c.items) << toUtf8(c.text);
    EXPECT_EQ(join({L"a", L"", L"b"}), L"a,,b");
    EXPECT_EQ(join({}), L"");
}

TEST(TovString, QuotingEscapingAndTrimming) {
    struct {
        const wchar_t* text;
        const wchar_t* quoted;
        const wchar_t* unquoted;
    } cases[] = {
        {L"", L"\"\"", L""},
        {L"\"", L"\"\"\"", L"\""},
        {L"\"\"", L"\"\"", L""},
        {L"abc", L"\"abc\"", L"abc"},
        {L"\"abc\"", L"\"abc\"", L"abc"},
        {L"\"abc", L"\"\"abc\"", L"\"abc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(quote(std::wstring_view(c.text)), c.quoted) << toUtf8(c.text);
        EXPECT_EQ(quote(toUtf8(c.text)), toUtf8(c.quoted)) << toUtf8(c.text);
        EXPECT_EQ(unquote(c.text), c.unquoted) << toUtf8(c.text);
    }
    EXPECT_EQ(escapeChar(std::wstring_view(L"a\\b\\"), L'\\'), L"a\\\\b\\\\");
    EXPECT_EQ(escapeChar(std::string_view("say \"x\""), '"'), "say \\\"x\\\"");
    EXPECT_EQ(collapseBackslashes(L"\\\\\\"), L"\\\\");
    EXPECT_EQ(collapseBackslashes(L"a\\\\b\\c"), L"a\\b\\c");
    EXPECT_EQ(trimSpaces(std::wstring_view(L"  a b \t ")), L"a b \t");
    EXPECT_EQ(trimSpaces(std::string_view("\t x ")), "\t x");
    EXPECT_EQ(trimSpaces(std::string_view("   ")), "");
}

TEST(TovString, ReplaceGroupAndFormat) {
    EXPECT_EQ(replaceAll(L"aaa", L"a", L"aa"), L"aaaaaa");
    EXPECT_EQ(replaceAll(L"a.b.c", L".", L"::"), L"a::b::c");
    EXPECT_EQ(replaceAll(L"abc", L"", L"x"), L"abc");
    EXPECT_EQ(replaceAll(L"abc", L"b", L""), L"abc");

    struct {
        const wchar_t* text;
        const wchar_t* grouped;
    } groups[] = {
        {L"", L""},          {L"12", L"12"},          {L"123", L"123"},
        {L"1234", L"1,234"}, {L"123456", L"123,456"}, {L"1234567", L"1,234,567"},
        {L"-123", L"-,123"},
    };
    for (const auto& g : groups) EXPECT_EQ(groupDigits(g.text), g.grouped) << toUtf8(g.text);

    EXPECT_EQ(format("%s=%d", "n", 42), "n=42");
    EXPECT_EQ(format("%s", ""), "");
    EXPECT_EQ(format(L"%ls=%d", L"n", 42), L"n=42");
    std::wstring longText(1000, L'x');
    EXPECT_EQ(format(L"%ls", longText.c_str()), longText);
    EXPECT_EQ(int64ToText(-9223372036854775807LL - 1), L"-9223372036854775808");
}

TEST(TovString, ConversionsAreLossless) {
    std::string bytes = "\xE5\x86\x99 \x8E\xCA";
    EXPECT_EQ(toAnsi(fromAnsi(bytes)), bytes);
    EXPECT_EQ(fromAnsi(std::string("a\0b", 3)), L"a");
}

TEST(TovString, FileWritersEscapeAndRefuseLineBreaks) {
    quenrix::test::TempDir dir;
    std::string path = dir / "presets.txt";
    {
        TovFile f;
        ASSERT_TRUE(f.openWrite(path));
        EXPECT_TRUE(writeText(f, L"[Preset]\r\n"));
        EXPECT_TRUE(writeKeyValue(f, L"Path=", L"C:\\a \"b\""));
        EXPECT_TRUE(writeKeyValue(f, L"Empty=", L""));
        EXPECT_FALSE(writeKeyValue(f, L"Bad=", L"line\nbreak"));
        EXPECT_FALSE(writeKeyValue(f, L"Bad=", L"line\rbreak"));
        EXPECT_TRUE(writeEscaped(f, L"x\\\"\u5199"));
    }
    EXPECT_EQ(quenrix::test::readFile(path),
              "[Preset]\r\nPath=\"C:\\\\a \\\"b\\\"\"\r\nEmpty=\"\"\r\nx\\\\\\\"\xE5\x86\x99");
    TovFile closed;
    EXPECT_FALSE(writeText(closed, L"x"));
}

}  // namespace
}  // namespace tovy
