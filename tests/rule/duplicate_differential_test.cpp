// The duplicate and same-file rules against a direct implementation: the scan over the
// records sorted by size that compares each undecided record with every later one, with
// the same safety rules (hard links take no part, unreadable and non-regular files equal
// nothing, an empty stem equals nothing, group numbers from the host). Many random sets
// of real files, every algorithm and both targets; verdicts, marks, group numbers, the
// file line and the progress must agree.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/QXFileExtras.h"
#include "digest/QXCacheServer.h"
#include "digest/QXDigest.h"
#include "platform/Text.h"
#include "rule/QXCheckDuplicateRule.h"
#include "rule/QXSameFileRule.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

class TraceHost : public QXRuleHost {
public:
    bool cancelled() const override { return false; }
    void showFile(const QXFileInfo& f) override { shown.push_back(f.nativePath()); }
    void report(int p) override { reports.push_back(p); }
    QXCacheServer* cache() const override { return store; }
    std::vector<std::string> shown;
    std::vector<int> reports;
    QXCacheServer* store = nullptr;
};

constexpr uint32_t kMarks = QXFileInfo::kInGroup | QXFileInfo::kNewestInGroup |
                            QXFileInfo::kExamined | QXFileInfo::kDecided;

std::wstring lowerName(const QXFileInfo& f) {
    return platform::toLower(f.fileName());
}

std::wstring lowerStem(const QXFileInfo& f) {
    std::wstring name = lowerName(f);
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

bool digestEqual(QXFileInfo& a, QXFileInfo& b, QXDigestKind kind) {
    if (!a.stat().isRegular() || !b.stat().isRegular()) return false;
    if (!EnsureDigest(a, kind, nullptr) || !EnsureDigest(b, kind, nullptr)) return false;
    const std::wstring& ta = a.extras().digests->text(kind);
    const std::wstring& tb = b.extras().digests->text(kind);
    return !ta.empty() && ta == tb;
}

// Equality of two records under a duplicate-rule algorithm id.
bool equalBy(int32_t algorithm, QXFileInfo& a, QXFileInfo& b) {
    switch (algorithm) {
        case 0:
            return a.stat().isRegular() && b.stat().isRegular() && CompareFileContents(a, b);
        case 1:
            return digestEqual(a, b, QXDigestKind::kCrc32);
        case 2:
            return digestEqual(a, b, QXDigestKind::kMd5);
        case 3:
            return a.size() == b.size() && lowerName(a) == lowerName(b);
        case 4:
            return digestEqual(a, b, QXDigestKind::kSha1);
        case 5:
            return digestEqual(a, b, QXDigestKind::kSha256);
        case 6:
            return digestEqual(a, b, QXDigestKind::kSha512);
        case 7:
            return lowerName(a) == lowerName(b);
        case 8:
            return !lowerStem(a).empty() && lowerStem(a) == lowerStem(b);
        case 9:
            return a.size() == b.size();
        case 10:
            return digestEqual(a, b, QXDigestKind::kXxh64);
    }
    return false;
}

std::vector<size_t> stableBySize(const QXFileList& files) {
    std::vector<size_t> order(files.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return files[a]->size() < files[b]->size(); });
    return order;
}

bool sameNode(const QXFileInfo& a, const QXFileInfo& b) {
    return a.stat().ino != 0 && a.stat().dev == b.stat().dev && a.stat().ino == b.stat().ino;
}

