// Every rule kind of the registry in both text encodings: every
// setting written and read back unchanged, text settings with backslashes included.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "rule/QXCheckDuplicateRule.h"
#include "rule/QXCreateTimeRule.h"
#include "rule/QXFileAttrRule.h"
#include "rule/QXFileExtRule.h"
#include "rule/QXFileSizeRule.h"
#include "rule/QXFilenameRegexpRule.h"
#include "rule/QXFilenameWildcardRule.h"
#include "rule/QXLastAccessTimeRule.h"
#include "rule/QXLastUpdatedTimeRule.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXSameFileRule.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

// The pairs of the line form as the preset reader sees them: one line each, split at the
// first "=", spaces trimmed from both ends.
QXRulePairs parseLines(const std::wstring& text) {
    QXRulePairs pairs;
    auto trim = [](std::wstring s) {
        s.erase(0, s.find_first_not_of(L' '));
        s.erase(s.find_last_not_of(L' ') + 1);
        return s;
    };
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 2;
        if (line.empty()) continue;
        size_t eq = line.find(L'=');
        pairs.emplace_back(trim(line.substr(0, eq)),
                           eq == std::wstring::npos ? std::wstring() : trim(line.substr(eq + 1)));
    }
    return pairs;
}

std::wstring valueOf(const QXRulePairs& pairs, const std::wstring& key) {
    for (const auto& [k, v] : pairs) {
        if (k == key) return v;
    }
    return L"(missing)";
}

// Everything a kind keeps, as one text, to compare a rule with its read-back copy.
std::wstring settingsOf(const QXRule& rule) {
    QXRulePairs pairs;
    rule.writePairs(pairs);
    std::wstring text;
    for (const auto& [k, v] : pairs) text += k + L"=" + v + L";";
    return text + rule.description();
}

platform::SYSTEMTIME makeTime(int y, int mo, int d, int h, int mi, int s, int ms) {
    platform::SYSTEMTIME t;
    t.wYear = uint16_t(y);
    t.wMonth = uint16_t(mo);
    t.wDay = uint16_t(d);
    t.wHour = uint16_t(h);
    t.wMinute = uint16_t(mi);
    t.wSecond = uint16_t(s);
    t.wMilliseconds = uint16_t(ms);
    return t;
}

TEST(RuleKinds, RegistryCreatesEachKindWithItsConstants) {
    for (int32_t id = ruletype::kFilename; id <= ruletype::kAccessTime; ++id) {
        QXRulePtr rule = createRule(id);
        ASSERT_TRUE(rule) << id;
        EXPECT_EQ(rule->typeId(), id);
        EXPECT_EQ(rule->priority(), ruleKind(id)->priority) << id;
        EXPECT_EQ(rule->kindName(), ruleKind(id)->kindName) << id;
        EXPECT_TRUE(rule->enabled());
        EXPECT_EQ(rule->groupNumber(), 0u);
    }
}

