// Wide text to QString for display. Thread-safe.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace quenrix {

// Escaped bytes of a name that is not valid UTF-8 (U+DC80..U+DCFF) show as U+FFFD;
// everything else converts unchanged.
inline QString toQtText(std::wstring_view text) {
    std::u32string units;
    units.reserve(text.size());
    for (wchar_t c : text) {
        char32_t u = static_cast<char32_t>(c);
        units.push_back(u >= 0xDC80 && u <= 0xDCFF ? char32_t(0xFFFD) : u);
    }
    return QString::fromUcs4(units.data(), static_cast<qsizetype>(units.size()));
}

}  // namespace quenrix
