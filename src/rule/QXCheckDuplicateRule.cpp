#include "rule/QXCheckDuplicateRule.h"

#include <algorithm>
#include <vector>

#include "core/QXFileExtras.h"
#include "digest/QXDigest.h"

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

// What the rule reads of a record, at the record's sorted position.
struct Item {
    QXFileInfo* record = nullptr;
    size_t input = 0;  // the position in the list given
    uint64_t size = 0;
    bool regular = false;
    bool linked = false;  // a hard link of a record sorted before it
};

// A record's file and its input position: sorted, the hard links of one file follow the
// first of them.
struct FileId {
    uint64_t dev, ino;
    size_t k;
    bool operator<(const FileId& o) const {
        return dev != o.dev ? dev < o.dev : ino != o.ino ? ino < o.ino : k < o.k;
    }
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
    // The passes below visit the records by size; what they read of each is gathered
    // here first, in one walk over the records in the order they lie in memory, and
    // sorted by size, equal sizes in input order.
    std::vector<Item> items(n);
    {
        // A hard link of an earlier record is the same file: it takes no part, so that
        // no file is ever grouped with itself. Links share their size, so the first of
        // them in the sorted order is the first in the input.
        std::vector<FileId> ids;
        ids.reserve(n);
        for (size_t i = 0; i < n; ++i) {
            QXFileInfo& r = *files[i];
            r.inputPosition = i;
            const platform::FileStat& st = r.stat();
            Item& item = items[i];
            item.record = &r;
            item.input = i;
            item.size = st.size;
            item.regular = st.isRegular();
            if (st.ino != 0) ids.push_back({st.dev, st.ino, i});
        }
        std::sort(ids.begin(), ids.end());
        for (size_t j = 1; j < ids.size(); ++j) {
            if (ids[j].dev == ids[j - 1].dev && ids[j].ino == ids[j - 1].ino)
                items[ids[j].k].linked = true;
        }
        std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
            return a.size != b.size ? a.size < b.size : a.input < b.input;
        });
    }
    auto at = [&](size_t k) -> QXFileInfo& { return *items[k].record; };
    auto eligible = [&](size_t k) {
        return !items[k].linked && !items[k].record->hasFlag(QXFileInfo::kDecided);
    };

    QXDuplicateFinder finder(duplicateMethod(m_algorithm), host);
    const bool sizeFirst = finder.method().sizeFirst();
    QXCacheWindow cacheWindow(finder.method(), files, host.cache());
    if (sizeFirst && finder.method().key == QXMatchMethod::kDigest && host.cache()) {
        // The cached digests of every record the sets below will compare, looked up in
        // the order the files were listed, folder by folder.
        std::vector<size_t> listed;
        for (size_t k = 0; k < n;) {
            size_t end = k + 1;
            while (end < n && items[end].size == items[k].size) ++end;
            size_t from = k;
            while (from < end && (!eligible(from) || at(from).hasFlag(QXFileInfo::kInGroup)))
                ++from;
            size_t count = 0;
            for (size_t j = from; j < end; ++j) count += eligible(j);
            if (count >= 2) {
                for (size_t j = from; j < end; ++j)
                    if (eligible(j) && items[j].regular) listed.push_back(items[j].input);
            }
            k = end;
        }
        std::sort(listed.begin(), listed.end());
        std::vector<QXFileInfo*> records(listed.size());
        for (size_t i = 0; i < listed.size(); ++i) records[i] = files[listed[i]].get();
        CachedDigests(records, finder.method().digest, host.cache(),
                      [&](size_t count, const std::function<void(size_t)>& task) {
                          finder.runOnPool(count, task);
                      });
    }

    // The current set's classes: for each sorted position its class within the set (-1
    // for none) and its place in it; the members of class c are
    // members[classStart[c]] .. members[classStart[c + 1] - 1], in sorted order.
    std::vector<int64_t> classOf(n, -1);
    std::vector<size_t> indexInClass(n, 0);
    std::vector<size_t> members, classStart, next;
    std::vector<size_t> positions;
    std::vector<QXFileInfo*> records;
    std::vector<int64_t> classes;
    size_t setEnd = 0;

    // The records come in size order, scattered over memory: each is asked for ahead of
    // its turn, and so are its extras and digests once the one before them has arrived.
    auto fetchAhead = [&](size_t k) {
        if (k + 24 < n) {
            const char* record = reinterpret_cast<const char*>(items[k + 24].record);
            __builtin_prefetch(record);
            __builtin_prefetch(record + 64);
        }
        if (k + 16 < n) {
            if (const QXFileExtras* e = items[k + 16].record->extrasIfAny()) __builtin_prefetch(e);
        }
        if (k + 8 < n) {
            if (const QXFileExtras* e = items[k + 8].record->extrasIfAny())
                if (e->digests) __builtin_prefetch(e->digests.get());
        }
    };

    int last = -1;
    for (size_t k = 0; k < n; ++k) {
        fetchAhead(k);
        QXFileInfo& r = at(k);
        if (!r.hasFlag(QXFileInfo::kDecided)) {
            host.showFile(r);
            r.addFlags(QXFileInfo::kExamined);
            if (k >= setEnd) {
                // The first record of a new set of candidates (one size, or all of them
                // for the name methods): sort the set into classes.
                size_t end = k + 1;
                if (sizeFirst) {
                    while (end < n && items[end].size == items[k].size) ++end;
                } else {
                    end = n;
                }
                setEnd = end;
                // Records ahead of the first one without a group mark can only count as
                // duplicates by that mark; they join no group of this pass.
                size_t from = k;
                while (from < end && (!eligible(from) || at(from).hasFlag(QXFileInfo::kInGroup)))
                    ++from;
                positions.clear();
                records.clear();
                for (size_t j = from; j < end; ++j) {
                    if (!eligible(j)) continue;
                    positions.push_back(j);
                    records.push_back(&at(j));
                }
                if (records.size() >= 2) {
                    if (!finder.classify(records, classes)) return false;
                    int64_t top = -1;
                    for (int64_t c : classes) top = std::max(top, c);
                    // Counted into place, so each class keeps the sorted order.
                    classStart.assign(size_t(top + 2), 0);
                    for (int64_t c : classes)
                        if (c >= 0) ++classStart[size_t(c) + 1];
                    for (size_t c = 1; c < classStart.size(); ++c)
                        classStart[c] += classStart[c - 1];
                    members.resize(classStart.back());
                    next.assign(classStart.begin(), classStart.end() - 1);
                    for (size_t j = 0; j < positions.size(); ++j) {
                        const int64_t c = classes[j];
                        if (c < 0) continue;
                        const size_t pos = positions[j];
                        classOf[pos] = c;
                        indexInClass[pos] = next[size_t(c)] - classStart[size_t(c)];
                        members[next[size_t(c)]++] = pos;
                    }
                }
            }
            if (!items[k].linked) {
                bool duplicate = r.hasFlag(QXFileInfo::kInGroup);
                if (!duplicate && classOf[k] >= 0) {
                    const size_t c = size_t(classOf[k]);
                    const size_t first = classStart[c], count = classStart[c + 1] - first;
                    const size_t mine = indexInClass[k];
                    if (mine + 1 < count) {
                        // r is the first member of its class without a group mark (an
                        // earlier one would have taken r into its group): r's group is r
                        // and every later member.
                        const int32_t group = host.takeGroupNumber();
                        QXFileInfo* newest = &r;
                        for (size_t j = mine; j < count; ++j) {
                            QXFileInfo& m = at(members[first + j]);
                            m.addFlags(QXFileInfo::kInGroup);
                            m.groupNumber = group;
                            if (m.stat().writeNs > newest->stat().writeNs) newest = &m;
                        }
                        newest->addFlags(QXFileInfo::kNewestInGroup);
                        duplicate = true;
                    }
                }
                if (m_target == kDuplicates) {
                    setVerdict(items[k].input, duplicate);
                } else if (m_target == kUnique) {
                    setVerdict(items[k].input, !duplicate);
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