TEST(RuleKinds, BothEncodingsRoundTripTable) {
    struct {
        const char* name;
        int32_t typeId;
        std::function<void(QXRule&)> set;
        const wchar_t* key;  // a key whose pair-form value is checked
        const wchar_t* pairValue;
    } cases[] = {
        {"filename with backslashes", ruletype::kFilename,
         [](QXRule& r) {
             auto& f = dynamic_cast<QXFilenameRule&>(r);
             f.setPattern(L"C:\\dir\\");
             f.setFunction(3);
             f.setIgnoreExtension(true);
         },
         L"filename", L"\"C:\\\\dir\\\\\""},
        {"wildcard with a backslash inside", ruletype::kFilenameWildcard,
         [](QXRule& r) {
             auto& f = dynamic_cast<QXFilenameRule&>(r);
             f.setPattern(L"a\\+b*");
             f.setFunction(1);
             f.setIgnoreCase(true);
         },
         L"nocase", L"yes"},
        {"regexp ending in an escaped backslash", ruletype::kFilenameRegexp,
         [](QXRule& r) { dynamic_cast<QXFilenameRule&>(r).setPattern(L"^写真\\d+\\\\"); },
         L"filename", L"\"^写真\\\\d+\\\\\\\\\""},
        {"regexp holding double quotes", ruletype::kFilenameRegexp,
         [](QXRule& r) { dynamic_cast<QXFilenameRule&>(r).setPattern(L"\"a\"|b\\\""); },
         L"filename", L"\"\\\"a\\\"|b\\\\\\\"\""},
        {"extensions", ruletype::kFileExt,
         [](QXRule& r) {
             auto& e = dynamic_cast<QXFileExtRule&>(r);
             e.setExtensions(L"jpg, png,\\x\\");
             e.setFunction(1);
         },
         L"ext", L"\"jpg, png,\\\\x\\\\\""},
        {"size above 32 bits", ruletype::kFileSize,
         [](QXRule& r) {
             auto& s = dynamic_cast<QXFileSizeRule&>(r);
             s.setSize(5000000000ULL);
             s.setFunction(3);
             s.setUnit(4);
         },
         L"size", L"5000000000"},
        {"all attributes", ruletype::kFileAttr,
         [](QXRule& r) {
             auto& a = dynamic_cast<QXFileAttrRule&>(r);
             a.setMask(0x27);
             a.setFunction(2);
         },
         L"attr", L"rhas"},
        {"creation time, stored", ruletype::kCreateTime,
         [](QXRule& r) {
             auto& t = dynamic_cast<QXFileTimeRule&>(r);
             t.setReferenceTime(makeTime(2024, 3, 5, 10, 20, 30, 400));
             t.setTimeType(1);
             t.setFunction(4);
             t.setAmount(7);
             t.setAmountUnit(3);
             t.setPrecision(2);
         },
         L"time", L"2024,3,5,10,20,30,400"},
        {"update time", ruletype::kUpdateTime,
         [](QXRule& r) { dynamic_cast<QXFileTimeRule&>(r).setAmount(30); }, L"funcParam", L"30"},
        {"access time", ruletype::kAccessTime,
         [](QXRule& r) { dynamic_cast<QXFileTimeRule&>(r).setPrecision(4); }, L"funcParamTime",
         L"4"},
        {"duplicate", ruletype::kDuplicate,
         [](QXRule& r) {
             auto& d = dynamic_cast<QXCheckDuplicateRule&>(r);
             d.setAlgorithm(QXCheckDuplicateRule::kSize);
             d.setTarget(QXCheckDuplicateRule::kUnique);
         },
         L"algo", L"9"},
        {"same file, a path with a quote and backslashes", ruletype::kSameFile,
         [](QXRule& r) {
             auto& s = dynamic_cast<QXSameFileRule&>(r);
             s.setAlgorithm(QXSameFileRule::kStem);
             s.setPath(L"/data/a\\\"b\\");
         },
         L"path", L"\"/data/a\\\\\\\"b\\\\\""},
        {"same file, a path in quotes", ruletype::kSameFile,
         [](QXRule& r) { dynamic_cast<QXSameFileRule&>(r).setPath(L"\"/x y\""); }, L"algo", L"9"},
    };
    for (const auto& c : cases) {
        QXRulePtr rule = createRule(c.typeId);
        c.set(*rule);
        rule->setEnabled(false);
        rule->setStoredGroup(5000000000ULL, 1);

        QXRulePairs pairs;
        ASSERT_TRUE(rule->writePairs(pairs)) << c.name;
        EXPECT_EQ(valueOf(pairs, c.key), c.pairValue) << c.name;
        QXRulePtr fromPairs = createRule(c.typeId);
        EXPECT_TRUE(fromPairs->read(pairs)) << c.name;
        EXPECT_EQ(settingsOf(*fromPairs), settingsOf(*rule)) << c.name;

        std::wstring lines;
        rule->writeLines(lines);
        QXRulePtr fromLines = createRule(c.typeId);
        EXPECT_TRUE(fromLines->read(parseLines(lines))) << c.name;
        EXPECT_EQ(settingsOf(*fromLines), settingsOf(*rule)) << c.name;
        EXPECT_FALSE(fromLines->enabled()) << c.name;
        EXPECT_EQ(fromLines->storedGroupNumber(), 5000000000ULL) << c.name;
    }
}