// The duplicate rule as a pairwise scan.
std::vector<bool> slowDuplicates(const QXFileList& files, int32_t algorithm, int32_t target,
                                 TraceHost& host) {
    const size_t n = files.size();
    std::vector<bool> verdicts(n, false);
    for (size_t i = 0; i < n; ++i) files[i]->inputPosition = i;
    const std::vector<size_t> order = stableBySize(files);
    std::vector<bool> linked(n, false);
    for (size_t k = 0; k < n; ++k)
        for (size_t e = 0; e < k; ++e)
            if (sameNode(*files[order[e]], *files[order[k]])) linked[k] = true;
    const bool sizeFirst = algorithm != 7 && algorithm != 8;
    int last = -1;
    for (size_t k = 0; k < n; ++k) {
        QXFileInfo& r = *files[order[k]];
        if (!r.hasFlag(QXFileInfo::kDecided)) {
            host.showFile(r);
            r.addFlags(QXFileInfo::kExamined);
            if (!linked[k]) {
                bool duplicate = r.hasFlag(QXFileInfo::kInGroup);
                if (!duplicate) {
                    const int32_t group = host.nextGroupNumber();
                    size_t lastMatch = 0;
                    for (size_t j = k + 1; j < n; ++j) {
                        QXFileInfo& s = *files[order[j]];
                        if (s.hasFlag(QXFileInfo::kDecided) || linked[j]) continue;
                        if (sizeFirst && s.size() > r.size()) break;
                        if (equalBy(algorithm, r, s)) {
                            r.addFlags(QXFileInfo::kInGroup);
                            s.addFlags(QXFileInfo::kInGroup);
                            r.groupNumber = group;
                            s.groupNumber = group;
                            lastMatch = j;
                        }
                    }
                    if (lastMatch) {
                        QXFileInfo* choice = &r;
                        for (size_t j = k + 1; j <= lastMatch; ++j) {
                            QXFileInfo& s = *files[order[j]];
                            if (s.hasFlag(QXFileInfo::kInGroup) &&
                                s.groupNumber == choice->groupNumber &&
                                s.stat().writeNs > choice->stat().writeNs)
                                choice = &s;
                        }
                        choice->addFlags(QXFileInfo::kNewestInGroup);
                        host.takeGroupNumber();
                        duplicate = true;
                    }
                }
                if (target == 0) verdicts[order[k]] = duplicate;
                if (target == 1) verdicts[order[k]] = !duplicate;
            }
        }
        int percent = int(100 * (k + 1) / n);
        if (percent != last) host.report(last = percent);
    }
    return verdicts;
}

// The same-file rule as a scan comparing each record with the reference.
std::vector<bool> slowSameFile(const QXFileList& files, int32_t algorithm, const std::string& path,
                               TraceHost& host) {
    const size_t n = files.size();
    std::vector<bool> verdicts(n, false);
    auto reference = QXFileInfo::fromPath(path);
    if (!reference) return verdicts;
    const int32_t id = algorithm == 9 ? 10 : algorithm;
    const std::vector<size_t> order = stableBySize(files);
    int last = -1;
    for (size_t k = 0; k < n; ++k) {
        QXFileInfo& f = *files[order[k]];
        if (!f.hasFlag(QXFileInfo::kDecided)) {
            host.showFile(f);
            const bool sizeOk = id == 7 || id == 8 || f.size() == reference->size();
            if (sizeOk && !sameNode(f, *reference) && equalBy(id, *reference, f))
                verdicts[order[k]] = true;
        }
        int percent = int(100 * (k + 1) / n);
        if (percent != last) host.report(last = percent);
    }
    return verdicts;
}

// One random set of files on disk.
struct Fixture {
    test::TempDir dir;
    std::vector<std::string> paths;
    std::vector<uint32_t> presetFlags;
    std::vector<bool> presetGroup;
    std::vector<std::string> vanish;   // removed after the records were made
    std::vector<std::string> rewrite;  // rewritten (new size) after the records were made
    std::string outsideCopy;           // a file outside the list

