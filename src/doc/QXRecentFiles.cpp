#include "doc/QXRecentFiles.h"

#include <algorithm>

#include "doc/QXAppSettings.h"

namespace quenrix {

namespace {

std::string keyName(size_t index) {
    return "File" + std::to_string(index + 1);
}

bool storable(const std::string& path) {
    return !path.empty() && path.find_first_of("\r\n") == std::string::npos;
}

}  // namespace

bool QXRecentFiles::add(const std::string& path) {
    if (!storable(path)) return false;
    std::erase(m_entries, path);
    m_entries.insert(m_entries.begin(), path);
    if (m_entries.size() > kLimit) m_entries.resize(kLimit);
    return true;
}

bool QXRecentFiles::remove(const std::string& path) {
    return std::erase(m_entries, path) != 0;
}

void QXRecentFiles::load(const QXAppSettings& settings) {
    m_entries.clear();
    for (size_t i = 0; i < kLimit; ++i) {
        std::string path = settings.profileString(kSection, keyName(i));
        if (!storable(path) || std::ranges::find(m_entries, path) != m_entries.end()) continue;
        m_entries.push_back(std::move(path));
    }
}

bool QXRecentFiles::save(const QXAppSettings& settings) const {
    bool ok = true;
    for (size_t i = 0; i < kLimit; ++i) {
        const std::string value = i < m_entries.size() ? m_entries[i] : std::string();
        ok = settings.writeProfileString(kSection, keyName(i), value) && ok;
    }
    return ok;
}

}  // namespace quenrix
