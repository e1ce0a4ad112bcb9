// The verdicts of several rules combined into a match: operator AND/OR, groups, the
// decided mark, and the progress of the rule pass.
#include <gtest/gtest.h>

#include "core/QXHandleThread.h"
#include "support/Recorders.h"

namespace quenrix {
namespace {

using test::RecordingSink;
using test::TestRule;

QXFileInfoPtr record(const std::string& name) {
    platform::FileStat st;
    return std::make_shared<QXFileInfo>("/data/" + name, st);
}

// One rule of a case: its verdict for the file "f", its group (0 = none) and group type.
struct RuleSpec {
    bool verdict;
    int group = 0;
    int32_t groupType = QXRuleGroup::kAnd;
};

struct Case {
    const char* name;
    int32_t op;
    std::vector<RuleSpec> rules;
    bool matched;
};

bool runCase(const Case& c, std::vector<std::shared_ptr<TestRule>>* outRules = nullptr) {
    QXSearchParams params;
    params.ruleOperator = c.op;
    params.files = {record("f")};
    std::map<int, QXRuleGroupPtr> groups;
    std::vector<std::shared_ptr<TestRule>> rules;
    for (const auto& ruleSpec : c.rules) {
        auto rule = std::make_shared<TestRule>(ruleSpec.verdict ? std::set<std::wstring>{L"f"}
                                                            : std::set<std::wstring>{});
        if (ruleSpec.group) {
            auto& g = groups[ruleSpec.group];
            if (!g) g = std::make_shared<QXRuleGroup>(ruleSpec.groupType);
            rule->setGroup(g);
        }
        rules.push_back(rule);
        params.rules.push_back(rule);
    }
    RecordingSink sink;
    QXHandleThread worker(std::move(params), sink, nullptr);
    EXPECT_TRUE(worker.buildFileList());
    worker.runRules();
    worker.collect();
    if (outRules) *outRules = rules;
    return worker.matchList().size() == 1;
}

TEST(Combine, OperatorsGroupsAndDecidedRecordsTable) {
    const int32_t AND = 0, OR = 1;
    const Case cases[] = {
        {"and: all true", AND, {{true}, {true}}, true},
        {"and: one false", AND, {{true}, {false}}, false},
        {"or: one true", OR, {{false}, {true}}, true},
        {"or: none true", OR, {{false}, {false}}, false},
        {"and-group under or: true+false", OR, {{true, 1, AND}, {false, 1, AND}}, false},
        {"and-group under or: both true", OR, {{true, 1, AND}, {true, 1, AND}}, true},
        {"or-group under and: false+true", AND, {{false, 1, OR}, {true, 1, OR}}, true},
        {"or-group under and: both false", AND, {{false, 1, OR}, {false, 1, OR}}, false},
        {"group of one behaves like its rule", AND, {{false, 1, OR}}, false},
        {"or: group false, ungrouped true", OR, {{false, 1, AND}, {true, 1, AND}, {true}}, true},
        {"and: two groups, second fails",
         AND,
         {{true, 1, OR}, {false, 1, OR}, {false, 2, AND}, {true, 2, AND}},
         false},
        {"and: group members split by an ungrouped rule",
         AND,
         {{true, 1, AND}, {true}, {true, 1, AND}},
         true},
    };
    for (const auto& c : cases) EXPECT_EQ(runCase(c), c.matched) << c.name;
}

TEST(Combine, DecidedRecordIsNotExaminedByLaterRules) {
    std::vector<std::shared_ptr<TestRule>> rules;
    // AND: A true, B false decides the file; C must not look at it.
    EXPECT_FALSE(runCase({"and", 0, {{true}, {false}, {true}}, false}, &rules));
    EXPECT_EQ(rules[0]->examined.size(), 1u);
    EXPECT_EQ(rules[1]->examined.size(), 1u);
    EXPECT_TRUE(rules[2]->examined.empty());
    EXPECT_FALSE(rules[2]->verdict(0));
    // OR: the first true rule decides.
    EXPECT_TRUE(runCase({"or", 1, {{true}, {true}}, true}, &rules));
    EXPECT_TRUE(rules[1]->examined.empty());
}

TEST(Combine, GroupValueIsUsedOnlyAfterAllItsMembersRan) {
    // Under OR, a true first member of an AND group decides nothing yet; the second
    // member still examines the file.
    std::vector<std::shared_ptr<TestRule>> rules;
    EXPECT_FALSE(runCase({"or", 1, {{true, 1, 0}, {false, 1, 0}}, false}, &rules));
    EXPECT_EQ(rules[1]->examined.size(), 1u);
}

TEST(RulePass, ProgressOfThreeRulesRunsTo99) {
    QXSearchParams params;
    params.ruleOperator = 1;  // OR: nothing is decided by false verdicts
    for (const char* n : {"a", "b"}) params.files.push_back(record(n));
    for (int i = 0; i < 3; ++i) params.rules.push_back(std::make_shared<TestRule>());
    RecordingSink sink;
    QXHandleThread worker(std::move(params), sink, nullptr);
    ASSERT_TRUE(worker.buildFileList());
    worker.runRules();

    // Bars are reset first, with five-space texts.
    ASSERT_GE(sink.overall.size(), 1u);
    EXPECT_EQ(sink.overall[0].percent, 0);
    EXPECT_EQ(sink.overall[0].text, L"     ");
    std::vector<int> overall, task;
    for (size_t i = 1; i < sink.overall.size(); ++i) overall.push_back(sink.overall[i].percent);
    for (const auto& t : sink.task) {
        if (t.text != L"     " && t.text != L"\u3000\u3000\u3000\u3000") task.push_back(t.percent);
    }
    EXPECT_EQ(overall, (std::vector<int>{16, 33, 49, 66, 82, 99}));
    EXPECT_EQ(task, (std::vector<int>{50, 100, 50, 100, 50, 100}));
    EXPECT_EQ(sink.overall.back().text, L"99 %");
    EXPECT_EQ(sink.task.back().text, L"100 %");
    EXPECT_EQ(sink.ruleLines, (std::vector<std::wstring>(3, L"テスト test")));
    EXPECT_EQ(sink.statusLines.back(), L"ルールを適用しています");
}

TEST(RulePass, CancelDuringThirdOfFiveRulesGivesNoResults) {
    QXSearchParams params;
    params.files = {record("a"), record("b")};
    RecordingSink sink;
    QXHandleThread* self = nullptr;
    std::vector<std::shared_ptr<TestRule>> rules;
    for (int i = 0; i < 5; ++i) {
        auto rule = std::make_shared<TestRule>(std::set<std::wstring>{L"a", L"b"});
        rules.push_back(rule);
        params.rules.push_back(rule);
    }
    rules[2]->onRecord = [&](QXFileInfo&) { self->cancel(); };
    QXHandleThread worker(std::move(params), sink, nullptr);
    self = &worker;
    ASSERT_TRUE(worker.start());
    worker.wait();
    EXPECT_TRUE(worker.cancelled());
    EXPECT_TRUE(worker.matchList().empty());
    EXPECT_EQ(rules[2]->examined.size(), 1u);  // the pass stops after the record
    EXPECT_TRUE(rules[3]->examined.empty());
    EXPECT_EQ(sink.finishedCount, 1);
}

}  // namespace
}  // namespace quenrix
