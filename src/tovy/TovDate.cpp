#include "tovy/TovDate.h"

#include <initializer_list>

#include "platform/Times.h"

namespace tovy {
namespace {

int digit(wchar_t c) {
    return int(c) - 48;
}

int number(std::wstring_view text, size_t pos, size_t count) {
    int value = 0;
    for (size_t i = 0; i < count; ++i) value = value * 10 + digit(text[pos + i]);
    return value;
}

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// Digits everywhere in the first `length` characters except at the separator positions.
bool digitsExcept(std::wstring_view text, size_t length, std::initializer_list<size_t> seps) {
    for (size_t i = 0; i < length; ++i) {
        bool sep = false;
        for (size_t s : seps) sep = sep || s == i;
        if (!sep && !isDigit(text[i])) return false;
    }
    return true;
}

bool daysFit(int year, int month, int day) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int days = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= days;
}

bool toFileTime(int year, int month, int day, int hour, int minute, int second,
                platform::FILETIME& out) {
    if (year < 1601 || year > 30827 || !daysFit(year, month, day)) return false;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    platform::SYSTEMTIME st;
    st.wYear = uint16_t(year);
    st.wMonth = uint16_t(month);
    st.wDay = uint16_t(day);
    st.wHour = uint16_t(hour);
    st.wMinute = uint16_t(minute);
    st.wSecond = uint16_t(second);
    platform::FILETIME ft;
    if (!platform::localSystemTimeToFileTime(st, ft)) return false;
    out = ft;
    return true;
}

}  // namespace

bool parseSlashDate(std::wstring_view text, platform::FILETIME& out) {
    if (text.size() < 10 || text[4] != L'/' || text[7] != L'/') return false;
    int year = number(text, 0, 4);
    int month = number(text, 5, 2);
    int day = number(text, 8, 2);
    int hour = 0, minute = 0, second = 0;
    if (text.size() > 10 && text[10] == L' ') {
        if (text.size() > 12) hour = number(text, 11, 2);
        if (text.size() > 15) minute = number(text, 14, 2);
        if (text.size() > 18) second = number(text, 17, 2);
    }
    return toFileTime(year, month, day, hour, minute, second, out);
}

bool parseExifDate(std::wstring_view text, platform::FILETIME& out) {
    if (text.size() < 19 || text[4] != L':' || text[7] != L':' || text[10] != L' ' ||
        text[13] != L':' || text[16] != L':' || !digitsExcept(text, 19, {4, 7, 10, 13, 16}))
        return false;
    return toFileTime(number(text, 0, 4), number(text, 5, 2), number(text, 8, 2),
                      number(text, 11, 2), number(text, 14, 2), number(text, 17, 2), out);
}

bool parseIsoDate(std::wstring_view text, platform::FILETIME& out) {
    if (text.size() < 19 || text[4] != L'-' || text[7] != L'-' || text[10] != L'T' ||
        text[13] != L':' || text[16] != L':' || !digitsExcept(text, 19, {4, 7, 10, 13, 16}))
        return false;
    return toFileTime(number(text, 0, 4), number(text, 5, 2), number(text, 8, 2),
                      number(text, 11, 2), number(text, 14, 2), number(text, 17, 2), out);
}

bool parseRfcDate(std::wstring_view text, platform::FILETIME& out) {
    if (text.size() < 25 || text[3] != L',' || text[4] != L' ' || text[7] != L' ' ||
        text[11] != L' ' || text[16] != L' ' || text[19] != L':' || text[22] != L':')
        return false;
    static const wchar_t* const kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                             L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    std::wstring_view name = text.substr(8, 3);
    int month = 0;
    for (int i = 0; i < 12; ++i)
        if (name == kMonths[i]) month = i + 1;
    if (month == 0) return false;
    return toFileTime(number(text, 12, 4), month, number(text, 5, 2), number(text, 17, 2),
                      number(text, 20, 2), number(text, 23, 2), out);
}

platform::FILETIME truncateToMinute(platform::FILETIME time) {
    platform::SYSTEMTIME local;
    if (!platform::fileTimeToLocalSystemTime(time, local)) return time;
    local.wSecond = 0;
    local.wMilliseconds = 0;
    platform::FILETIME out;
    if (!platform::localSystemTimeToFileTime(local, out)) return time;
    return out;
}

}  // namespace tovy
