#include "rule/QXSimilarImageRule.h"

#include <algorithm>
#include <exception>
#include <unordered_map>
#include <unordered_set>

#include "core/QXImageLoader.h"
#include "rule/QXDuplicateFinder.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"

namespace quenrix {

namespace {

const wchar_t* const kStrictActionLabels[] = {L"拒否", L"選択"};

// Records whose features are made together on the pool before their paths are shown.
constexpr size_t kFeatureBatch = 8;
// Rows of the pair pass scanned together on the pool before they are grouped in order.
constexpr size_t kRowBatch = 64;

struct DevIno {
    uint64_t dev, ino;
    bool operator==(const DevIno& o) const { return dev == o.dev && ino == o.ino; }
};
struct DevInoHash {
    size_t operator()(const DevIno& k) const { return std::hash<uint64_t>()(k.ino * 31 + k.dev); }
};

// Reports 100·done/total when it changes.
class Progress {
public:
    Progress(QXRuleHost& host, size_t total) : m_host(host), m_total(total) {}
    void at(int base, size_t done) {
        const int percent = base + int(100 * done / m_total);
        if (percent != m_last) {
            m_last = percent;
            m_host.report(percent);
        }
    }

private:
    QXRuleHost& m_host;
    size_t m_total;
    int m_last = -1;
};

// The group number of a group this rule forms: the search's next, never 0 (which the
// result list reads as no group).
int32_t takeNonZero(QXRuleHost& host) {
    int32_t number = host.takeGroupNumber();
    if (number == 0) number = host.takeGroupNumber();
    return number;
}

// A small union-find over group nodes.
class Classes {
public:
    size_t add() {
        m_parent.push_back(m_parent.size());
        return m_parent.size() - 1;
    }
    size_t find(size_t x) {
        while (m_parent[x] != x) x = m_parent[x] = m_parent[m_parent[x]];
        return x;
    }
    void unite(size_t a, size_t b) {
        a = find(a);
        b = find(b);
        if (a != b) m_parent[std::max(a, b)] = std::min(a, b);
    }

private:
    std::vector<size_t> m_parent;
};

}  // namespace

QXSimilarImageRule::QXSimilarImageRule()
    : QXRule(ruleKind(ruletype::kSimilarImage)->priority),
      m_source([](QXFileInfo& file) { return LoadAnalysisImage(file); }) {}

int32_t QXSimilarImageRule::typeId() const {
    return ruletype::kSimilarImage;
}

std::wstring QXSimilarImageRule::kindName() const {
    return ruleKind(typeId())->kindName;
}

std::wstring QXSimilarImageRule::strictActionLabel(int32_t action) {
    if (action < kReject || action > kSelect) return std::wstring();
    return kStrictActionLabels[action];
}

QXSimilarityWeights QXSimilarImageRule::weights() const {
    return {float(m_histogramWeight) / 100.0f, float(m_patternWeight) / 100.0f,
            float(m_matchRate) / 100.0f};
}

std::vector<std::string> QXSimilarImageRule::cacheTags() const {
    // The strict histograms are looked up only for the few pairs that need them; held in
    // memory for every picture they would cost 44 KB each.
    return {featuretag::kHistogram, featuretag::kPattern};
}

bool QXSimilarImageRule::makeFeatures(const QXFileList& files, const std::vector<uint8_t>& eligible,
                                      QXRuleHost& host) {
    const size_t n = files.size();
    QXCacheServer* cache = host.cache();
    QXWorkerPool pool(QXWorkerPool::defaultThreads());
    Progress progress(host, 2 * n);
    std::vector<size_t> batch;
    size_t i = 0;
    while (i < n) {
        batch.clear();
        size_t end = i;
        while (end < n && batch.size() < kFeatureBatch) {
            if (eligible[end] && !featuresOf(*files[end])) batch.push_back(end);
            ++end;
        }
        for (size_t k = i; k < end; ++k) {
            if (!files[k]->hasFlag(QXFileInfo::kDecided)) host.showFile(*files[k]);
        }
        // Each record is made by one thread alone and depends on nothing but its file,
        // so the order of the threads does not show in the results.
        std::exception_ptr failure;
        std::mutex failureLock;
        pool.run(batch.size(), [&](size_t j) {
            try {
                makeImageFeatures(*files[batch[j]], cache, m_source);
            } catch (...) {
                std::lock_guard<std::mutex> l(failureLock);
                if (!failure) failure = std::current_exception();
            }
        });
        if (failure) std::rethrow_exception(failure);
        for (size_t k = i; k < end; ++k) progress.at(0, k + 1);
        if (host.cancelled()) return false;
        i = end;
    }
    return true;
}

bool QXSimilarImageRule::apply(const QXFileList& files, QXRuleHost& host) {
    const size_t n = files.size();
    resetVerdicts(n);
    if (n == 0) return true;
    const QXSimilarityWeights w = weights();
    auto clearUncertain = [&] {
        for (const auto& f : files) f->clearFlags(QXFileInfo::kSimilarWork2);
    };

    // Undecided records take part, except a hard link of an earlier record: one file is
    // never grouped with itself.
    std::vector<uint8_t> eligible(n, 0);
    {
        std::unordered_set<DevIno, DevInoHash> seen;
        for (size_t i = 0; i < n; ++i) {
            const platform::FileStat& st = files[i]->stat();
            const bool linked = st.ino != 0 && !seen.insert({st.dev, st.ino}).second;
            eligible[i] = !linked && !files[i]->hasFlag(QXFileInfo::kDecided);
        }
    }
    // Groups that earlier rules of this search formed.
    std::vector<uint8_t> earlier(n, 0);
    for (size_t i = 0; i < n; ++i) {
        earlier[i] = files[i]->hasFlag(QXFileInfo::kInGroup) || files[i]->groupNumber != 0;
    }

    if (!makeFeatures(files, eligible, host)) return false;

    std::vector<const QXImageFeatures*> features(n, nullptr);
    for (size_t i = 0; i < n; ++i) {
        if (!eligible[i]) continue;
        const QXImageFeatures* f = featuresOf(*files[i]);
        if (f && f->ready) features[i] = f;
    }
    const QXSimilarityTable table(features);

    // Working groups: 0 = none, new ones -1, -2, ...; the members of each are kept so that
    // joining two groups touches only the joining side.
    std::vector<int32_t> label(n, 0);
    std::vector<std::vector<uint32_t>> members(1);
    auto give = [&](size_t record, int32_t l) {
        label[record] = l;
        members[size_t(-l)].push_back(uint32_t(record));
    };
    auto dimensions = [&](QXFileInfo& f) -> int64_t {
        if (!f.hasFlag(QXFileInfo::kImageSize)) EnsureImageSize(f);
        return int64_t(f.imageWidth) + int64_t(f.imageHeight);
    };

    QXWorkerPool pool(QXWorkerPool::defaultThreads());
    Progress progress(host, 2 * n);
    progress.at(0, n);
    std::vector<std::vector<QXPairMatch>> rows(kRowBatch);
    for (size_t start = 0; start < n; start += kRowBatch) {
        const size_t end = std::min(n, start + kRowBatch);
        std::exception_ptr failure;
        std::mutex failureLock;
        // Every row depends on the features alone; the groups are joined below, in order.
        pool.run(end - start, [&](size_t r) {
            rows[r].clear();
            try {
                table.matchRow(start + r, w, rows[r]);
            } catch (...) {
                std::lock_guard<std::mutex> l(failureLock);
                if (!failure) failure = std::current_exception();
            }
        });
        if (failure) std::rethrow_exception(failure);

        for (size_t a = start; a < end; ++a) {
            QXFileInfo& fa = *files[a];
            if (!fa.hasFlag(QXFileInfo::kDecided)) {
                size_t lastMatch = a;
                for (const QXPairMatch& match : rows[a - start]) {
                    const size_t b = match.index;
                    QXFileInfo& fb = *files[b];
                    if (m_strict && match.similarity < kGrade2) {
                        const bool passed = makeStrictHistograms(fa, host.cache(), m_source) &&
                                            makeStrictHistograms(fb, host.cache(), m_source) &&
                                            strictMatch(*featuresOf(fa), *featuresOf(fb));
                        if (passed) {
                            fa.clearFlags(QXFileInfo::kSimilarWork2);
                            fb.clearFlags(QXFileInfo::kSimilarWork2);
                        } else if (m_strictAction == kReject) {
                            continue;
                        } else {
                            if (!fa.hasFlag(QXFileInfo::kSimilarWork1))
                                fa.addFlags(QXFileInfo::kSimilarWork2);
                            if (!fb.hasFlag(QXFileInfo::kSimilarWork1))
                                fb.addFlags(QXFileInfo::kSimilarWork2);
                        }
                    }
                    const int32_t la = label[a], lb = label[b];
                    if (la != 0 && lb == 0) {
                        give(b, la);
                    } else if (la == 0 && lb != 0) {
                        give(a, lb);
                    } else if (la == 0 && lb == 0) {
                        const int32_t fresh = -int32_t(members.size());
                        members.emplace_back();
                        give(a, fresh);
                        give(b, fresh);
                    } else if (la != lb) {
                        // B's whole group joins A's.
                        auto& from = members[size_t(-lb)];
                        auto& to = members[size_t(-la)];
                        for (uint32_t m : from) label[m] = la;
                        to.insert(to.end(), from.begin(), from.end());
                        std::vector<uint32_t>().swap(from);
                    }
                    fa.addFlags(QXFileInfo::kSimilarWork1);
                    fb.addFlags(QXFileInfo::kSimilarWork1);
                    lastMatch = b;
                }
                if (lastMatch > a) {
                    // The picture to keep among A and its group up to A's last match.
                    const int32_t group = label[a];
                    QXFileInfo* choice = &fa;
                    int64_t choiceSize = dimensions(fa);
                    for (size_t j = a; j <= lastMatch; ++j) {
                        if (label[j] != group) continue;
                        QXFileInfo& m = *files[j];
                        if (m.hasFlag(QXFileInfo::kSimilarWork2)) {
                            m.addFlags(QXFileInfo::kNewestInGroup);
                            continue;
                        }
                        m.clearFlags(QXFileInfo::kNewestInGroup);
                        if (j == a) continue;
                        const int64_t size = dimensions(m);
                        if (size > choiceSize ||
                            (size == choiceSize && m.stat().writeNs > choice->stat().writeNs)) {
                            choice = &m;
                            choiceSize = size;
                        }
                    }
                    choice->addFlags(QXFileInfo::kNewestInGroup);
                } else if (label[a] == 0 && !earlier[a]) {
                    fa.clearFlags(QXFileInfo::kMatched);
                }
                if (QXImageFeatures* f = featuresOf(fa)) f->releaseStrict();
            }
            if (host.cancelled()) {
                clearUncertain();
                return false;
            }
            progress.at(50, a + 1);
        }
    }

    // Numbers in order of first appearance. A group that a member brings from an earlier
    // rule of this search is merged into the new one, so it never loses its picture to
    // keep to another group.
    Classes classes;
    std::vector<size_t> nodeOfLabel(members.size(), SIZE_MAX);
    std::unordered_map<int32_t, size_t> nodeOfEarlier;
    auto labelNode = [&](int32_t l) {
        size_t& node = nodeOfLabel[size_t(-l)];
        if (node == SIZE_MAX) node = classes.add();
        return node;
    };
    auto earlierNode = [&](int32_t number) {
        auto it = nodeOfEarlier.find(number);
        if (it != nodeOfEarlier.end()) return it->second;
        const size_t node = classes.add();
        nodeOfEarlier.emplace(number, node);
        return node;
    };
    for (size_t i = 0; i < n; ++i) {
        if (label[i] == 0) continue;
        const size_t node = labelNode(label[i]);
        if (earlier[i]) classes.unite(node, earlierNode(files[i]->groupNumber));
    }
    std::vector<uint8_t> formed;  // per root: holds a group of this rule
    for (size_t i = 0; i < n; ++i) {
        if (label[i] == 0) continue;
        const size_t root = classes.find(labelNode(label[i]));
        if (formed.size() <= root) formed.resize(root + 1, 0);
        formed[root] = 1;
    }
    std::vector<int32_t> numberOf;
    for (size_t i = 0; i < n; ++i) {
        size_t node;
        if (label[i] != 0) {
            node = labelNode(label[i]);
        } else if (earlier[i] && nodeOfEarlier.count(files[i]->groupNumber)) {
            node = nodeOfEarlier[files[i]->groupNumber];
        } else {
            continue;
        }
        const size_t root = classes.find(node);
        if (root >= formed.size() || !formed[root]) continue;
        if (numberOf.size() <= root) numberOf.resize(root + 1, 0);
        if (numberOf[root] == 0) numberOf[root] = takeNonZero(host);
        files[i]->groupNumber = numberOf[root];
        if (label[i] != 0) setVerdict(i, true);
    }
    clearUncertain();
    return true;
}

std::wstring QXSimilarImageRule::description() const {
    return L"類似画像：ヒストグラムウェイト:" + std::to_wstring(m_histogramWeight) +
           L", パターンマッチウェイト:" + std::to_wstring(m_patternWeight) + L", 一致率:" +
           std::to_wstring(m_matchRate);
}

std::shared_ptr<QXRule> QXSimilarImageRule::clone() const {
    auto copy = std::make_shared<QXSimilarImageRule>();
    copy->m_histogramWeight = m_histogramWeight;
    copy->m_patternWeight = m_patternWeight;
    copy->m_matchRate = m_matchRate;
    copy->m_strict = m_strict;
    copy->m_strictAction = m_strictAction;
    copy->m_source = m_source;
    copyBaseTo(*copy);
    return copy;
}

void QXSimilarImageRule::writeOwnPairs(QXRulePairs& out) const {
    out.emplace_back(L"histWeight", std::to_wstring(m_histogramWeight));
    out.emplace_back(L"patternWeight", std::to_wstring(m_patternWeight));
    out.emplace_back(L"matchRate", std::to_wstring(m_matchRate));
    out.emplace_back(L"strict", m_strict ? L"1" : L"0");
    out.emplace_back(L"strictAction", std::to_wstring(m_strictAction));
}

void QXSimilarImageRule::writeOwnLines(std::wstring& out) const {
    appendLine(out, L"histWeight", std::to_wstring(m_histogramWeight));
    appendLine(out, L"patternWeight", std::to_wstring(m_patternWeight));
    appendLine(out, L"matchRate", std::to_wstring(m_matchRate));
    appendLine(out, L"strict", m_strict ? L"1" : L"0");
    appendLine(out, L"strictAction", std::to_wstring(m_strictAction));
}

bool QXSimilarImageRule::readOwnPair(const std::wstring& key, const std::wstring& value) {
    if (key == L"histWeight") {
        m_histogramWeight = readInt32(value);
    } else if (key == L"patternWeight") {
        m_patternWeight = readInt32(value);
    } else if (key == L"matchRate") {
        m_matchRate = readInt32(value);
    } else if (key == L"strict") {
        m_strict = readInt32(value) == 1;
    } else if (key == L"strictAction") {
        m_strictAction = readInt32(value);
    }
    return true;
}

}  // namespace quenrix
