#include "doc/QXFolderHistory.h"

#include <algorithm>

namespace quenrix {

void QXFolderHistory::enter(const std::string& path) {
    if (path.empty()) return;
    auto it = std::find(m_entries.begin(), m_entries.end(), path);
    if (it != m_entries.end()) m_entries.erase(it);
    m_entries.insert(m_entries.begin(), path);
    if (m_entries.size() > kLimit) m_entries.resize(kLimit);
}

void QXFolderHistory::loadAppend(const std::string& path) {
    if (path.empty()) return;
    auto it = std::find(m_entries.begin(), m_entries.end(), path);
    if (it != m_entries.end()) m_entries.erase(it);
    if (m_entries.size() < kLimit) m_entries.push_back(path);
}

}  // namespace quenrix
