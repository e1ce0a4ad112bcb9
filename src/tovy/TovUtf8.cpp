#include "tovy/TovUtf8.h"

#include <cstdint>
#include <cstring>

namespace tovy {

namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0 when it is not valid
// (overlong forms, surrogates and values beyond U+10FFFF are not valid).
size_t validSequence(const unsigned char* s, size_t n, size_t i, char32_t& out) {
    unsigned char b0 = s[i];
    if (b0 < 0x80) {
        out = b0;
        return 1;
    }
    size_t len;
    char32_t cp;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > n) return 0;
    for (size_t k = 1; k < len; ++k) {
        unsigned char b = s[i + k];
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    out = cp;
    return len;
}

}  // namespace

std::wstring fromUtf8(std::string_view bytes) {
    size_t zero = bytes.find('\0');
    if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    std::wstring out;
    out.reserve(n);
    size_t i = 0;
    while (i < n) {
        // Fast path for runs of ASCII.
        if (s[i] < 0x80) {
            out.push_back(static_cast<wchar_t>(s[i]));
            ++i;
            continue;
        }
        char32_t cp;
        size_t len = validSequence(s, n, i, cp);
        if (len == 0) {
            out.push_back(static_cast<wchar_t>(0xDC00 + s[i]));
            ++i;
        } else {
            out.push_back(static_cast<wchar_t>(cp));
            i += len;
        }
    }
    return out;
}

std::wstring fromUtf8(const char* bytes) {
    return bytes ? fromUtf8(std::string_view(bytes)) : std::wstring();
}

std::string toUtf8(std::wstring_view text) {
    size_t zero = text.find(L'\0');
    if (zero != std::wstring_view::npos) text = text.substr(0, zero);
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto cp = static_cast<uint32_t>(wc);
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp >= 0xDC80 && cp <= 0xDCFF) {
            out.push_back(static_cast<char>(cp - 0xDC00));
        } else {
            if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
            if (cp < 0x800) {
                out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
                out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
            } else if (cp < 0x10000) {
                out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
                out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
            } else {
                out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
                out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
                out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
            }
        }
    }
    return out;
}

std::string toUtf8(const wchar_t* text) {
    return text ? toUtf8(std::wstring_view(text)) : std::string();
}

}  // namespace tovy