    explicit Fixture(std::mt19937& rng) {
        const char* names[] = {"a.txt",     "A.TXT",     "b.txt", ".bashrc",  ".profile",
                               "photo.JPG", "PHOTO.png", "noext", "x.tar.gz", "X.tar.bz2"};
        const std::string big(6000, 'q');
        const std::string contents[] = {"",  "aaaa",    "aaab",    "bbbb",          "hello world",
                                        big, big + "1", big + "2", "Z" + big + "1", "aaaa"};
        auto pick = [&](size_t n) { return size_t(rng() % n); };
        const int count = 2 + int(rng() % 12);
        for (int i = 0; i < count; ++i) {
            const std::string rel =
                "d" + std::to_string(i % 4) + "/" + std::to_string(i) + "/" + names[pick(10)];
            const int r = int(rng() % 100);
            if (r < 8 && !paths.empty()) {
                // A hard link of an earlier file.
                const std::string full = dir / rel;
                dir.createDir("d" + std::to_string(i % 4) + "/" + std::to_string(i));
                if (::link(paths[pick(paths.size())].c_str(), full.c_str()) != 0) continue;
                paths.push_back(full);
            } else if (r < 11) {
                const std::string full = dir.createDir("d" + std::to_string(i)) + "/fifo.txt";
                if (::mkfifo(full.c_str(), 0600) != 0) continue;
                paths.push_back(full);
            } else {
                paths.push_back(dir.createFile(rel, contents[pick(10)], 1000 + 1000 * pick(3)));
            }
            const int f = int(rng() % 100);
            presetFlags.push_back(f < 12 ? QXFileInfo::kDecided : 0);
            presetGroup.push_back(f >= 12 && f < 20);
            if (f >= 90) vanish.push_back(paths.back());
            if (f >= 85 && f < 90) rewrite.push_back(paths.back());
        }
        outsideCopy =
            dir.createFile("outside/" + std::string(names[pick(10)]), contents[pick(10)], 5000);
    }

    // Records of every path, with the preset marks; earlier group marks take their
    // numbers from the host as an earlier rule would have.
    QXFileList records(QXRuleHost& host) const {
        QXFileList list;
        for (size_t i = 0; i < paths.size(); ++i) {
            auto rec = QXFileInfo::fromPath(paths[i]);
            if (!rec) continue;
            rec->setFlags(presetFlags[i]);
            if (presetGroup[i]) {
                rec->addFlags(QXFileInfo::kInGroup);
                rec->groupNumber = host.takeGroupNumber();
            }
            list.push_back(rec);
        }
        return list;
    }

