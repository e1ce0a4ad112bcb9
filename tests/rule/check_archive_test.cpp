// The archive check rule: its verdicts and log lines over archives the test makes (with
// the project's modules and with none), the member list, decided records, and the kind's
// frame (no settings, no dialog, the common keys only).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rule/QXCheckArchiveRule.h"
#include "rule/QXRuleRegistry.h"
#include "support/ArchiveFixtures.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"
#include "tovy/support_archive/Manager.h"

namespace quenrix {
namespace {

using test::ArchiveKind;
using test::ArchiveMember;

class Host : public QXRuleHost {
public:
    bool cancelled() const override { return false; }
    void showFile(const QXFileInfo& file) override { shown.push_back(file.fullPath()); }
    void report(int) override {}
    std::vector<std::wstring> shown;
};

const std::vector<ArchiveMember> kThreeFiles = {
    {"a.txt", "first file"}, {"sub/", ""}, {"sub/b.txt", "second file"}, {"c.txt", "third"}};
const std::vector<std::wstring> kThreeNames = {L"a.txt", L"sub/b.txt", L"c.txt"};

// The log lines one examined file leaves: its path, and the second line (which ends in a
// line break of its own, so an empty line follows it).
std::vector<std::wstring> linesFor(const std::string& path, const wchar_t* second) {
    std::vector<std::wstring> out = {tovy::fromUtf8(path)};
    if (second) {
        std::wstring text = second;
        text.pop_back();
        out.push_back(text);
        out.push_back(L"");
    }
    return out;
}

std::vector<std::wstring> nonEmptyTail(std::vector<std::wstring> lines) {
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

class CheckArchiveRuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::archiverBuildFolder().empty()) GTEST_SKIP() << "modules not built";
        ASSERT_EQ(modules.LoadArchivers(test::archiverBuildFolder()), 9u);
    }
    test::TempDir dir;
    tovy::support_archive::Manager modules;
};

TEST_F(CheckArchiveRuleTest, VerdictsLogLinesAndMembers) {
    const std::string zip = test::writeArchive(ArchiveKind::kZip, kThreeFiles);
    // An ordinary program, renamed.
    const std::string program = test::readFile("/bin/true");
    auto flipped = [](std::string bytes, size_t at) {
        bytes[at] = char(bytes[at] ^ 0x55);
        return bytes;
    };
    const wchar_t* none = QXCheckArchiveRule::kNoArchiverLine;
    const wchar_t* cannot = QXCheckArchiveRule::kCannotOpenLine;
    const struct {
        const char* name;
        std::string bytes;
        bool verdict;
        const wchar_t* line;  // the second log line, or null
        std::vector<std::wstring> members;
    } cases[] = {
        {"three.zip", zip, true, nullptr, kThreeNames},
        {"data.ZIP", zip, true, nullptr, kThreeNames},
        {"backup.tar.gz", test::writeArchive(ArchiveKind::kTarGz, kThreeFiles), true, nullptr,
         kThreeNames},
        {"backup.tar.bz2", test::writeArchive(ArchiveKind::kTarBz2, kThreeFiles), true, nullptr,
         kThreeNames},
        {"three.7z", test::writeArchive(ArchiveKind::kSevenZip, kThreeFiles), true, nullptr,
         kThreeNames},
        {"two.lzh",
         test::writeLzh({{"a.txt", "first"}, {"b.txt", "second"}}),
         true,
         nullptr,
         {L"a.txt", L"b.txt"}},
        {"two.cab",
         test::writeCab({{"a.txt", "first"}, {"b.txt", "second"}}),
         true,
         nullptr,
         {L"a.txt", L"b.txt"}},
        {"folders.zip",
         test::writeArchive(ArchiveKind::kZip, {{"d/", ""}, {"d/e/", ""}}),
         false,
         nullptr,
         {}},
        {"folders.tar.gz",
         test::writeArchive(ArchiveKind::kTarGz, {{"d/", ""}}),
         false,
         nullptr,
         {}},
        {"empty.zip", test::writeArchive(ArchiveKind::kZip, {}), false, nullptr, {}},
        {"setup.exe", test::selfExtracting(zip), true, nullptr, kThreeNames},
        {"program.exe", program, true, none, {}},
        {"notes.txt", "plain text", true, none, {}},
        {"noextension", "plain text", true, none, {}},
        {"truncated.zip", zip.substr(0, zip.size() / 2), true, cannot, {}},
        {"garbage.rar", "not a rar", true, cannot, {}},
        {"old.gca", "no module reads this format", true, cannot, {}},
        // Damage inside a member ends the listing before that member.
        {"first-damaged.zip",
         flipped(zip, test::zipDataOffset(zip, "a.txt") + 1),
         false,
         nullptr,
         {}},
        {"second-damaged.zip",
         flipped(zip, test::zipDataOffset(zip, "sub/b.txt")),
         true,
         nullptr,
         {L"a.txt"}},
    };
    ASSERT_FALSE(program.empty());
    QXFileList files;
    for (const auto& c : cases)
        files.push_back(QXFileInfo::fromPath(dir.createFile(c.name, c.bytes)));

    QXCheckArchiveRule rule(&modules);
    for (size_t i = 0; i < files.size(); ++i) {
        const auto& c = cases[i];
        test::LogCapture log;
        EXPECT_EQ(rule.check(*files[i]), c.verdict) << c.name;
        EXPECT_EQ(nonEmptyTail(log.messages()), nonEmptyTail(linesFor(dir / c.name, c.line)))
            << c.name;
        EXPECT_EQ(rule.members(), c.members) << c.name;
    }

    // The whole pass gives the same verdicts, and each file is shown once.
    Host host;
    ASSERT_TRUE(rule.apply(files, host));
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(rule.verdict(i), cases[i].verdict) << cases[i].name;
    EXPECT_EQ(host.shown.size(), files.size());
}

