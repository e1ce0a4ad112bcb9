// The duplicate rule on small sets of real files: groups, the newest mark, both targets,
// name and size algorithms, hard links, progress, cancelling, the comparison text and
// digests taken from the cache.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/QXFileExtras.h"
#include "digest/QXCacheServer.h"
#include "digest/QXDigest.h"
#include "rule/QXCheckDuplicateRule.h"
#include "rule/QXRuleRegistry.h"
#include "support/TempDir.h"

namespace quenrix {
namespace {

class Host : public QXRuleHost {
public:
    bool cancelled() const override { return cancelAfter >= 0 && int(shown) >= cancelAfter; }
    void showFile(const QXFileInfo&) override { ++shown; }
    void report(int p) override { reports.push_back(p); }
    QXCacheServer* cache() const override { return store; }
    int cancelAfter = -1;
    size_t shown = 0;
    std::vector<int> reports;
    QXCacheServer* store = nullptr;
};

struct FileSpec {
    const char* rel;
    std::string data;
    int64_t mtime;
};

QXFileList makeRecords(const test::TempDir& dir, const std::vector<FileSpec>& specs) {
    QXFileList list;
    for (const auto& s : specs)
        list.push_back(QXFileInfo::fromPath(dir.createFile(s.rel, s.data, s.mtime)));
    return list;
}

// One character per record: '1' where the predicate holds.
template <class F>
std::string pattern(const QXFileList& files, F&& f) {
    std::string out;
    for (const auto& r : files) out += f(*r) ? '1' : '0';
    return out;
}

TEST(DuplicateRule, EdgeCaseTable) {
    struct {
        const char* name;
        int32_t algorithm;
        int32_t target;
        std::vector<FileSpec> files;
        const char* verdicts;
        const char* newest;
    } cases[] = {
        {"three equal files, the newest is marked",
         QXCheckDuplicateRule::kXxHash,
         0,
         {{"a/x", "same", 1000}, {"b/x", "same", 2000}, {"c/x", "same", 3000}},
         "111",
         "001"},
        {"exact content likewise",
         QXCheckDuplicateRule::kExact,
         0,
         {{"a/x", "same", 3000}, {"b/x", "same", 2000}, {"c/x", "same", 1000}},
         "111",
         "100"},
        {"equal times: the first in size order keeps the mark",
         QXCheckDuplicateRule::kMd5,
         0,
         {{"big", "longer text", 1000}, {"a/y", "ab", 2000}, {"b/y", "ab", 2000}},
         "011",
         "010"},
        {"same size, other content: no group",
         QXCheckDuplicateRule::kMd5,
         1,
         {{"a", "abcd", 1000}, {"b", "abce", 1000}, {"c", "abcf", 1000}},
         "111",
         "000"},
        {"same size, other content, exact",
         QXCheckDuplicateRule::kExact,
         0,
         {{"a", "abcd", 1000}, {"b", "abce", 1000}},
         "00",
         "00"},
        {"a single file of its size",
         QXCheckDuplicateRule::kSha256,
         0,
         {{"a", "x", 1000}, {"b", "yy", 1000}, {"c", "yy", 2000}},
         "011",
         "001"},
        {"a single file of its size, target 1",
         QXCheckDuplicateRule::kSha1,
         1,
         {{"a", "x", 1000}, {"b", "yy", 1000}, {"c", "yy", 2000}},
         "100",
         "001"},
        {"stems ignore case and extension",
         QXCheckDuplicateRule::kStem,
         0,
         {{"a/photo.JPG", "1", 1000}, {"b/PHOTO.png", "22", 2000}, {"c/photo", "333", 500}},
         "111",
         "010"},
        {"empty stems equal nothing",
         QXCheckDuplicateRule::kStem,
         0,
         {{"a/.bashrc", "1", 1000}, {"b/.profile", "1", 1000}},
         "00",
         "00"},
        {"names group different sizes",
         QXCheckDuplicateRule::kName,
         0,
         {{"a/Read.me", "1", 1000}, {"b/READ.ME", "12345", 2000}, {"c/other", "1", 3000}},
         "110",
         "010"},
        {"name and size needs both",
         QXCheckDuplicateRule::kNameAndSize,
         0,
         {{"a/n", "12", 1000}, {"b/N", "34", 2000}, {"c/n", "345", 3000}},
         "110",
         "010"},
        {"size alone",
         QXCheckDuplicateRule::kSize,
         0,
         {{"a", "12", 1000}, {"b", "34", 2000}, {"c", "345", 3000}},
         "110",
         "010"},
        {"files beyond the prefix differing only at the end",
         QXCheckDuplicateRule::kCrc32,
         0,
         {{"a", std::string(9000, 'z') + "1", 1000},
          {"b", std::string(9000, 'z') + "2", 1000},
          {"c", std::string(9000, 'z') + "1", 2000}},
         "101",
         "001"},
        {"large files, exact",
         QXCheckDuplicateRule::kExact,
         0,
         {{"a", std::string(3 << 20, 'z') + "1", 1000},
          {"b", std::string(3 << 20, 'z') + "2", 1000},
          {"c", std::string(3 << 20, 'z') + "1", 2000}},
         "101",
         "001"},
        {"an algorithm the dialog never offers matches nothing",
         11,
         0,
         {{"a", "same", 1000}, {"b", "same", 1000}},
         "00",
         "00"},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        QXFileList files = makeRecords(dir, c.files);
        QXCheckDuplicateRule rule;
        rule.setAlgorithm(c.algorithm);
        rule.setTarget(c.target);
        Host host;
        ASSERT_TRUE(rule.apply(files, host)) << c.name;
        EXPECT_EQ(pattern(files, [&](QXFileInfo& f) { return rule.verdict(f.inputPosition); }),
                  c.verdicts)
            << c.name;
        EXPECT_EQ(
            pattern(files, [](QXFileInfo& f) { return f.hasFlag(QXFileInfo::kNewestInGroup); }),
            c.newest)
            << c.name;
        EXPECT_EQ(pattern(files, [](QXFileInfo& f) { return f.hasFlag(QXFileInfo::kExamined); }),
                  std::string(files.size(), '1'))
            << c.name;
        // Members of one group share its number.
        for (const auto& a : files)
            for (const auto& b : files)
                if (a->hasFlag(QXFileInfo::kInGroup) && b->hasFlag(QXFileInfo::kInGroup))
                    EXPECT_EQ(a->groupNumber, b->groupNumber) << c.name;
    }
}

TEST(DuplicateRule, GroupNumbersContinueAcrossRulesAndDecidedRecordsAreLeftAlone) {
    test::TempDir dir;
    QXFileList files = makeRecords(dir, {{"a", "11", 1000},
                                         {"b", "11", 1000},
                                         {"c", "2", 1000},
                                         {"d", "2", 1000},
                                         {"e", "2", 1000}});
    files[4]->addFlags(QXFileInfo::kDecided);
    Host host;
    host.takeGroupNumber();  // an earlier rule of the search formed group 0
    QXCheckDuplicateRule rule;
    ASSERT_TRUE(rule.apply(files, host));
    // Sorted by size: c, d first (group 1), then a, b (group 2); e takes no part.
    EXPECT_EQ(files[2]->groupNumber, 1);
    EXPECT_EQ(files[3]->groupNumber, 1);
    EXPECT_EQ(files[0]->groupNumber, 2);
    EXPECT_EQ(files[1]->groupNumber, 2);
    EXPECT_EQ(files[4]->flags(), QXFileInfo::kDecided);
    EXPECT_FALSE(rule.verdict(4));
    EXPECT_EQ(host.nextGroupNumber(), 3);
    for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(files[i]->inputPosition, i);
}

TEST(DuplicateRule, HardLinksTakeNoPartUnderEitherTarget) {
    test::TempDir dir;
    const std::string a = dir.createFile("a", "data", 1000);
    ASSERT_EQ(::link(a.c_str(), (dir / "link").c_str()), 0);
    dir.createFile("copy", "data", 2000);
    for (int32_t target : {0, 1}) {
        QXFileList files{QXFileInfo::fromPath(a), QXFileInfo::fromPath(dir / "link"),
                         QXFileInfo::fromPath(dir / "copy")};
        QXCheckDuplicateRule rule;
        rule.setAlgorithm(QXCheckDuplicateRule::kExact);
        rule.setTarget(target);
        Host host;
        ASSERT_TRUE(rule.apply(files, host));
        EXPECT_EQ(rule.verdict(1), false) << target;
        EXPECT_FALSE(files[1]->hasFlag(QXFileInfo::kInGroup));
        EXPECT_EQ(rule.verdict(0), target == 0);
        EXPECT_EQ(rule.verdict(2), target == 0);
    }
}

// With more files of one size than may stay open, the exact method opens the rest again
// for every chunk; the groups must be the same as with every file open. Contents span
// several chunks and differ only in their last byte, so every chunk is compared.
TEST(DuplicateRule, ExactMethodGroupsAlikeWithFewFilesOpen) {
    test::TempDir dir;
    const std::string body(4096 + 65536 + 1000, 'q');  // three chunk steps
    std::vector<FileSpec> specs;
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        std::string data = body;
        data.back() = char('a' + i % 8);  // eight groups of five, in turn
        specs.push_back({nullptr, data, 1000 + i});
        expected += '1';
    }
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) names.push_back("f" + std::to_string(i));
    for (int i = 0; i < 40; ++i) specs[i].rel = names[i].c_str();
    std::string unique = body;
    unique.back() = 'z';
    specs.push_back({"lone", unique, 5000});
    expected += '0';

