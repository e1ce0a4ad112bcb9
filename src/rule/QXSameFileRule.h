// The same-file rule: matches every undecided record that is equal to one reference file
// named by its full path, by one of ten algorithms (the duplicate rule's ids 0 to 8, and
// 9 for xxHash). Unless the algorithm compares names only (7, 8), only records of the
// reference file's size can match. A reference path that does not exist when the search
// runs matches nothing.
//
// Data safety: the reference file itself (and any hard link of it: same device and inode)
// never matches, so deleting the matches never deletes the reference; unreadable files
// equal nothing; an empty stem equals nothing.
//
// Held through std::shared_ptr; settings are changed on the user-interface thread, the
// rule pass runs on the search worker.
#pragma once

#include <cstdint>
#include <string>

#include "rule/QXRule.h"

namespace quenrix {

class QXSameFileRule : public QXRule {
public:
    // Algorithm ids as stored ("algo"); 0 to 8 as in QXCheckDuplicateRule.
    static constexpr int32_t kExact = 0;
    static constexpr int32_t kCrc32 = 1;
    static constexpr int32_t kMd5 = 2;
    static constexpr int32_t kNameAndSize = 3;
    static constexpr int32_t kSha1 = 4;
    static constexpr int32_t kSha256 = 5;
    static constexpr int32_t kSha512 = 6;
    static constexpr int32_t kName = 7;
    static constexpr int32_t kStem = 8;
    static constexpr int32_t kXxHash = 9;
    static constexpr int32_t kAlgorithmCount = 10;

    QXSameFileRule();

    int32_t typeId() const override;
    bool apply(const QXFileList& files, QXRuleHost& host) override;
    // "\"%s\"[%s]": the algorithm's description label and the reference path.
    std::wstring description() const override;
    std::wstring kindName() const override;
    std::shared_ptr<QXRule> clone() const override;
    void writeOwnPairs(QXRulePairs& out) const override;  // algo, path
    void writeOwnLines(std::wstring& out) const override;
    bool readOwnPair(const std::wstring& key, const std::wstring& value) override;

    // The dialog's and the descriptions' labels; empty outside 0 to 9.
    static std::wstring algorithmLabel(int32_t algorithm);
    static std::wstring algorithmDescription(int32_t algorithm);

    int32_t algorithm() const { return m_algorithm; }
    void setAlgorithm(int32_t algorithm) { m_algorithm = algorithm; }
    // The reference file's full path as wide text (native bytes through the lossless
    // codec).
    const std::wstring& path() const { return m_path; }
    void setPath(std::wstring path) { m_path = std::move(path); }

private:
    int32_t m_algorithm = kXxHash;
    std::wstring m_path;
};

}  // namespace quenrix
