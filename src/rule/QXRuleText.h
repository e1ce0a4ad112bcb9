// The pieces of the two rule text encodings that every kind shares: quoting of text
// settings, escaping of the line form, and the lenient number readers. Thread-safe: pure
// functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quenrix {

// Pair form: every backslash doubled, then wrapped in double quotes unless the text is
// already at least two characters long and begins and ends with one.
std::wstring quotePairText(std::wstring_view text);

// Line form: every backslash doubled and every double quote preceded by a backslash,
// then wrapped in double quotes as in the pair form.
std::wstring quoteLineText(std::wstring_view text);
// Line form for the type key and "yes"/"no" switches: the same escapes, no wrapping.
std::wstring escapeLineText(std::wstring_view text);

// Reading a text setting: every double backslash becomes one, then one pair of
// enclosing double quotes is removed when present.
std::wstring unquoteText(std::wstring_view text);

// _wtoi: leading white space and a sign accepted, reading stops at the first non-digit,
// no digits gives 0. Out-of-range values are clamped.
int32_t readInt32(std::wstring_view text);
// Unsigned 64-bit decimal read the same way (a leading "-" negates modulo 2^64, as
// _wcstoui64 does).
uint64_t readUInt64(std::wstring_view text);

// Appends "key=value\r\n".
void appendLine(std::wstring& out, std::wstring_view key, std::wstring_view value);

}  // namespace quenrix
