// The same-file rule: records equal to one reference file, the reference itself never
// matching, names whatever the size, a missing reference, settings and descriptions.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "rule/QXRuleRegistry.h"
#include "rule/QXSameFileRule.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

class Host : public QXRuleHost {
public:
    bool cancelled() const override { return cancel; }
    void showFile(const QXFileInfo&) override { ++shown; }
    void report(int p) override { reports.push_back(p); }
    bool cancel = false;
    int shown = 0;
    std::vector<int> reports;
};

std::string verdictText(const QXRule& rule, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += rule.verdict(i) ? '1' : '0';
    return out;
}

TEST(SameFileRule, MatchTable) {
    test::TempDir dir;
    const std::string big(10000, 'b');
    // The list: the reference itself, a hard link of it, a copy, a copy under another
    // name, same size other content, a larger file of the reference's name, an empty stem.
    const std::string ref = dir.createFile("ref/Photo.jpg", "content", 1000);
    ASSERT_EQ(::link(ref.c_str(), (dir / "link.jpg").c_str()), 0);
    const std::vector<std::string> paths = {
        ref,
        dir / "link.jpg",
        dir.createFile("a/photo.JPG", "content", 2000),
        dir.createFile("b/other.png", "content", 2000),
        dir.createFile("c/photo.jpg", "CONTENT", 2000),
        dir.createFile("d/PHOTO.jpg", "much longer content", 2000),
        dir.createFile("e/photo", "x", 2000),
        dir.createFile("f/.photo", "x", 2000),
    };
    const std::string bigRef = dir.createFile("big/ref", big + "1", 1000);
    const std::vector<std::string> bigPaths = {
        dir.createFile("big/same", big + "1", 1000),
        dir.createFile("big/end", big + "2", 1000),
        dir.createFile("big/start", "2" + big, 1000),
    };
    struct {
        int32_t algorithm;
        const std::string* reference;
        const std::vector<std::string>* list;
        const char* expected;
    } cases[] = {
        {QXSameFileRule::kExact, &ref, &paths, "00110000"},
        {QXSameFileRule::kMd5, &ref, &paths, "00110000"},
        {QXSameFileRule::kXxHash, &ref, &paths, "00110000"},
        {QXSameFileRule::kNameAndSize, &ref, &paths, "00101000"},
        {QXSameFileRule::kName, &ref, &paths, "00101100"},
        {QXSameFileRule::kStem, &ref, &paths, "00101110"},
        {QXSameFileRule::kSha512, &bigRef, &bigPaths, "100"},
        {QXSameFileRule::kExact, &bigRef, &bigPaths, "100"},
        {QXSameFileRule::kCrc32, &bigRef, &bigPaths, "100"},
    };
    for (const auto& c : cases) {
        QXFileList files;
        for (const auto& p : *c.list) files.push_back(QXFileInfo::fromPath(p));
        QXSameFileRule rule;
        rule.setAlgorithm(c.algorithm);
        rule.setPath(tovy::fromUtf8(*c.reference));
        Host host;
        ASSERT_TRUE(rule.apply(files, host)) << c.algorithm;
        EXPECT_EQ(verdictText(rule, files.size()), c.expected) << c.algorithm;
        EXPECT_EQ(host.reports.back(), 100);
    }
}

TEST(SameFileRule, EmptyStemOfTheReferenceMatchesNothing) {
    test::TempDir dir;
    const std::string ref = dir.createFile("ref/.bashrc", "x", 1000);
    QXFileList files{QXFileInfo::fromPath(dir.createFile(".profile", "y", 1000)),
                     QXFileInfo::fromPath(dir.createFile(".bashrc", "y", 1000))};
    QXSameFileRule rule;
    rule.setAlgorithm(QXSameFileRule::kStem);
    rule.setPath(tovy::fromUtf8(ref));
    Host host;
    ASSERT_TRUE(rule.apply(files, host));
    EXPECT_EQ(verdictText(rule, 2), "00");
}

TEST(SameFileRule, MissingReferenceDecidedRecordsAndCancel) {
    test::TempDir dir;
    QXFileList files{QXFileInfo::fromPath(dir.createFile("a", "same", 1000)),
                     QXFileInfo::fromPath(dir.createFile("b", "same", 1000))};
    QXSameFileRule rule;
    rule.setAlgorithm(QXSameFileRule::kExact);
    for (const std::string path : {std::string(), dir / "gone", std::string("relative")}) {
        rule.setPath(tovy::fromUtf8(path));
        Host host;
        EXPECT_TRUE(rule.apply(files, host));
        EXPECT_EQ(verdictText(rule, 2), "00");
        EXPECT_EQ(rule.verdicts().size(), 2u);
    }

    const std::string ref = dir.createFile("ref", "same", 1000);
    rule.setPath(tovy::fromUtf8(ref));
    files[0]->addFlags(QXFileInfo::kDecided);
    Host host;
    ASSERT_TRUE(rule.apply(files, host));
    EXPECT_EQ(verdictText(rule, 2), "01");
    EXPECT_EQ(host.shown, 1);

    files[0]->clearFlags(QXFileInfo::kDecided);
    Host cancelling;
    cancelling.cancel = true;
    EXPECT_FALSE(rule.apply(files, cancelling));
    EXPECT_FALSE(rule.verdict(1));
}

TEST(SameFileRule, SettingsLabelsAndRegistry) {
    QXRulePtr made = createRule(ruletype::kSameFile);
    auto* rule = dynamic_cast<QXSameFileRule*>(made.get());
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->algorithm(), QXSameFileRule::kXxHash);
    EXPECT_EQ(rule->path(), L"");
    EXPECT_EQ(rule->kindName(), L"ファイル一致");
    rule->setPath(L"/data/写真.jpg");
    EXPECT_EQ(rule->description(), L"\"xxHash\"[/data/写真.jpg]");
    rule->setAlgorithm(8);
    EXPECT_EQ(rule->description(), L"\"ファイル名が一致（拡張子なし）\"[/data/写真.jpg]");
    EXPECT_EQ(QXSameFileRule::algorithmLabel(9), L"xxHash");
    EXPECT_EQ(QXSameFileRule::algorithmDescription(4), L"SHA1");
    EXPECT_EQ(QXSameFileRule::algorithmLabel(10), L"");
    auto copy = std::dynamic_pointer_cast<QXSameFileRule>(rule->clone());
    EXPECT_EQ(copy->algorithm(), 8);
    EXPECT_EQ(copy->path(), L"/data/写真.jpg");
}

}  // namespace
}  // namespace quenrix
