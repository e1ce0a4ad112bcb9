#include "rule/QXRuleText.h"

#include <cwctype>
#include <limits>

namespace quenrix {

namespace {

bool isQuoted(std::wstring_view text) {
    return text.size() >= 2 && text.front() == L'"' && text.back() == L'"';
}

std::wstring escape(std::wstring_view text, bool quotes) {
    std::wstring out;
    out.reserve(text.size() + 2);
    for (wchar_t c : text) {
        if (c == L'\\') {
            out += L"\\\\";
        } else if (quotes && c == L'"') {
            out += L"\\\"";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

size_t skipSpaceAndSign(std::wstring_view text, bool& negative) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
    negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    return i;
}

}  // namespace

std::wstring quotePairText(std::wstring_view text) {
    return L"\"" + escape(text, true) + L"\"";
}

std::wstring quoteLineText(std::wstring_view text) {
    return quotePairText(text);
}

std::wstring escapeLineText(std::wstring_view text) {
    return escape(text, true);
}

std::wstring unescapeText(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && i + 1 < text.size() &&
            (text[i + 1] == L'\\' || text[i + 1] == L'"')) {
            ++i;
        }
        out.push_back(text[i]);
    }
    return out;
}

std::wstring stripQuotes(std::wstring_view text) {
    if (isQuoted(text)) text = text.substr(1, text.size() - 2);
    return std::wstring(text);
}

std::wstring readTextValue(std::wstring_view text, QXTextForm form) {
    if (form == QXTextForm::Raw) return stripQuotes(unescapeText(text));
    return stripQuotes(text);
}

std::wstring unquoteText(std::wstring_view text) {
    return readTextValue(text, QXTextForm::Raw);
}

int32_t readInt32(std::wstring_view text) {
    bool negative;
    size_t i = skipSpaceAndSign(text, negative);
    int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) {
            value = int64_t(std::numeric_limits<int32_t>::max()) + 1;
        }
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return int32_t(value);
}

uint64_t readUInt64(std::wstring_view text) {
    bool negative;
    size_t i = skipSpaceAndSign(text, negative);
    uint64_t value = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        uint64_t digit = uint64_t(text[i] - L'0');
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) overflow = true;
        value = value * 10 + digit;
    }
    if (overflow) return std::numeric_limits<uint64_t>::max();
    return negative ? uint64_t(0) - value : value;
}

void appendLine(std::wstring& out, std::wstring_view key, std::wstring_view value) {
    out.append(key);
    out.push_back(L'=');
    out.append(value);
    out.append(L"\r\n");
}

}  // namespace quenrix
