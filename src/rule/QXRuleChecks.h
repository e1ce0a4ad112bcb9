// The input checks of the rule edit dialogs, as plain functions: each returns the message
// the dialog shows (empty when the input is accepted), so the checks are tested without
// a window. The dialog shows a message in a box captioned kInputCheckCaption unless the
// function says otherwise, and stays open. Also the formatting of the numbers the dialogs
// show. Thread-safe: pure functions.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WinTypes.h"

namespace quenrix {

inline constexpr const wchar_t* kInputCheckCaption = L"INFORMATION";

// File-name dialog (all three kinds), the first check on OK:
//   empty pattern                 "ファイル名を入力してください"
//   a double quote in it          "「\"」は使用できません。"
//   a line break (CR or LF) in it "「改行」は使用できません。"
std::wstring checkFilenameInput(const std::wstring& pattern);
// The second check, for the wildcard and regular-expression kinds (`typeId`): the
// message when the pattern does not compile, "不正なワイルドカードです" or
// "不正な正規表現です", shown in a box without caption. Empty when it compiles and for
// any other kind.
std::wstring checkFilenameExpression(int32_t typeId, const std::wstring& pattern);

// Extension dialog, on OK:
//   empty list                 "拡張子を入力してください"
//   a double quote in it       "「\"」は使用できません。"
//   a line break (CR or LF)    "「改行」は使用できません。"
std::wstring checkFileExtInput(const std::wstring& extensions);

// Size dialog: the size as the edit shows it (every digit of the 64-bit number).
std::wstring formatFileSizeInput(uint64_t size);
// The edit's text on OK; on success *size (when given) receives the number:
//   empty                      "ファイルサイズを入力してください"
//   anything but digits 0-9    "ファイルサイズは数字で入力してください"
//   above 18446744073709551615 "ファイルサイズが大きすぎます。18446744073709551615
//   以下の数を入力してください"
std::wstring checkFileSizeInput(const std::wstring& text, uint64_t* size = nullptr);

// Time dialog: the texts of the five edits year, month, day, hour and minute.
struct QXTimeFieldTexts {
    std::wstring year;
    std::wstring month;
    std::wstring day;
    std::wstring hour;
    std::wstring minute;
};
// The five edits' texts for a date and time (stored reference or current local time).
QXTimeFieldTexts formatTimeFields(const platform::SYSTEMTIME& time);
// The checks on OK; `storedTime` is true when "時間を指定" is selected. One message of
// lines:
//   1. every empty edit adds "年を入力してください\n", "月を入力してください\n",
//      "日を入力してください\n", "時を入力してください\n", "分を入力してください\n";
//      when any was added that is the message;
//   2. otherwise, for a stored time, every value out of range adds its line:
//      year not a 16-bit value 0 to 65535 "年の値が不正です\n", month outside 1 to 12
//      "月の値が不正です\n", day outside 1 to 31 "日の値が不正です\n", hour outside 0 to 23
//      "時の値が不正です\n", minute outside 0 to 59 "分の値が不正です\n".
// The day is not tested against the month. When accepted, *reference (when given)
// receives the reference to store: the current local time when !storedTime, otherwise the
// five values with second, millisecond and day of week 0.
std::wstring checkFileTimeInput(bool storedTime, const QXTimeFieldTexts& texts,
                                platform::SYSTEMTIME* reference = nullptr);

}  // namespace quenrix
