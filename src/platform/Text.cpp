#include "platform/Text.h"

#include <clocale>
#include <cwctype>
#include <locale>

namespace platform {

void initLocale() {
    setlocale(LC_CTYPE, "C.UTF-8");
    try {
        std::locale::global(std::locale("C.UTF-8"));
    } catch (const std::runtime_error&) {
        // Debian always ships C.UTF-8; without it the classic locale still works for ASCII.
    }
    setlocale(LC_CTYPE, "C.UTF-8");
    // Collation as the regular expressions compare: code-point order.
    setlocale(LC_COLLATE, "C.UTF-8");
}

wchar_t toLower(wchar_t c) {
    if (c < 0x80) return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c;
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

std::wstring toLower(std::wstring_view text) {
    std::wstring out(text);
    for (auto& c : out) c = toLower(c);
    return out;
}

int compareNoCase(std::wstring_view a, std::wstring_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        wchar_t x = toLower(a[i]);
        wchar_t y = toLower(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace platform
