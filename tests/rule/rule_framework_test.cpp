#include <gtest/gtest.h>

#include "rule/QXRule.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"
#include "support/Recorders.h"

namespace quenrix {
namespace {

using test::TestRule;

TEST(RuleRegistry, TableHasEighteenKindsWithKeysAndPriorities) {
    struct {
        int32_t id;
        const wchar_t* key;
        const wchar_t* kind;
        int32_t priority;
    } cases[] = {
        {0, L"filename", L"ファイル名", 50},
        {2, L"filename_regexp", L"ファイル名（正規表現）", 53},
        {3, L"file_ext", L"拡張子", 60},
        {9, L"duplicate", L"重複", 10},
        {13, L"check_archive", L"書庫チェック", 27},
        {16, L"similar_image", L"類似画像", 12},
        {17, L"video", L"Video", 26},  // the video kind is stored under "video"
    };
    for (const auto& c : cases) {
        const QXRuleKind* kind = ruleKind(c.id);
        ASSERT_NE(kind, nullptr) << c.id;
        EXPECT_EQ(ruleTypeKey(c.id), c.key) << c.id;
        EXPECT_STREQ(kind->kindName, c.kind) << c.id;
        EXPECT_EQ(kind->priority, c.priority) << c.id;
        if (*c.key) {
            EXPECT_EQ(ruleTypeIdOf(c.key), c.id) << c.id;
        }
    }
    EXPECT_STREQ(ruleKind(17)->menuLabel, L"動画");
    EXPECT_EQ(ruleKind(18), nullptr);
    EXPECT_EQ(ruleKind(-1), nullptr);
    EXPECT_EQ(ruleTypeIdOf(L"Filename"), -1);  // keys are case-sensitive
    EXPECT_EQ(ruleTypeIdOf(L""), -1);
    EXPECT_EQ(ruleTypeIdOf(L"nonsense"), -1);
    EXPECT_EQ(createRule(99), nullptr);
}

TEST(RuleText, QuotingAndReadingTable) {
    struct {
        const wchar_t* text;
        const wchar_t* pair;
        const wchar_t* line;
    } cases[] = {
        {L"C:\\dir\\", L"\"C:\\\\dir\\\\\"", L"\"C:\\\\dir\\\\\""},
        {L"*.txt", L"\"*.txt\"", L"\"*.txt\""},
        {L"", L"\"\"", L"\"\""},
        {L"写真", L"\"写真\"", L"\"写真\""},
        // Quotes are escaped in both forms, so a text that begins and ends with one
        // reads back as it was.
        {L"\"q\"", L"\"\\\"q\\\"\"", L"\"\\\"q\\\"\""},
        {L"a\"b\\", L"\"a\\\"b\\\\\"", L"\"a\\\"b\\\\\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(quotePairText(c.text), c.pair) << c.text;
        EXPECT_EQ(quoteLineText(c.text), c.line) << c.text;
        EXPECT_EQ(unquoteText(quotePairText(c.text)), c.text) << c.text;
        EXPECT_EQ(readTextValue(quoteLineText(c.text), QXTextForm::Raw), c.text) << c.text;
    }
    EXPECT_EQ(escapeLineText(L"a\"b\\c"), L"a\\\"b\\\\c");
}

// Each stored form is unescaped exactly once: Raw values lose their escapes and quotes,
// values a tokenizer already unescaped only their quotes.
TEST(RuleText, EachFormIsUnescapedOnce) {
    struct {
        const wchar_t* stored;
        QXTextForm form;
        const wchar_t* kept;
    } cases[] = {
        {L"\"C:\\\\dir\\\\\"", QXTextForm::Raw, L"C:\\dir\\"},
        {L"\"say \\\"hi\\\"\"", QXTextForm::Raw, L"say \"hi\""},
        {L"a\\b\\\\c", QXTextForm::Raw, L"a\\b\\c"},  // a lone backslash stays
        {L"\"", QXTextForm::Raw, L"\""},
        {L"", QXTextForm::Raw, L""},
        {L"\"C:\\dir\\\"", QXTextForm::Unescaped, L"C:\\dir\\"},
        {L"\"a\\\\b\"", QXTextForm::Unescaped, L"a\\\\b"},  // no second collapse
        {L"\"a\\\"b\"", QXTextForm::Unescaped, L"a\\\"b"},
        {L"plain", QXTextForm::Unescaped, L"plain"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readTextValue(c.stored, c.form), c.kept) << c.stored;
    }
    TestRule rule;
    EXPECT_TRUE(rule.read({{L"enable", L"\"0\""}}, QXTextForm::Unescaped));
    EXPECT_FALSE(rule.enabled());
}

TEST(RuleText, NumbersReadLikeTheCRuntime) {
    struct {
        const wchar_t* text;
        int32_t i32;
        uint64_t u64;
    } cases[] = {
        {L"42", 42, 42},
        {L"  -7", -7, uint64_t(0) - 7},
        {L"+5x", 5, 5},
        {L"abc", 0, 0},
        {L"", 0, 0},
        {L"12 34", 12, 12},
        {L"3000000000", 2147483647, 3000000000ULL},
        {L"18446744073709551615", 2147483647, 18446744073709551615ULL},
        {L"99999999999999999999", 2147483647, 18446744073709551615ULL},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readInt32(c.text), c.i32) << c.text;
        EXPECT_EQ(readUInt64(c.text), c.u64) << c.text;
    }
}

TEST(RuleEncoding, PairFormHasTheFrameInOrder) {
    TestRule rule;
    rule.pattern = L"C:\\dir\\";
    rule.setEnabled(false);
    rule.setStoredGroup(3000000000ULL, 1);
    QXRulePairs pairs;
    EXPECT_TRUE(rule.writePairs(pairs));
    QXRulePairs expected = {{L"type", L""},
                            {L"pattern", L"\"C:\\\\dir\\\\\""},
                            {L"enable", L"0"},
                            {L"group", L"3000000000"},
                            {L"group_type", L"1"}};
    EXPECT_EQ(pairs, expected);

    TestRule back;
    EXPECT_TRUE(back.read(pairs));
    EXPECT_EQ(back.pattern, L"C:\\dir\\");
    EXPECT_FALSE(back.enabled());
    EXPECT_EQ(back.storedGroupNumber(), 3000000000ULL);
    EXPECT_EQ(back.storedGroupType(), 1);
}

TEST(RuleEncoding, LineFormWritesTheTypeTwice) {
    TestRule rule;
    rule.pattern = L"a\"b";
    std::wstring out;
    rule.writeLines(out);
    EXPECT_EQ(out,
              L"type=\r\npattern=\"a\\\"b\"\r\ntype=\r\nenable=1\r\ngroup=0\r\n"
              L"group_type=0\r\n");
}

TEST(RuleEncoding, ReadingIgnoresUnknownKeysAndKeepsDefaults) {
    TestRule rule;
    rule.pattern = L"default";
    EXPECT_TRUE(rule.read({{L"type", L"x"}, {L"unknown", L"1"}, {L"enable", L"2"}}));
    EXPECT_EQ(rule.pattern, L"default");
    EXPECT_FALSE(rule.enabled());  // only "1" enables
    EXPECT_TRUE(rule.read({{L"enable", L"1"}, {L"group", L"junk"}}));
    EXPECT_TRUE(rule.enabled());
    EXPECT_EQ(rule.storedGroupNumber(), 0u);
}

TEST(RuleGroups, RebuildFromStoredNumbersUsesTheFirstMembersType) {
    auto a = std::make_shared<TestRule>();
    auto b = std::make_shared<TestRule>();
    auto c = std::make_shared<TestRule>();
    auto d = std::make_shared<TestRule>();
    a->setStoredGroup(5, 0);
    b->setStoredGroup(5, 1);
    c->setStoredGroup(9, 1);
    QXRuleList rules = {a, b, c, d};
    rebuildGroups(rules);
    ASSERT_TRUE(a->group());
    EXPECT_EQ(a->group(), b->group());
    EXPECT_EQ(a->group()->type, QXRuleGroup::kAnd);
    ASSERT_TRUE(c->group());
    EXPECT_NE(c->group(), a->group());
    EXPECT_EQ(c->group()->type, QXRuleGroup::kOr);
    EXPECT_FALSE(d->group());
    EXPECT_EQ(a->groupNumber(), a->group()->identity());
}

TEST(RuleGroups, RegroupingMovesRulesAndFreesEmptyGroups) {
    auto a = std::make_shared<TestRule>();
    auto b = std::make_shared<TestRule>();
    auto c = std::make_shared<TestRule>();
    groupRules({a}, QXRuleGroup::kAnd);
    groupRules({b}, QXRuleGroup::kOr);
    std::weak_ptr<QXRuleGroup> oldA = a->group(), oldB = b->group();
    groupRules({a, b}, QXRuleGroup::kOr);
    EXPECT_TRUE(oldA.expired());
    EXPECT_TRUE(oldB.expired());
    EXPECT_EQ(a->group(), b->group());
    EXPECT_EQ(a->groupType(), QXRuleGroup::kOr);

    groupRules({}, QXRuleGroup::kAnd);  // nothing selected: nothing happens
    EXPECT_FALSE(c->group());

    ungroupRules({a});
    EXPECT_FALSE(a->group());
    EXPECT_EQ(a->groupNumber(), 0u);
    QXRulePairs pairs;
    a->writePairs(pairs);
    TestRule back;
    back.read(pairs);
    QXRuleList list = {std::shared_ptr<QXRule>(back.clone())};
    rebuildGroups(list);
    EXPECT_FALSE(list[0]->group());
}

TEST(RuleGroups, DisplayOrderPutsGroupsFirstAndNumbersThem) {
    auto u1 = std::make_shared<TestRule>(std::set<std::wstring>{}, 50, L"u1");
    auto g1 = std::make_shared<TestRule>(std::set<std::wstring>{}, 50, L"g1");
    auto u2 = std::make_shared<TestRule>(std::set<std::wstring>{}, 50, L"u2");
    auto h1 = std::make_shared<TestRule>(std::set<std::wstring>{}, 50, L"h1");
    auto g2 = std::make_shared<TestRule>(std::set<std::wstring>{}, 50, L"g2");
    groupRules({g1, g2}, QXRuleGroup::kAnd);
    groupRules({h1}, QXRuleGroup::kOr);
    QXRuleList rules = {u1, g1, u2, h1, g2};
    sortForDisplay(rules);
    // Grouped first, members together, ungrouped after in their old order.
    EXPECT_EQ(rules[4], u2);
    EXPECT_EQ(rules[3], u1);
    // Groups come in the order of their identities, which the allocator decides: either
    // g1 g2 h1 or h1 g1 g2, but the members of one group always side by side.
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(rules[i]->group());
    EXPECT_TRUE(rules[1] == g1 || rules[1] == g2);
    EXPECT_TRUE(rules[0]->group() == rules[1]->group() || rules[1]->group() == rules[2]->group());
    std::set<int32_t> numbers = {g1->group()->displayNumber, h1->group()->displayNumber};
    EXPECT_EQ(numbers, (std::set<int32_t>{1, 2}));
    EXPECT_EQ(rules[0]->group()->displayNumber, 1);
}

TEST(RuleClone, CopiesSettingsAndGroupNumberButNotTheGroup) {
    auto rule = std::make_shared<TestRule>();
    rule->pattern = L"x";
    rule->setEnabled(false);
    groupRules({rule}, QXRuleGroup::kOr);
    auto copy = rule->clone();
    auto* typed = dynamic_cast<TestRule*>(copy.get());
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(typed->pattern, L"x");
    EXPECT_FALSE(copy->enabled());
    EXPECT_FALSE(copy->group());
    EXPECT_EQ(copy->storedGroupNumber(), rule->groupNumber());
    EXPECT_EQ(copy->storedGroupType(), 1);
    EXPECT_TRUE(copy->verdicts().empty());
}

TEST(RuleEditor, EditWithoutRegisteredEditorReturnsFalse) {
    TestRule rule;
    EXPECT_FALSE(rule.edit(nullptr));
}

}  // namespace
}  // namespace quenrix
