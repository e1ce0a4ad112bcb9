// Lossless conversion between native bytes (file names, file contents of our text
// formats) and wide text.
//
// Valid UTF-8 decodes normally. Every byte that is not part of a valid UTF-8 sequence
// becomes the code unit U+DC80 + byte, and encoding turns such a unit back into that
// byte, so any byte string survives the round trip bytes -> wide -> bytes exactly.
// A Shift_JIS file name is therefore found, shown (with a replacement glyph) and
// reached again by its own bytes.
//
// Thread-safe: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace tovy {

// Decodes bytes. Conversion stops at the first zero byte.
std::wstring fromUtf8(std::string_view bytes);
std::wstring fromUtf8(const char* bytes);

// Encodes wide text. Conversion stops at the first zero character. Units U+DC80 to
// U+DCFF become the single byte they stand for; other lone surrogates and values
// beyond U+10FFFF are written as U+FFFD.
std::string toUtf8(std::wstring_view text);
std::string toUtf8(const wchar_t* text);

// True when the unit stands for an undecodable byte.
inline bool isEscapedByte(wchar_t c) {
    return c >= 0xDC80 && c <= 0xDCFF;
}

}  // namespace tovy
