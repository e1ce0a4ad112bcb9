// One file found by a search (or made from a single path, or read from CSV). Always held
// through std::shared_ptr; a record lives as long as any list holds it.
//
// The record keeps the native path bytes (the exact bytes the file system gave, so a
// name in any legacy encoding is reached again), the offset of the name inside it, and a
// compact stat of the directory entry. Wide texts and the Windows find data are made on
// demand. The costly per-file values (digests, image features, tags, thumbnail) live in
// extras made on first need.
//
// Not thread-safe: during a search only the search worker touches records; afterwards
// the user-interface thread and one worker at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileStat.h"
#include "platform/WinTypes.h"

namespace quenrix {

struct QXFileExtras;  // core/QXFileExtras.h

class QXFileInfo {
public:
    // Flag word.
    static constexpr uint32_t kCheck = 0x00000001;
    static constexpr uint32_t kDone = 0x00000002;
    static constexpr uint32_t kMatched = 0x00000004;
    static constexpr uint32_t kInGroup = 0x00000008;
    static constexpr uint32_t kNewestInGroup = 0x00000010;
    static constexpr uint32_t kExamined = 0x00000020;
    static constexpr uint32_t kSimilarWork1 = 0x00000040;
    static constexpr uint32_t kSimilarWork2 = 0x00000080;
    static constexpr uint32_t kImageSize = 0x00000100;
    static constexpr uint32_t kIconKnown = 0x00000200;
    static constexpr uint32_t kDecided = 0x00000400;
    static constexpr uint32_t kCrc32Computed = 0x00010000;
    static constexpr uint32_t kMd5Computed = 0x00020000;
    static constexpr uint32_t kSha1Computed = 0x00040000;
    static constexpr uint32_t kSha256Computed = 0x00080000;
    static constexpr uint32_t kSha512Computed = 0x00400000;
    static constexpr uint32_t kXxh64Computed = 0x00800000;

    // A record for a directory entry met by the enumeration: flags = matched mark only.
    static std::shared_ptr<QXFileInfo> fromEnumeration(std::string nativePath,
                                                       const platform::FileStat& st,
                                                       int32_t targetIndex);
    // A record for an existing path (flags 0, target index 0); none when the path does
    // not exist or is not absolute.
    static std::shared_ptr<QXFileInfo> fromPath(const std::string& nativePath);

    QXFileInfo();
    QXFileInfo(std::string nativePath, const platform::FileStat& st);
    ~QXFileInfo();
    QXFileInfo(const QXFileInfo&) = delete;
    QXFileInfo& operator=(const QXFileInfo&) = delete;

    // Unique among the records alive at the same time.
    uint64_t id() const { return m_id; }

    // The exact path bytes; use these for every file operation.
    const std::string& nativePath() const { return m_path; }
    std::string_view nativeName() const { return std::string_view(m_path).substr(m_nameOffset); }
    // Wide texts through the lossless codec.
    std::wstring fullPath() const;
    std::wstring fileName() const;
    // Replaces path and name (CSV import).
    void setNativePath(std::string path);

    const platform::FileStat& stat() const { return m_stat; }
    platform::FileStat& stat() { return m_stat; }
    uint32_t attributes() const { return m_stat.attributes; }
    uint64_t size() const { return m_stat.size; }
    platform::FILETIME creationTime() const;
    platform::FILETIME lastAccessTime() const;
    platform::FILETIME lastWriteTime() const;
    // The find data the Windows file search would have reported.
    platform::WIN32_FIND_DATAW findData() const;

    uint32_t flags() const { return m_flags; }
    void setFlags(uint32_t flags) { m_flags = flags; }
    bool hasFlag(uint32_t f) const { return (m_flags & f) != 0; }
    void addFlags(uint32_t f) { m_flags |= f; }
    void clearFlags(uint32_t f) { m_flags &= ~f; }

    int32_t iconIndex = 0;
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    int32_t targetIndex = 0;
    int32_t groupNumber = 0;
    uint64_t inputPosition = 0;

    // The extras, made on first need by whoever asks for them.
    QXFileExtras& extras();
    QXFileExtras* extrasIfAny() const { return m_extras.get(); }

private:
    uint64_t m_id;
    std::string m_path;
    uint32_t m_nameOffset = 0;
    uint32_t m_flags = 0;
    platform::FileStat m_stat;
    std::unique_ptr<QXFileExtras> m_extras;
};

using QXFileInfoPtr = std::shared_ptr<QXFileInfo>;
using QXFileList = std::vector<QXFileInfoPtr>;

}  // namespace quenrix
