// The input checks of the rule edit dialogs, without a window.
#include "rule/QXRuleChecks.h"

#include <gtest/gtest.h>

#include "platform/Times.h"
#include "rule/QXRuleRegistry.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

TEST(RuleChecks, FilenameInputTable) {
    struct {
        int32_t typeId;
        const wchar_t* pattern;
        const wchar_t* first;   // the "INFORMATION" check
        const wchar_t* second;  // the expression check
    } cases[] = {
        {ruletype::kFilename, L"", L"ファイル名を入力してください", L""},
        {ruletype::kFilenameWildcard, L"", L"ファイル名を入力してください", L""},
        {ruletype::kFilename, L"a\"b", L"「\"」は使用できません。", L""},
        {ruletype::kFilenameRegexp, L"\"", L"「\"」は使用できません。", L""},
        {ruletype::kFilename, L"a\nb", L"「改行」は使用できません。", L""},
        {ruletype::kFilename, L"a\rb", L"「改行」は使用できません。", L""},
        {ruletype::kFilename, L"a(b", L"", L""},
        {ruletype::kFilenameWildcard, L"a(b", L"", L"不正なワイルドカードです"},
        {ruletype::kFilenameWildcard, L"a+b", L"", L""},
        {ruletype::kFilenameWildcard, L"C:\\dir\\", L"", L""},  // "\d" then "\$"
        {ruletype::kFilenameRegexp, L"a(b", L"", L"不正な正規表現です"},
        {ruletype::kFilenameRegexp, L"x\\", L"", L"不正な正規表現です"},
        {ruletype::kFilenameRegexp, L"^写真\\d+$", L"", L""},
        {ruletype::kFileExt, L"a(b", L"", L""},  // not a file-name kind
    };
    for (const auto& c : cases) {
        EXPECT_EQ(checkFilenameInput(c.pattern), c.first) << tovy::toUtf8(c.pattern);
        EXPECT_EQ(checkFilenameExpression(c.typeId, c.pattern), c.second)
            << c.typeId << " " << tovy::toUtf8(c.pattern);
    }
}

TEST(RuleChecks, FileExtInputTable) {
    struct {
        const wchar_t* list;
        const wchar_t* message;
    } cases[] = {
        {L"", L"拡張子を入力してください"},
        {L"jpg,\"png\"", L"「\"」は使用できません。"},
        {L"jpg\r\npng", L"「改行」は使用できません。"},
        {L"jpg, png", L""},
        {L",", L""},
        {L"a\\b", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(checkFileExtInput(c.list), c.message) << tovy::toUtf8(c.list);
    }
}

TEST(RuleChecks, FileSizeInputTable) {
    const wchar_t* kTooLarge =
        L"ファイルサイズが大きすぎます。18446744073709551615 以下の数を入力してください";
    const wchar_t* kNotDigits = L"ファイルサイズは数字で入力してください";
    struct {
        const wchar_t* text;
        const wchar_t* message;
        uint64_t size;
    } cases[] = {
        {L"", L"ファイルサイズを入力してください", 0},
        {L"0", L"", 0},
        {L"5000000000", L"", 5000000000ULL},  // beyond 32 bits, read whole
        {L"4294967296", L"", 4294967296ULL},
        {L"18446744073709551615", L"", 18446744073709551615ULL},
        {L"000000000000000000000042", L"", 42},
        {L"18446744073709551616", kTooLarge, 0},
        {L"99999999999999999999999", kTooLarge, 0},
        {L"12a", kNotDigits, 0},
        {L" 12", kNotDigits, 0},
        {L"-1", kNotDigits, 0},
        {L"１２", kNotDigits, 0},  // full-width digits
    };
    for (const auto& c : cases) {
        uint64_t size = 12345;
        EXPECT_EQ(checkFileSizeInput(c.text, &size), c.message) << tovy::toUtf8(c.text);
        EXPECT_EQ(size, *c.message ? 12345 : c.size) << tovy::toUtf8(c.text);
    }
    EXPECT_EQ(formatFileSizeInput(5000000000ULL), L"5000000000");
    EXPECT_EQ(formatFileSizeInput(18446744073709551615ULL), L"18446744073709551615");
    uint64_t back = 0;
    EXPECT_EQ(checkFileSizeInput(formatFileSizeInput(5000000000ULL), &back), L"");
    EXPECT_EQ(back, 5000000000ULL);
}

TEST(RuleChecks, FileTimeInputTable) {
    struct {
        const char* name;
        bool stored;
        QXTimeFieldTexts texts;
        const wchar_t* message;
    } cases[] = {
        {"valid", true, {L"2024", L"3", L"5", L"10", L"20"}, L""},
        {"all empty",
         true,
         {L"", L"", L"", L"", L""},
         L"年を入力してください\n月を入力してください\n日を入力してください\n"
         L"時を入力してください\n分を入力してください\n"},
        {"empty day and minute",
         true,
         {L"2024", L"3", L"", L"10", L""},
         L"日を入力してください\n分を入力してください\n"},
        {"empty edits count with the current time too",
         false,
         {L"2024", L"", L"5", L"1", L"2"},
         L"月を入力してください\n"},
        {"month 13 and minute 75",
         true,
         {L"2024", L"13", L"5", L"10", L"75"},
         L"月の値が不正です\n分の値が不正です\n"},
        {"all out of range",
         true,
         {L"70000", L"0", L"32", L"24", L"60"},
         L"年の値が不正です\n月の値が不正です\n日の値が不正です\n時の値が不正です\n"
         L"分の値が不正です\n"},
        {"day 31 in any month", true, {L"2024", L"2", L"31", L"0", L"0"}, L""},
        {"the year is not tested against the calendar",
         true,
         {L"1500", L"1", L"1", L"0", L"0"},
         L""},
        {"the largest values", true, {L"65535", L"12", L"31", L"23", L"59"}, L""},
        {"not numbers read as 0", true, {L"x", L"1", L"1", L"x", L"x"}, L""},
        {"current time is not range-tested", false, {L"1", L"99", L"99", L"99", L"99"}, L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(checkFileTimeInput(c.stored, c.texts), c.message) << c.name;
    }

    platform::SYSTEMTIME reference;
    ASSERT_EQ(checkFileTimeInput(true, {L"2024", L"3", L"5", L"10", L"20"}, &reference), L"");
    EXPECT_EQ(reference.wYear, 2024);
    EXPECT_EQ(reference.wMonth, 3);
    EXPECT_EQ(reference.wDay, 5);
    EXPECT_EQ(reference.wHour, 10);
    EXPECT_EQ(reference.wMinute, 20);
    EXPECT_EQ(reference.wSecond, 0);
    EXPECT_EQ(reference.wMilliseconds, 0);
    EXPECT_EQ(reference.wDayOfWeek, 0);

    const platform::SYSTEMTIME before = platform::currentLocalTime();
    ASSERT_EQ(checkFileTimeInput(false, {L"1", L"1", L"1", L"1", L"1"}, &reference), L"");
    EXPECT_GE(reference.wYear, before.wYear);  // the current local time

    const QXTimeFieldTexts shown = formatTimeFields(reference);
    platform::SYSTEMTIME again;
    ASSERT_EQ(checkFileTimeInput(true, shown, &again), L"");
    EXPECT_EQ(again.wYear, reference.wYear);
    EXPECT_EQ(again.wMinute, reference.wMinute);
}

}  // namespace
}  // namespace quenrix
