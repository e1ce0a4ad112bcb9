#include "rule/QXRuleChecks.h"

#include <limits>
#include <memory>

#include "platform/Times.h"
#include "rule/QXFilenameExpressionRule.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"

namespace quenrix {

namespace {

const wchar_t* const kQuoteRefused = L"「\"」は使用できません。";
// Line-based settings files cannot hold a line break inside a value.
const wchar_t* const kLineBreakRefused = L"「改行」は使用できません。";

bool hasLineBreak(const std::wstring& text) {
    return text.find_first_of(L"\r\n") != std::wstring::npos;
}

std::wstring checkTextSetting(const std::wstring& text, const wchar_t* emptyMessage) {
    if (text.empty()) return emptyMessage;
    if (text.find(L'"') != std::wstring::npos) return kQuoteRefused;
    if (hasLineBreak(text)) return kLineBreakRefused;
    return std::wstring();
}

}  // namespace

std::wstring checkFilenameInput(const std::wstring& pattern) {
    return checkTextSetting(pattern, L"ファイル名を入力してください");
}

std::wstring checkFilenameExpression(int32_t typeId, const std::wstring& pattern) {
    auto rule = std::dynamic_pointer_cast<QXFilenameExpressionRule>(createRule(typeId));
    if (!rule) return std::wstring();
    rule->setPattern(pattern);
    return rule->compile() ? std::wstring() : rule->invalidPatternMessage();
}

std::wstring checkFileExtInput(const std::wstring& extensions) {
    return checkTextSetting(extensions, L"拡張子を入力してください");
}

std::wstring formatFileSizeInput(uint64_t size) {
    return std::to_wstring(size);
}

std::wstring checkFileSizeInput(const std::wstring& text, uint64_t* size) {
    if (text.empty()) return L"ファイルサイズを入力してください";
    uint64_t value = 0;
    bool tooLarge = false;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return L"ファイルサイズは数字で入力してください";
        const uint64_t digit = uint64_t(c - L'0');
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) tooLarge = true;
        value = value * 10 + digit;
    }
    if (tooLarge) {
        return L"ファイルサイズが大きすぎます。" +
               std::to_wstring(std::numeric_limits<uint64_t>::max()) +
               L" 以下の数を入力してください";
    }
    if (size) *size = value;
    return std::wstring();
}

QXTimeFieldTexts formatTimeFields(const platform::SYSTEMTIME& time) {
    return {std::to_wstring(time.wYear), std::to_wstring(time.wMonth), std::to_wstring(time.wDay),
            std::to_wstring(time.wHour), std::to_wstring(time.wMinute)};
}

std::wstring checkFileTimeInput(bool storedTime, const QXTimeFieldTexts& texts,
                                platform::SYSTEMTIME* reference) {
    std::wstring message;
    if (texts.year.empty()) message += L"年を入力してください\n";
    if (texts.month.empty()) message += L"月を入力してください\n";
    if (texts.day.empty()) message += L"日を入力してください\n";
    if (texts.hour.empty()) message += L"時を入力してください\n";
    if (texts.minute.empty()) message += L"分を入力してください\n";
    if (!message.empty()) return message;

    if (!storedTime) {
        if (reference) *reference = platform::currentLocalTime();
        return std::wstring();
    }
    const int32_t year = readInt32(texts.year);
    const int32_t month = readInt32(texts.month);
    const int32_t day = readInt32(texts.day);
    const int32_t hour = readInt32(texts.hour);
    const int32_t minute = readInt32(texts.minute);
    // The year is stored in 16 bits; a larger one would silently become another year.
    if (year < 0 || year > 0xFFFF) message += L"年の値が不正です\n";
    if (month < 1 || month > 12) message += L"月の値が不正です\n";
    if (day < 1 || day > 31) message += L"日の値が不正です\n";
    if (hour < 0 || hour > 23) message += L"時の値が不正です\n";
    if (minute < 0 || minute > 59) message += L"分の値が不正です\n";
    if (!message.empty()) return message;

    if (reference) {
        platform::SYSTEMTIME t;
        t.wYear = uint16_t(year);
        t.wMonth = uint16_t(month);
        t.wDay = uint16_t(day);
        t.wHour = uint16_t(hour);
        t.wMinute = uint16_t(minute);
        *reference = t;
    }
    return std::wstring();
}

}  // namespace quenrix