    std::vector<std::vector<int32_t>> groupsByLimit;
    for (rlim_t limit : {rlim_t(0), rlim_t(48)}) {
        SCOPED_TRACE(limit);
        QXFileList files = makeRecords(dir, specs);
        struct rlimit saved;
        ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        if (limit) {
            struct rlimit low = saved;
            low.rlim_cur = limit;  // a budget of 12 open files
            ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
        }
        QXCheckDuplicateRule rule;
        rule.setAlgorithm(QXCheckDuplicateRule::kExact);
        Host host;
        const bool applied = rule.apply(files, host);
        ::setrlimit(RLIMIT_NOFILE, &saved);
        ASSERT_TRUE(applied);
        EXPECT_EQ(
            pattern(files, [&](const QXFileInfo& r) { return r.hasFlag(QXFileInfo::kInGroup); }),
            expected);
        std::vector<int32_t> groups;
        for (const auto& f : files)
            groups.push_back(f->hasFlag(QXFileInfo::kInGroup) ? f->groupNumber : -1);
        for (int i = 0; i < 40; ++i) EXPECT_EQ(groups[i], groups[i % 8]) << i;
        groupsByLimit.push_back(groups);
    }
    EXPECT_EQ(groupsByLimit[0], groupsByLimit[1]);
}

TEST(DuplicateRule, UnreadableFilesAreNeverGrouped) {
    test::TempDir dir;
    for (int32_t algorithm : {QXCheckDuplicateRule::kExact, QXCheckDuplicateRule::kXxHash}) {
        QXFileList files = makeRecords(dir, {{"a", "same", 1000}, {"b", "same", 1000}});
        ::unlink((dir / "a").c_str());
        ::unlink((dir / "b").c_str());
        QXCheckDuplicateRule rule;
        rule.setAlgorithm(algorithm);
        Host host;
        ASSERT_TRUE(rule.apply(files, host));
        EXPECT_FALSE(rule.verdict(0)) << algorithm;
        EXPECT_FALSE(rule.verdict(1)) << algorithm;
    }
}

