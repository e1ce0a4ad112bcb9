#include "tovy/TovString.h"

#include <cstdio>
#include <cwchar>

namespace tovy {

std::string toAnsi(std::wstring_view text) {
    return toUtf8(text);
}
std::wstring fromAnsi(std::string_view bytes) {
    return fromUtf8(bytes);
}

std::string vformat(const char* fmt, va_list args) {
    if (!fmt) return {};
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, fmt, measure);
    va_end(measure);
    if (length <= 0) return {};
    std::string out(size_t(length) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), fmt, args);
    out.resize(size_t(length));
    return out;
}

std::wstring vformat(const wchar_t* fmt, va_list args) {
    if (!fmt) return {};
    // vswprintf cannot measure; grow the buffer until the text fits.
    for (size_t size = 256; size <= (size_t(1) << 26); size *= 4) {
        std::wstring out(size, L'\0');
        va_list attempt;
        va_copy(attempt, args);
        int length = std::vswprintf(out.data(), size, fmt, attempt);
        va_end(attempt);
        if (length >= 0) {
            out.resize(size_t(length));
            return out;
        }
    }
    return {};
}

std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string out = vformat(fmt, args);
    va_end(args);
    return out;
}

std::wstring format(const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::wstring out = vformat(fmt, args);
    va_end(args);
    return out;
}

std::wstring int64ToText(int64_t value) {
    return std::to_wstring(value);
}

std::wstring replaceAll(std::wstring_view text, std::wstring_view what, std::wstring_view with) {
    if (what.empty() || with.empty()) return std::wstring(text);
    std::wstring out;
    size_t pos = 0;
    for (;;) {
        size_t hit = text.find(what, pos);
        if (hit == std::wstring_view::npos) break;
        out.append(text.substr(pos, hit - pos));
        out.append(with);
        pos = hit + what.size();
    }
    out.append(text.substr(pos));
    return out;
}

namespace {

template <typename Char>
std::basic_string<Char> quoteImpl(std::basic_string_view<Char> text) {
    if (text.size() > 1 && text.front() == Char('"') && text.back() == Char('"'))
        return std::basic_string<Char>(text);
    std::basic_string<Char> out;
    out.reserve(text.size() + 2);
    out.push_back(Char('"'));
    out.append(text);
    out.push_back(Char('"'));
    return out;
}

template <typename Char>
std::basic_string<Char> escapeImpl(std::basic_string_view<Char> text, Char c) {
    std::basic_string<Char> out;
    out.reserve(text.size());
    for (Char ch : text) {
        if (ch == c) out.push_back(Char('\\'));
        out.push_back(ch);
    }
    return out;
}

template <typename Char>
std::basic_string<Char> trimImpl(std::basic_string_view<Char> text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && text[begin] == Char(' ')) ++begin;
    while (end > begin && text[end - 1] == Char(' ')) --end;
    return std::basic_string<Char>(text.substr(begin, end - begin));
}

}  // namespace

std::string quote(std::string_view text) {
    return quoteImpl(text);
}
std::wstring quote(std::wstring_view text) {
    return quoteImpl(text);
}

std::wstring unquote(std::wstring_view text) {
    if (text.size() > 1 && text.front() == L'"' && text.back() == L'"')
        return std::wstring(text.substr(1, text.size() - 2));
    return std::wstring(text);
}

std::string escapeChar(std::string_view text, char c) {
    return escapeImpl(text, c);
}
std::wstring escapeChar(std::wstring_view text, wchar_t c) {
    return escapeImpl(text, c);
}

std::wstring collapseBackslashes(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        out.push_back(text[i]);
        if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'\\') ++i;
    }
    return out;
}

std::string trimSpaces(std::string_view text) {
    return trimImpl(text);
}
std::wstring trimSpaces(std::wstring_view text) {
    return trimImpl(text);
}

std::wstring groupDigits(std::wstring_view text) {
    if (text.size() < 3) return std::wstring(text);
    std::wstring out;
    out.reserve(text.size() + text.size() / 3);
    size_t lead = text.size() % 3;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i > 0 && (i - lead) % 3 == 0 && i >= lead) out.push_back(L',');
        out.push_back(text[i]);
    }
    return out;
}

std::wstring join(const std::vector<std::wstring>& items) {
    std::wstring out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out.push_back(L',');
        out.append(items[i]);
    }
    return out;
}

std::vector<std::wstring> split(std::wstring_view text) {
    std::vector<std::wstring> items;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t comma = text.find(L',', pos);
        if (comma == std::wstring_view::npos) {
            items.emplace_back(text.substr(pos));
            break;
        }
        items.emplace_back(text.substr(pos, comma - pos));
        pos = comma + 1;
    }
    return items;
}

namespace {

bool writeBytes(TovFile& file, std::string_view bytes) {
    if (bytes.empty()) return file.isOpen();
    return file.write(bytes.data(), bytes.size()) == bytes.size();
}

std::wstring escapeValue(std::wstring_view text) {
    return escapeChar(escapeChar(text, L'\\'), L'"');
}

}  // namespace

bool writeText(TovFile& file, std::wstring_view text) {
    return writeBytes(file, toAnsi(text));
}

bool writeEscaped(TovFile& file, std::wstring_view text) {
    return writeBytes(file, toAnsi(escapeValue(text)));
}

bool writeKeyValue(TovFile& file, std::wstring_view key, std::wstring_view value) {
    if (value.find_first_of(L"\r\n") != std::wstring_view::npos ||
        key.find_first_of(L"\r\n") != std::wstring_view::npos)
        return false;
    std::string line = toAnsi(key) + toAnsi(quote(escapeValue(value))) + "\r\n";
    return writeBytes(file, line);
}

}  // namespace tovy
