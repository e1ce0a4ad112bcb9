// The search and re-search commands as the main form runs them.
#include "core/QXSearch.h"

#include <gtest/gtest.h>

#include "doc/CQuenrixDoc.h"
#include "doc/QXFolderHistory.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

namespace quenrix {
namespace {

using test::RecordingSink;
using test::ScriptedPrompt;
using test::TempDir;
using test::TestRule;

// The main form, recorded. Rule check boxes come from `checks` (one per rule).
class FakeForm : public QXSearchHost {
public:
    explicit FakeForm(CQuenrixDoc& doc) : m_doc(doc) {}
    void copyRuleChecks() override {
        for (size_t i = 0; i < m_doc.rules.size() && i < checks.size(); ++i) {
            m_doc.rules[i]->setEnabled(checks[i]);
        }
    }
    void readOptions(bool& sub, bool& hidden, bool& system) override {
        sub = subfolders;
        hidden = false;
        system = false;
    }
    int32_t readRuleOperator() override { return ruleOperator; }
    void clearResultList() override { ++cleared; }
    void runProgress(QXHandleThread& worker) override {
        worker.setProtectedFolders({});
        if (cancelRun) worker.cancel();
        worker.start();
        worker.wait();
        ++runs;
    }
    void fillResultList(const QXFileList& matches, bool) override {
        filled = matches;
        ++fills;
    }

