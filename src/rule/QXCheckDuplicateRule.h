// The duplicate rule: sorts the records of the search into groups of equal files by one
// of eleven algorithms (exact content, five digests and xxHash, name, name without
// extension, size, name and size) and matches either the members of the groups or the
// other files. In every group it marks the file with the latest last-write time
// (kNewestInGroup), which the result list leaves unticked.
//
// The observable result is that of a scan over the records sorted by size (ties in input
// order): each undecided record that is not yet in a group starts a group with every
// later undecided record equal to it; the group takes the next number of the search
// (QXRuleHost::takeGroupNumber), its members get kInGroup and the number, and the first
// of the members with the latest last-write time gets kNewestInGroup. A record that
// already carries kInGroup (from an earlier duplicate rule of the search) counts as a
// duplicate without starting a group, but may still join a group started later. Every
// undecided record gets kExamined. Verdict i is true for a duplicate under target 0 and
// for a non-duplicate under target 1; decided records stay false.
//
// Data safety: a record with the device and inode of an earlier record (a hard link)
// takes no part and matches under neither target; files that cannot be read in full are
// never grouped by content; non-regular files are never read; an empty stem (".bashrc")
// equals nothing.
//
// The work is done by grouping on keys (see QXDuplicateFinder.h): only same-size files
// are read, digests of the candidates are computed on a small thread pool, and the
// exact algorithm reads each candidate once.
//
// Held through std::shared_ptr; settings are changed on the user-interface thread, the
// rule pass runs on the search worker.
#pragma once

#include <cstdint>
#include <string>

#include "rule/QXRule.h"

namespace quenrix {

class QXCheckDuplicateRule : public QXRule {
public:
    // Algorithm ids as stored ("algo").
    static constexpr int32_t kExact = 0;
    static constexpr int32_t kCrc32 = 1;
    static constexpr int32_t kMd5 = 2;
    static constexpr int32_t kNameAndSize = 3;
    static constexpr int32_t kSha1 = 4;
    static constexpr int32_t kSha256 = 5;
    static constexpr int32_t kSha512 = 6;
    static constexpr int32_t kName = 7;
    static constexpr int32_t kStem = 8;
    static constexpr int32_t kSize = 9;
    static constexpr int32_t kXxHash = 10;
    static constexpr int32_t kAlgorithmCount = 11;

    // Targets as stored ("func").
    static constexpr int32_t kDuplicates = 0;  // "重複したもの"
    static constexpr int32_t kUnique = 1;      // "重複しないもの"

    QXCheckDuplicateRule();

    int32_t typeId() const override;
    bool apply(const QXFileList& files, QXRuleHost& host) override;
    std::vector<std::string> cacheTags() const override;
    // "\"%s\"[%s]": the algorithm's description label and the target's label.
    std::wstring description() const override;
    std::wstring kindName() const override;
    std::shared_ptr<QXRule> clone() const override;
    void writeOwnPairs(QXRulePairs& out) const override;  // algo, func
    void writeOwnLines(std::wstring& out) const override;
    bool readOwnPair(const std::wstring& key, const std::wstring& value) override;

    // The label of the dialog's list ("完全一致", ... "xxHash"); empty outside 0 to 10.
    static std::wstring algorithmLabel(int32_t algorithm);
    // The label of descriptions ("完全一致", "SHA2-256", "ファイル名が一致", ...).
    static std::wstring algorithmDescription(int32_t algorithm);
    // "重複したもの" / "重複しないもの"; empty otherwise.
    static std::wstring targetLabel(int32_t target);

    int32_t algorithm() const { return m_algorithm; }
    void setAlgorithm(int32_t algorithm) { m_algorithm = algorithm; }
    int32_t target() const { return m_target; }
    void setTarget(int32_t target) { m_target = target; }

private:
    int32_t m_algorithm = kXxHash;
    int32_t m_target = kDuplicates;
};

}  // namespace quenrix
