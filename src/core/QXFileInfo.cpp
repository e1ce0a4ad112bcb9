#include "core/QXFileInfo.h"

#include <atomic>

#include "core/QXFileExtras.h"
#include "digest/QXDigest.h"
#include "platform/Times.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

std::atomic<uint64_t> g_nextId{1};

uint32_t nameOffsetOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : uint32_t(slash + 1);
}

}  // namespace

QXFileInfo::QXFileInfo() : m_id(g_nextId.fetch_add(1, std::memory_order_relaxed)) {}

QXFileInfo::QXFileInfo(std::string nativePath, const platform::FileStat& st)
    : m_id(g_nextId.fetch_add(1, std::memory_order_relaxed)),
      m_path(std::move(nativePath)),
      m_nameOffset(nameOffsetOf(m_path)),
      m_stat(st) {}

QXFileInfo::~QXFileInfo() = default;

std::shared_ptr<QXFileInfo> QXFileInfo::fromEnumeration(std::string nativePath,
                                                        const platform::FileStat& st,
                                                        int32_t targetIndex) {
    auto info = std::make_shared<QXFileInfo>(std::move(nativePath), st);
    info->m_flags = kMatched;
    info->targetIndex = targetIndex;
    return info;
}

std::shared_ptr<QXFileInfo> QXFileInfo::fromPath(const std::string& nativePath) {
    if (nativePath.empty() || nativePath[0] != '/') return nullptr;
    platform::FileStat st;
    if (!platform::statPath(nativePath, st)) return nullptr;
    return std::make_shared<QXFileInfo>(nativePath, st);
}

void QXFileInfo::setNativePath(std::string path) {
    m_path = std::move(path);
    m_nameOffset = nameOffsetOf(m_path);
}

QXFileExtras& QXFileInfo::extras() {
    if (!m_extras) m_extras = std::make_unique<QXFileExtras>();
    return *m_extras;
}

std::wstring QXFileInfo::fullPath() const {
    return tovy::fromUtf8(m_path);
}

std::wstring QXFileInfo::fileName() const {
    return tovy::fromUtf8(nativeName());
}

platform::FILETIME QXFileInfo::creationTime() const {
    return platform::fileTimeFromUnixNs(m_stat.createNs);
}

platform::FILETIME QXFileInfo::lastAccessTime() const {
    return platform::fileTimeFromUnixNs(m_stat.accessNs);
}

platform::FILETIME QXFileInfo::lastWriteTime() const {
    return platform::fileTimeFromUnixNs(m_stat.writeNs);
}

platform::WIN32_FIND_DATAW QXFileInfo::findData() const {
    return platform::toFindData(m_stat, fileName());
}

}  // namespace quenrix