TEST(DuplicateRule, OneRecordReportsFullProgressAndCancelStops) {
    test::TempDir dir;
    QXFileList one = makeRecords(dir, {{"a", "x", 1000}});
    QXCheckDuplicateRule rule;
    Host host;
    ASSERT_TRUE(rule.apply(one, host));
    EXPECT_FALSE(rule.verdict(0));
    EXPECT_EQ(host.reports, std::vector<int>{100});

    QXFileList files = makeRecords(dir, {{"b", "1", 1000}, {"c", "22", 1000}, {"d", "333", 1000}});
    rule.setTarget(QXCheckDuplicateRule::kUnique);
    Host cancelling;
    cancelling.cancelAfter = 1;
    EXPECT_FALSE(rule.apply(files, cancelling));
    EXPECT_EQ(cancelling.shown, 1u);
    EXPECT_TRUE(rule.verdict(0));
    EXPECT_FALSE(rule.verdict(1));
    EXPECT_FALSE(rule.verdict(2));
}

TEST(DuplicateRule, DigestsGoToTheComparisonTextAndComeFromTheCache) {
    test::TempDir dir;
    QXCacheServer cache;
    ASSERT_TRUE(cache.open(dir.createDir("settings")));
    QXFileList files = makeRecords(dir, {{"a", "same", 1000}, {"b", "same", 2000}});
    QXCheckDuplicateRule rule;
    rule.setAlgorithm(QXCheckDuplicateRule::kMd5);
    Host host;
    host.store = &cache;
    ASSERT_TRUE(rule.apply(files, host));
    EXPECT_TRUE(rule.verdict(0) && rule.verdict(1));
    const QXDigestRecord& d = *files[0]->extras().digests;
    EXPECT_EQ(d.comparison, d.md5);
    EXPECT_EQ(d.md5.size(), 32u);

    // The second search takes both digests from the cache without reading: a file made
    // unreadable since still counts as its cached digest says.
    ::chmod((dir / "b").c_str(), 0);
    if (::access((dir / "b").c_str(), R_OK) == 0) ::unlink((dir / "b").c_str());
    QXFileList again = files;
    // Fresh records with the same state.
    again[0] = std::make_shared<QXFileInfo>(files[0]->nativePath(), files[0]->stat());
    again[1] = std::make_shared<QXFileInfo>(files[1]->nativePath(), files[1]->stat());
    Host second;
    second.store = &cache;
    ASSERT_TRUE(rule.apply(again, second));
    EXPECT_TRUE(rule.verdict(0) && rule.verdict(1));
    EXPECT_TRUE(again[1]->hasFlag(QXFileInfo::kMd5Computed));
}

