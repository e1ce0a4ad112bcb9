// The pieces of the two rule text encodings that every kind shares: quoting of text
// settings, escaping of the line form, and the lenient number readers. Thread-safe: pure
// functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quenrix {

// The two forms a value reaches QXRule::read in. Raw: as it stands in the file (presets,
// documents of encoding 00), still carrying the backslash escapes of the writers below.
// Unescaped: a tokenizer that understands backslash escapes (documents of encoding 03)
// has already undone them; only the enclosing quotes are left.
enum class QXTextForm { Raw, Unescaped };

// A text setting as written: every backslash doubled and every double quote preceded by
// a backslash, then always wrapped in double quotes, so that any text, one that begins
// and ends with a double quote included, reads back unchanged. Both encodings write
// text settings this way.
std::wstring quotePairText(std::wstring_view text);
std::wstring quoteLineText(std::wstring_view text);
// Line form for the type key and "yes"/"no" switches: the same escapes, no wrapping.
std::wstring escapeLineText(std::wstring_view text);

// Undoes the escapes of the writers: scanning left to right, a backslash followed by a
// backslash or a double quote stands for that second character; any other backslash is
// kept.
std::wstring unescapeText(std::wstring_view text);
// Removes one pair of enclosing double quotes (text at least two characters long that
// begins and ends with one); anything else is returned as it is.
std::wstring stripQuotes(std::wstring_view text);
// A value as a rule keeps it: Raw values are unescaped, then both forms lose one pair
// of enclosing quotes. Each stored value goes through this exactly once.
std::wstring readTextValue(std::wstring_view text, QXTextForm form);
// The Raw reading: unescapeText, then stripQuotes.
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