    std::vector<bool> checks;
    bool subfolders = true;
    int32_t ruleOperator = 0;
    bool cancelRun = false;
    int cleared = 0, runs = 0, fills = 0;
    QXFileList filled;

private:
    CQuenrixDoc& m_doc;
};

class SearchTest : public testing::Test {
protected:
    std::vector<std::wstring> filledNames() const {
        std::vector<std::wstring> names;
        for (const auto& f : form.filled) names.push_back(f->fileName());
        return names;
    }
    TempDir dir;
    CQuenrixDoc doc;
    QXSearchState state;
    FakeForm form{doc};
    ScriptedPrompt prompt;
    RecordingSink sink;
    QXFolderHistory history;
    QXSearch search{doc, state, form, prompt, sink, history};
};

TEST_F(SearchTest, RefusesWithoutTargetsRulesOrEnabledRules) {
    EXPECT_FALSE(search.search());
    doc.targets.push_back(QXTarget::fromPath(dir.path()));
    EXPECT_FALSE(search.search());
    doc.rules.push_back(std::make_shared<TestRule>());
    form.checks = {false};
    EXPECT_FALSE(search.search());
    ASSERT_EQ(prompt.boxes.size(), 3u);
    const wchar_t* texts[] = {L"有効な対象がありません", L"有効なルールがありません",
                              L"有効なルールがありません"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(prompt.boxes[i].text, texts[i]);
        EXPECT_EQ(prompt.boxes[i].caption, L"警告");
        EXPECT_EQ(prompt.boxes[i].icon, QXIcon::Warning);
    }
    EXPECT_EQ(form.runs, 0);
}

TEST_F(SearchTest, SortsMatchesAndEntersTheTargetHistory) {
    dir.createFile("t/b.txt");
    dir.createFile("t/A.txt");
    dir.createFile("t/sub/c.txt");
    dir.createFile("t/skip.bin");
    doc.targets = {QXTarget::fromPath(dir / "t")};
    auto rule = std::make_shared<TestRule>();
    rule->predicate = [](QXFileInfo& f) {
        if (f.fileName() == L"c.txt") f.groupNumber = -1;  // sorts before group 0
        return f.fileName().ends_with(L".txt");
    };
    doc.rules = {rule};
    form.checks = {true};
    history.enter("/older");
    ASSERT_TRUE(search.search());
    EXPECT_EQ(filledNames(), (std::vector<std::wstring>{L"c.txt", L"A.txt", L"b.txt"}));
    EXPECT_EQ(state.totalCount, 4u);
    EXPECT_EQ(state.allFiles.size(), 4u);
    EXPECT_EQ(history.entries(), (std::vector<std::string>{dir / "t", "/older"}));
    EXPECT_TRUE(doc.includeSubfolders);
}

TEST_F(SearchTest, RulesRunByPriorityAndDisabledRulesAreNotGroupMembers) {
    dir.createFile("t/a.txt");
    doc.targets = {QXTarget::fromPath(dir / "t")};
    std::vector<std::wstring> order;
    auto low = std::make_shared<TestRule>(std::set<std::wstring>{L"a.txt"}, 10, L"low");
    auto high = std::make_shared<TestRule>(std::set<std::wstring>{L"a.txt"}, 60, L"high");
    auto off = std::make_shared<TestRule>(std::set<std::wstring>{}, 60, L"off");
    low->onRecord = [&](QXFileInfo&) { order.push_back(L"low"); };
    high->onRecord = [&](QXFileInfo&) { order.push_back(L"high"); };
    // {low, off} form an AND group; off is unticked, so the group is low alone.
    groupRules({low, off}, QXRuleGroup::kAnd);
    doc.rules = {low, high, off};
    form.checks = {true, true, false};
    form.ruleOperator = 1;
    ASSERT_TRUE(search.search());
    EXPECT_EQ(order, (std::vector<std::wstring>{L"high"}));  // OR: high decides the file
    form.ruleOperator = 0;
    order.clear();
    ASSERT_TRUE(search.search());
    EXPECT_EQ(order, (std::vector<std::wstring>{L"high", L"low"}));
    EXPECT_EQ(filledNames(), (std::vector<std::wstring>{L"a.txt"}));
    EXPECT_FALSE(off->enabled());
}

TEST_F(SearchTest, CancelledSearchHandsNothingOverAndKeepsTheHistory) {
    dir.createFile("t/a.txt");
    doc.targets = {QXTarget::fromPath(dir / "t")};
    doc.rules = {std::make_shared<TestRule>(std::set<std::wstring>{L"a.txt"})};
    form.checks = {true};
    form.cancelRun = true;
    EXPECT_FALSE(search.search());
    EXPECT_EQ(form.fills, 0);
    EXPECT_TRUE(state.allFiles.empty());
    EXPECT_TRUE(history.entries().empty());
    EXPECT_EQ(sink.finishedCount, 1);
}

TEST_F(SearchTest, ReSearchReusesTheRecordsWithoutReadingTheDisk) {
    std::string a = dir.createFile("t/a.txt");
    dir.createFile("t/b.txt");
    doc.targets = {QXTarget::fromPath(dir / "t")};
    auto rule = std::make_shared<TestRule>(std::set<std::wstring>{L"a.txt"});
    doc.rules = {rule};
    form.checks = {true};

    EXPECT_FALSE(search.reSearch());  // no all-files list yet: nothing, no message
    EXPECT_EQ(form.runs, 0);
    EXPECT_TRUE(prompt.boxes.empty());

    ASSERT_TRUE(search.search());
    QXFileList before = state.allFiles;
    history.clear();
    ::unlink(a.c_str());
    dir.createFile("t/new.txt");
    rule->matching = {L"b.txt", L"new.txt"};
    // Group marks of the last search, the similar-image rule's included, are gone: the
    // result list ticks by them.
    for (const auto& f : before) {
        f->addFlags(QXFileInfo::kInGroup | QXFileInfo::kSimilarWork1 | QXFileInfo::kSimilarWork2);
        f->groupNumber = 5;
    }
    ASSERT_TRUE(search.reSearch());
    EXPECT_EQ(filledNames(), (std::vector<std::wstring>{L"b.txt"}));
    EXPECT_EQ(state.allFiles, before);  // the same records, none added
    for (const auto& f : before) {
        EXPECT_FALSE(f->hasFlag(QXFileInfo::kInGroup | QXFileInfo::kSimilarWork1 |
                                QXFileInfo::kSimilarWork2));
        EXPECT_EQ(f->groupNumber, 0);
    }
    EXPECT_TRUE(history.entries().empty());

    state.allFiles.clear();
    EXPECT_FALSE(search.reSearch());
}

TEST(SearchSort, GroupFirstThenNameWithoutCase) {
    platform::FileStat st;
    auto make = [&](const char* path, int group) {
        auto f = std::make_shared<QXFileInfo>(path, st);
        f->groupNumber = group;
        return f;
    };
    QXFileList list = {make("/a/b.txt", 1),  make("/z/a.txt", 1), make("/a/C.txt", 0),
                       make("/a/B2.txt", 0), make("/a/Émile", 0), make("/a/éa", 0)};
    QXSearch::sortMatches(list);
    std::vector<std::string> paths;
    for (auto& f : list) paths.push_back(f->nativePath());
    EXPECT_EQ(paths, (std::vector<std::string>{"/a/B2.txt", "/a/C.txt", "/a/éa", "/a/Émile",
                                               "/z/a.txt", "/a/b.txt"}));
}

TEST(FolderHistory, EntersAtFrontAndLoadsInOrderWithoutRepeats) {
    QXFolderHistory h;
    for (int i = 0; i < 12; ++i) h.enter("/d" + std::to_string(i));
    EXPECT_EQ(h.entries().size(), QXFolderHistory::kLimit);
    EXPECT_EQ(h.entries().front(), "/d11");
    h.enter("/d5");
    EXPECT_EQ(h.entries().front(), "/d5");
    EXPECT_EQ(h.entries().size(), QXFolderHistory::kLimit);

    QXFolderHistory loaded;
    for (const char* p : {"/a", "/b", "/a", ""}) loaded.loadAppend(p);
    EXPECT_EQ(loaded.entries(), (std::vector<std::string>{"/b", "/a"}));
}

}  // namespace
}  // namespace quenrix