TEST(DuplicateRule, SettingsLabelsAndRegistry) {
    QXRulePtr made = createRule(ruletype::kDuplicate);
    auto* rule = dynamic_cast<QXCheckDuplicateRule*>(made.get());
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->algorithm(), QXCheckDuplicateRule::kXxHash);
    EXPECT_EQ(rule->target(), QXCheckDuplicateRule::kDuplicates);
    EXPECT_EQ(rule->kindName(), L"重複");
    EXPECT_EQ(rule->description(), L"\"xxHash\"[重複したもの]");
    rule->setAlgorithm(5);
    rule->setTarget(1);
    EXPECT_EQ(rule->description(), L"\"SHA2-256\"[重複しないもの]");
    rule->setAlgorithm(3);
    EXPECT_EQ(rule->description(), L"\"ファイル名とファイルサイズが一致\"[重複しないもの]");
    EXPECT_EQ(QXCheckDuplicateRule::algorithmLabel(8), L"ファイル名（拡張子なし）");
    EXPECT_EQ(QXCheckDuplicateRule::algorithmLabel(11), L"");
    EXPECT_EQ(QXCheckDuplicateRule::targetLabel(2), L"");
    auto copy = std::dynamic_pointer_cast<QXCheckDuplicateRule>(rule->clone());
    EXPECT_EQ(copy->algorithm(), 3);
    EXPECT_EQ(copy->target(), 1);
    ASSERT_TRUE(copy->read({{L"algo", L"x"}, {L"func", L"1"}}));
    EXPECT_EQ(copy->algorithm(), 0);
}

}  // namespace
}  // namespace quenrix