TEST(RuleKinds, OwnKeysComeInTheirOrder) {
    struct {
        int32_t typeId;
        std::vector<std::wstring> keys;
    } cases[] = {
        {ruletype::kFilename, {L"filename", L"func", L"noext", L"nocase"}},
        {ruletype::kFilenameRegexp, {L"filename", L"func", L"noext", L"nocase"}},
        {ruletype::kFileExt, {L"ext", L"func"}},
        {ruletype::kFileSize, {L"size", L"func", L"unit"}},
        {ruletype::kFileAttr, {L"attr", L"func"}},
        {ruletype::kDuplicate, {L"algo", L"func"}},
        {ruletype::kSameFile, {L"algo", L"path"}},
        {ruletype::kUpdateTime,
         {L"time", L"timeType", L"func", L"funcParam", L"funcParamUnit", L"funcParamTime"}},
    };
    for (const auto& c : cases) {
        QXRulePtr rule = createRule(c.typeId);
        QXRulePairs pairs;
        rule->writePairs(pairs);
        std::vector<std::wstring> expected = {L"type"};
        expected.insert(expected.end(), c.keys.begin(), c.keys.end());
        for (const wchar_t* k : {L"enable", L"group", L"group_type"}) expected.push_back(k);
        std::vector<std::wstring> keys;
        for (const auto& [k, v] : pairs) keys.push_back(k);
        EXPECT_EQ(keys, expected) << c.typeId;
        EXPECT_EQ(valueOf(pairs, L"type"), ruleTypeKey(c.typeId));

        std::wstring lines;
        rule->writeLines(lines);
        std::vector<std::wstring> lineKeys;
        for (const auto& [k, v] : parseLines(lines)) lineKeys.push_back(k);
        expected.insert(expected.begin() + 1 + c.keys.size(), L"type");
        EXPECT_EQ(lineKeys, expected) << c.typeId;
    }
}

TEST(RuleKinds, MissingKeysKeepTheDefaultsAndSwitchesNeedExactlyYes) {
    auto rule = std::dynamic_pointer_cast<QXFilenameRule>(createRule(ruletype::kFilename));
    ASSERT_TRUE(rule->read({{L"noext", L"YES"}, {L"nocase", L"yes"}}));
    EXPECT_FALSE(rule->ignoreExtension());
    EXPECT_TRUE(rule->ignoreCase());
    EXPECT_EQ(rule->function(), 0);
    EXPECT_EQ(rule->pattern(), L"");

    auto size = std::dynamic_pointer_cast<QXFileSizeRule>(createRule(ruletype::kFileSize));
    ASSERT_TRUE(size->read({{L"size", L" 12abc"}}));
    EXPECT_EQ(size->size(), 12u);
    EXPECT_EQ(size->function(), QXFileSizeRule::kAtLeast);
    EXPECT_EQ(size->unit(), QXFileSizeRule::kByte);

    auto attr = std::dynamic_pointer_cast<QXFileAttrRule>(createRule(ruletype::kFileAttr));
    ASSERT_TRUE(attr->read({{L"attr", L"s?xa"}}));
    EXPECT_EQ(attr->mask(), 0x24u);

    auto time = std::dynamic_pointer_cast<QXFileTimeRule>(createRule(ruletype::kCreateTime));
    ASSERT_TRUE(time->read({{L"time", L"2024,3"}}));
    EXPECT_EQ(time->referenceTime().wYear, 2024);
    EXPECT_EQ(time->referenceTime().wMonth, 3);
    EXPECT_EQ(time->referenceTime().wDay, 0);
    EXPECT_EQ(time->function(), QXFileTimeRule::kAtOrAfter);
    EXPECT_EQ(time->amountUnit(), QXFileTimeRule::kMinutes);
    ASSERT_TRUE(time->read({{L"time", L"2024,3,5,10,20,30,400,9,9"}}));
    EXPECT_EQ(time->referenceTime().wMilliseconds, 400);
    EXPECT_EQ(time->referenceTime().wDayOfWeek, 0);
}

}  // namespace
}  // namespace quenrix
