#include "view/QXResultFormat.h"

#include <cwchar>

#include "platform/Times.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

std::wstring formatThousands(uint64_t value) {
    std::wstring digits = std::to_wstring(value);
    std::wstring out;
    out.reserve(digits.size() + digits.size() / 3);
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) out.push_back(L',');
        out.push_back(digits[i]);
    }
    return out;
}

std::wstring formatLocalTime(platform::FILETIME time) {
    platform::SYSTEMTIME local;
    if (!platform::fileTimeToLocalSystemTime(time, local)) return {};
    wchar_t buffer[32];
    std::swprintf(buffer, sizeof buffer / sizeof buffer[0], L"%04d/%02d/%02d %02d:%02d",
                  int(local.wYear), int(local.wMonth), int(local.wDay), int(local.wHour),
                  int(local.wMinute));
    return buffer;
}

std::wstring formatImageSize(const QXFileInfo& file) {
    if (!file.hasFlag(QXFileInfo::kImageSize)) return {};
    return std::to_wstring(file.imageWidth) + L"x" + std::to_wstring(file.imageHeight);
}

std::wstring displayText(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) {
        if (tovy::isEscapedByte(c)) c = 0xFFFD;
    }
    return out;
}

std::wstring formatResultSummary(size_t total, size_t matched, size_t ticked) {
    return L"総数: " + std::to_wstring(total) + L"  一致: " + std::to_wstring(matched) +
           L"  選択: " + std::to_wstring(ticked);
}

bool tickedByDefault(const QXFileInfo& file) {
    const bool newest = file.hasFlag(QXFileInfo::kNewestInGroup);
    if (file.hasFlag(QXFileInfo::kInGroup)) return !newest;
    if (file.groupNumber < 1) return true;
    return !newest;
}

}  // namespace quenrix