TEST_F(CheckArchiveRuleTest, SecondLineEndsWithItsLineBreak) {
    const std::string path = dir.createFile("notes.txt", "x");
    test::LogCapture log;
    QXCheckArchiveRule rule(&modules);
    EXPECT_TRUE(rule.check(*QXFileInfo::fromPath(path)));
    EXPECT_EQ(log.messages(),
              (std::vector<std::wstring>{
                  tovy::fromUtf8(path), L"書庫でないか、対応したアーカイバＤＬＬが見つかりません。",
                  L""}));
}

TEST_F(CheckArchiveRuleTest, DecidedRecordsAreNeitherExaminedNorLogged) {
    const std::string folders =
        dir.createFile("folders.zip", test::writeArchive(ArchiveKind::kZip, {{"d/", ""}}));
    const std::string decided = dir.createFile("decided.txt", "x");
    QXFileList files = {QXFileInfo::fromPath(folders), QXFileInfo::fromPath(decided)};
    files[1]->addFlags(QXFileInfo::kDecided);
    test::LogCapture log;
    QXCheckArchiveRule rule(&modules);
    Host host;
    ASSERT_TRUE(rule.apply(files, host));
    EXPECT_FALSE(rule.verdict(0));
    EXPECT_FALSE(rule.verdict(1));
    EXPECT_FALSE(log.hasPart(tovy::fromUtf8(decided)));
    EXPECT_EQ(host.shown, std::vector<std::wstring>{tovy::fromUtf8(folders)});
}

TEST(CheckArchiveRule, WithoutModulesEveryFileMatches) {
    test::TempDir dir;
    tovy::support_archive::Manager nothing;
    ASSERT_EQ(nothing.LoadArchivers(dir.path()), 0u);
    const std::vector<std::string> paths = {
        dir.createFile("three.zip", test::writeArchive(ArchiveKind::kZip, kThreeFiles)),
        dir.createFile("folders.zip", test::writeArchive(ArchiveKind::kZip, {{"d/", ""}})),
        dir.createFile("setup.exe",
                       test::selfExtracting(test::writeArchive(ArchiveKind::kZip, kThreeFiles))),
        dir.createFile("notes.txt", "x"),
    };
    QXFileList files;
    std::vector<std::wstring> expected;
    for (const auto& p : paths) {
        files.push_back(QXFileInfo::fromPath(p));
        for (auto& line : linesFor(p, QXCheckArchiveRule::kNoArchiverLine))
            expected.push_back(line);
    }
    test::LogCapture log;
    QXCheckArchiveRule rule(&nothing);
    Host host;
    ASSERT_TRUE(rule.apply(files, host));
    for (size_t i = 0; i < files.size(); ++i) EXPECT_TRUE(rule.verdict(i)) << paths[i];
    EXPECT_EQ(nonEmptyTail(log.messages()), nonEmptyTail(expected));
}

TEST(CheckArchiveRule, KindWithoutSettings) {
    QXRulePtr made = createRule(ruletype::kCheckArchive);
    ASSERT_NE(made, nullptr);
    auto* rule = dynamic_cast<QXCheckArchiveRule*>(made.get());
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->typeId(), 13);
    EXPECT_EQ(rule->typeKey(), L"check_archive");
    EXPECT_EQ(rule->kindName(), L"書庫チェック");
    EXPECT_EQ(rule->priority(), 27);
    EXPECT_EQ(rule->description(), L"");
    // No dialog exists, and none is needed: editing succeeds at once.
    EXPECT_TRUE(rule->edit(nullptr));

    rule->setEnabled(false);
    rule->setStoredGroup(7, 1);
    QXRulePairs pairs;
    ASSERT_TRUE(rule->writePairs(pairs));
    EXPECT_EQ(pairs, (QXRulePairs{{L"type", L"check_archive"},
                                  {L"enable", L"0"},
                                  {L"group", L"7"},
                                  {L"group_type", L"1"}}));
    std::wstring lines;
    rule->writeLines(lines);
    EXPECT_EQ(lines,
              L"type=check_archive\r\ntype=check_archive\r\nenable=0\r\ngroup=7\r\n"
              L"group_type=1\r\n");

    QXRulePtr copy = rule->clone();
    ASSERT_NE(dynamic_cast<QXCheckArchiveRule*>(copy.get()), nullptr);
    EXPECT_FALSE(copy->enabled());
    EXPECT_EQ(copy->groupNumber(), 7u);

    QXRulePtr read = createRule(ruletype::kCheckArchive);
    ASSERT_TRUE(read->read(pairs));
    EXPECT_FALSE(read->enabled());
    EXPECT_EQ(read->storedGroupType(), 1);
}

}  // namespace
}  // namespace quenrix