    void disturb() const {
        for (const auto& p : vanish) ::unlink(p.c_str());
        for (const auto& p : rewrite) {
            if (std::find(vanish.begin(), vanish.end(), p) != vanish.end()) continue;
            struct stat st;
            if (::lstat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            int fd = ::open(p.c_str(), O_WRONLY | O_APPEND);
            if (fd >= 0) {
                (void)!::write(fd, "+", 1);
                ::close(fd);
            }
        }
    }
};

void expectSameRecords(const QXFileList& slow, const QXFileList& fast, const std::string& what) {
    ASSERT_EQ(slow.size(), fast.size()) << what;
    for (size_t i = 0; i < slow.size(); ++i) {
        EXPECT_EQ(slow[i]->flags() & kMarks, fast[i]->flags() & kMarks)
            << what << " " << slow[i]->nativePath();
        EXPECT_EQ(slow[i]->groupNumber, fast[i]->groupNumber)
            << what << " " << slow[i]->nativePath();
        EXPECT_EQ(slow[i]->inputPosition, fast[i]->inputPosition) << what;
    }
}

TEST(DuplicateDifferential, RandomSetsAgreeWithThePairwiseScan) {
    std::mt19937 rng(20240305);
    for (int round = 0; round < 30; ++round) {
        Fixture fx(rng);
        for (int32_t algorithm = 0; algorithm < QXCheckDuplicateRule::kAlgorithmCount;
             ++algorithm) {
            const int32_t target = int32_t(rng() % 2);
            const int32_t second = int32_t(rng() % QXCheckDuplicateRule::kAlgorithmCount);
            TraceHost slowHost, fastHost;
            QXFileList slow = fx.records(slowHost);
            QXFileList fast = fx.records(fastHost);
            fx.disturb();
            const std::string what = "round " + std::to_string(round) + " algo " +
                                     std::to_string(algorithm) + " then " + std::to_string(second);

            // Two duplicate rules in a row, the second seeing the first one's marks.
            std::vector<bool> expected1 = slowDuplicates(slow, algorithm, target, slowHost);
            std::vector<bool> expected2 = slowDuplicates(slow, second, 1 - target, slowHost);
            QXCheckDuplicateRule first, next;
            first.setAlgorithm(algorithm);
            first.setTarget(target);
            next.setAlgorithm(second);
            next.setTarget(1 - target);
            ASSERT_TRUE(first.apply(fast, fastHost));
            EXPECT_EQ(first.verdicts(), expected1) << what;
            ASSERT_TRUE(next.apply(fast, fastHost));
            EXPECT_EQ(next.verdicts(), expected2) << what;

            expectSameRecords(slow, fast, what);
            EXPECT_EQ(fastHost.nextGroupNumber(), slowHost.nextGroupNumber()) << what;
            EXPECT_EQ(fastHost.shown, slowHost.shown) << what;
            EXPECT_EQ(fastHost.reports, slowHost.reports) << what;
            if (HasFailure()) return;
        }
    }
}

TEST(DuplicateDifferential, CachedSearchesAgreeWithTheUncachedOne) {
    // The first search fills the cache, the second reads its rows from the table, the
    // third from the packs the second wrote.
    std::mt19937 rng(4242);
    for (int round = 0; round < 12; ++round) {
        Fixture fx(rng);
        fx.disturb();
        test::TempDir settings;
        QXCacheServer cache;
        ASSERT_TRUE(cache.open(settings.path()));
        for (const int32_t algorithm : {1, 2, 4, 5, 6, 10}) {
            const int32_t target = int32_t(rng() % 2);
            TraceHost plainHost;
            QXFileList plain = fx.records(plainHost);
            QXCheckDuplicateRule rule;
            rule.setAlgorithm(algorithm);
            rule.setTarget(target);
            ASSERT_TRUE(rule.apply(plain, plainHost));
            const std::vector<bool> expected = rule.verdicts();
            for (int pass = 0; pass < 3; ++pass) {
                const std::string what = "round " + std::to_string(round) + " algo " +
                                         std::to_string(algorithm) + " pass " +
                                         std::to_string(pass);
                TraceHost host;
                host.store = &cache;
                QXFileList cached = fx.records(host);
                ASSERT_TRUE(rule.apply(cached, host));
                EXPECT_EQ(rule.verdicts(), expected) << what;
                expectSameRecords(plain, cached, what);
                EXPECT_EQ(host.shown, plainHost.shown) << what;
                EXPECT_EQ(host.reports, plainHost.reports) << what;
                if (HasFailure()) return;
            }
        }
    }
}

TEST(DuplicateDifferential, SameFileAgreesWithTheDirectComparison) {
    std::mt19937 rng(77);
    for (int round = 0; round < 25; ++round) {
        Fixture fx(rng);
        for (int32_t algorithm = 0; algorithm < QXSameFileRule::kAlgorithmCount; ++algorithm) {
            // The reference: one of the listed files, a file outside the list, or none.
            const int r = int(rng() % 10);
            std::string reference = r < 6   ? fx.paths[rng() % fx.paths.size()]
                                    : r < 9 ? fx.outsideCopy
                                            : fx.dir / "missing";
            TraceHost slowHost, fastHost;
            QXFileList slow = fx.records(slowHost);
            QXFileList fast = fx.records(fastHost);
            fx.disturb();
            const std::string what = "round " + std::to_string(round) + " algo " +
                                     std::to_string(algorithm) + " ref " + reference;

            std::vector<bool> expected = slowSameFile(slow, algorithm, reference, slowHost);
            QXSameFileRule rule;
            rule.setAlgorithm(algorithm);
            rule.setPath(tovy::fromUtf8(reference));
            ASSERT_TRUE(rule.apply(fast, fastHost));
            EXPECT_EQ(rule.verdicts(), expected) << what;
            EXPECT_EQ(fastHost.shown, slowHost.shown) << what;
            EXPECT_EQ(fastHost.reports, slowHost.reports) << what;
            if (HasFailure()) return;
        }
    }
}

}  // namespace
}  // namespace quenrix
