// Text conversions, formatting and the string operations shared by every writer of the
// program's text files (quoting, escaping, lists), plus the plain text writers over a
// TovFile. Thread-safe: pure functions (the writers touch only the file they are given).
//
// "ANSI" text is UTF-8 through the lossless codec of TovUtf8.h, so any byte string
// survives the round trip through wide text.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tovy/TovStream.h"
#include "tovy/TovUtf8.h"

namespace tovy {

// Wide text <-> the program's 8-bit text files. Stop at the first zero character.
std::string toAnsi(std::wstring_view text);
std::wstring fromAnsi(std::string_view bytes);

// printf-style formatting into a new string; empty when formatting fails or gives
// nothing.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::wstring format(const wchar_t* fmt, ...);
std::string vformat(const char* fmt, va_list args);
std::wstring vformat(const wchar_t* fmt, va_list args);

std::wstring int64ToText(int64_t value);

// Every occurrence of what, left to right, replaced by with; replaced text is not
// scanned again. An empty what or with leaves the text unchanged.
std::wstring replaceAll(std::wstring_view text, std::wstring_view what, std::wstring_view with);

// Unchanged when longer than one character and enclosed in double quotes; otherwise
// enclosed in double quotes (a lone double quote gives three).
std::string quote(std::string_view text);
std::wstring quote(std::wstring_view text);
// Without its enclosing double quotes when longer than one character and enclosed in
// them; otherwise unchanged.
std::wstring unquote(std::wstring_view text);

// Every c preceded by a backslash. With c a backslash, every backslash is doubled.
std::string escapeChar(std::string_view text, char c);
std::wstring escapeChar(std::wstring_view text, wchar_t c);
// Every pair of backslashes, left to right, becomes one.
std::wstring collapseBackslashes(std::wstring_view text);

// Leading and trailing U+0020 removed (tabs stay).
std::string trimSpaces(std::string_view text);
std::wstring trimSpaces(std::wstring_view text);

// A "," before every group of three characters counted from the right, for texts of
// three or more characters: 1234567 gives 1,234,567. Signs are not treated specially.
std::wstring groupDigits(std::wstring_view text);

// The texts joined with ",".
std::wstring join(const std::vector<std::wstring>& items);
// Cut at every ","; "a,,b" gives three items, "" none, and a comma at the very end adds
// no empty last item.
std::vector<std::wstring> split(std::wstring_view text);

// Writers over a file opened for writing, in the program's 8-bit encoding. Each returns
// false when the file did not take every byte.
bool writeText(TovFile& file, std::wstring_view text);
// Backslashes doubled and double quotes preceded by a backslash; no quotes added.
bool writeEscaped(TovFile& file, std::wstring_view text);
// key (which carries its own "="), the escaped value in double quotes, CR LF. A value
// holding CR or LF is refused: nothing is written and false is returned.
bool writeKeyValue(TovFile& file, std::wstring_view key, std::wstring_view value);

}  // namespace tovy
