#include "rule/QXCheckDuplicateRule.h"

#include <unordered_set>

#include "rule/QXDuplicateFinder.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"

namespace quenrix {

namespace {

const wchar_t* const kAlgorithmLabels[] = {
    L"完全一致", L"CRC32",   L"MD5",        L"ファイル名とファイルサイズ", L"SHA-1",
    L"SHA-256",  L"SHA-512", L"ファイル名", L"ファイル名（拡張子なし）",   L"ファイルサイズ",
    L"xxHash",
};
const wchar_t* const kAlgorithmDescriptions[] = {
    L"完全一致",
    L"CRC32",
    L"MD5",
    L"ファイル名とファイルサイズが一致",
    L"SHA1",
    L"SHA2-256",
    L"SHA2-512",
    L"ファイル名が一致",
    L"ファイル名が一致（拡張子なし）",
    L"ファイルサイズが一致",
    L"xxHash",
};
const wchar_t* const kTargetLabels[] = {L"重複したもの", L"重複しないもの"};

struct DevIno {
    uint64_t dev, ino;
    bool operator==(const DevIno& o) const { return dev == o.dev && ino == o.ino; }
};
struct DevInoHash {
    size_t operator()(const DevIno& k) const { return std::hash<uint64_t>()(k.ino * 31 + k.dev); }
};

}  // namespace

QXCheckDuplicateRule::QXCheckDuplicateRule() : QXRule(ruleKind(ruletype::kDuplicate)->priority) {}

int32_t QXCheckDuplicateRule::typeId() const {
    return ruletype::kDuplicate;
}

std::wstring QXCheckDuplicateRule::kindName() const {
    return ruleKind(typeId())->kindName;
}

std::wstring QXCheckDuplicateRule::algorithmLabel(int32_t algorithm) {
    if (algorithm < 0 || algorithm >= kAlgorithmCount) return std::wstring();
    return kAlgorithmLabels[algorithm];
}

std::wstring QXCheckDuplicateRule::algorithmDescription(int32_t algorithm) {
    if (algorithm < 0 || algorithm >= kAlgorithmCount) return std::wstring();
    return kAlgorithmDescriptions[algorithm];
}

std::wstring QXCheckDuplicateRule::targetLabel(int32_t target) {
    if (target < kDuplicates || target > kUnique) return std::wstring();
    return kTargetLabels[target];
}

std::vector<std::string> QXCheckDuplicateRule::cacheTags() const {
    return cacheTagsOf(duplicateMethod(m_algorithm));
}

bool QXCheckDuplicateRule::apply(const QXFileList& files, QXRuleHost& host) {
    const size_t n = files.size();
    resetVerdicts(n);
    for (size_t i = 0; i < n; ++i) files[i]->inputPosition = i;
    const std::vector<size_t> order = sortedBySize(files);
    auto at = [&](size_t k) -> QXFileInfo& { return *files[order[k]]; };

    // A hard link of an earlier record is the same file: it takes no part, so that no
    // file is ever grouped with itself.
    std::vector<uint8_t> linked(n, 0);
    {
        std::unordered_set<DevIno, DevInoHash> seen;
        for (size_t k = 0; k < n; ++k) {
            const platform::FileStat& st = at(k).stat();
            if (st.ino != 0 && !seen.insert({st.dev, st.ino}).second) linked[k] = 1;
        }
    }
    auto eligible = [&](size_t k) { return !linked[k] && !at(k).hasFlag(QXFileInfo::kDecided); };

    QXDuplicateFinder finder(duplicateMethod(m_algorithm), host);
    const bool sizeFirst = finder.method().sizeFirst();
    QXCacheWindow cacheWindow(finder.method(), files, host.cache());
    // Per sorted position: its class (-1 for none) and the positions of each class in
    // order; classes of successive sets are numbered on.
    std::vector<int64_t> classOf(n, -1);
    std::vector<size_t> indexInClass(n, 0);
    std::vector<std::vector<size_t>> members;
    size_t setEnd = 0;

    int last = -1;
    for (size_t k = 0; k < n; ++k) {
        QXFileInfo& r = at(k);
        if (!r.hasFlag(QXFileInfo::kDecided)) {
            host.showFile(r);
            r.addFlags(QXFileInfo::kExamined);
            if (k >= setEnd) {
                // The first record of a new set of candidates (one size, or all of them
                // for the name methods): sort the set into classes.
                size_t end = k + 1;
                if (sizeFirst) {
                    while (end < n && at(end).size() == r.size()) ++end;
                } else {
                    end = n;
                }
                setEnd = end;
                // Records ahead of the first one without a group mark can only count as
                // duplicates by that mark; they join no group of this pass.
                size_t from = k;
                while (from < end && (!eligible(from) || at(from).hasFlag(QXFileInfo::kInGroup)))
                    ++from;
                std::vector<size_t> positions;
                std::vector<QXFileInfo*> records;
                for (size_t j = from; j < end; ++j) {
                    if (!eligible(j)) continue;
                    positions.push_back(j);
                    records.push_back(&at(j));
                }
                if (records.size() >= 2) {
                    std::vector<int64_t> classes;
                    if (!finder.classify(records, classes)) return false;
                    const int64_t base = int64_t(members.size());
                    int64_t top = -1;
                    for (int64_t c : classes) top = std::max(top, c);
                    members.resize(size_t(base + top + 1));
                    for (size_t j = 0; j < positions.size(); ++j) {
                        if (classes[j] < 0) continue;
                        auto& list = members[size_t(base + classes[j])];
                        classOf[positions[j]] = base + classes[j];
                        indexInClass[positions[j]] = list.size();
                        list.push_back(positions[j]);
                    }
                }
            }
            if (!linked[k]) {
                bool duplicate = r.hasFlag(QXFileInfo::kInGroup);
                if (!duplicate && classOf[k] >= 0) {
                    const auto& list = members[size_t(classOf[k])];
                    const size_t mine = indexInClass[k];
                    if (mine + 1 < list.size()) {
                        // r is the first member of its class without a group mark (an
                        // earlier one would have taken r into its group): r's group is r
                        // and every later member.
                        const int32_t group = host.takeGroupNumber();
                        QXFileInfo* newest = &r;
                        for (size_t j = mine; j < list.size(); ++j) {
                            QXFileInfo& m = at(list[j]);
                            m.addFlags(QXFileInfo::kInGroup);
                            m.groupNumber = group;
                            if (m.stat().writeNs > newest->stat().writeNs) newest = &m;
                        }
                        newest->addFlags(QXFileInfo::kNewestInGroup);
                        duplicate = true;
                    }
                }
                if (m_target == kDuplicates) {
                    setVerdict(order[k], duplicate);
                } else if (m_target == kUnique) {
                    setVerdict(order[k], !duplicate);
                }
            }
        }
        if (host.cancelled()) return false;
        const int percent = int(100 * (k + 1) / n);
        if (percent != last) {
            last = percent;
            host.report(percent);
        }
    }
    return true;
}

std::wstring QXCheckDuplicateRule::description() const {
    const std::wstring algorithm = algorithmDescription(m_algorithm);
    const std::wstring target = targetLabel(m_target);
    return L"\"" + (algorithm.empty() ? std::to_wstring(m_algorithm) : algorithm) + L"\"[" +
           (target.empty() ? std::to_wstring(m_target) : target) + L"]";
}

std::shared_ptr<QXRule> QXCheckDuplicateRule::clone() const {
    auto copy = std::make_shared<QXCheckDuplicateRule>();
    copy->m_algorithm = m_algorithm;
    copy->m_target = m_target;
    copyBaseTo(*copy);
    return copy;
}

void QXCheckDuplicateRule::writeOwnPairs(QXRulePairs& out) const {
    out.emplace_back(L"algo", std::to_wstring(m_algorithm));
    out.emplace_back(L"func", std::to_wstring(m_target));
}

void QXCheckDuplicateRule::writeOwnLines(std::wstring& out) const {
    appendLine(out, L"algo", std::to_wstring(m_algorithm));
    appendLine(out, L"func", std::to_wstring(m_target));
}

bool QXCheckDuplicateRule::readOwnPair(const std::wstring& key, const std::wstring& value) {
    if (key == L"algo") {
        m_algorithm = readInt32(value);
    } else if (key == L"func") {
        m_target = readInt32(value);
    }
    return true;
}

}  // namespace quenrix
