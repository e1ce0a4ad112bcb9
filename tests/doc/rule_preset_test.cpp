// Rule presets and their file: names and patterns holding backslashes and double quotes
// survive repeated saves and loads, the reader's tolerance (comments, a preset without
// its closing line, rules that cannot be used), the refusal of line breaks, and the line
// reader on arbitrary bytes.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/QXLog.h"
#include "doc/QXRulePreset.h"
#include "rule/QXFileExtRule.h"
#include "rule/QXFilenameRule.h"
#include "rule/QXRuleRegistry.h"
#include "support/TempDir.h"
#include "tovy/TovConfReader.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

QXRulePtr filenameRule(int32_t typeId, const std::wstring& pattern) {
    auto rule = std::dynamic_pointer_cast<QXFilenameRule>(createRule(typeId));
    rule->setPattern(pattern);
    return rule;
}

// A rule as its pair form, to compare a rule with its read-back copy.
std::wstring settingsOf(const QXRule& rule) {
    QXRulePairs pairs;
    rule.writePairs(pairs);
    std::wstring text;
    for (const auto& [k, v] : pairs) {
        if (k != L"group") text += k + L"=" + v + L";";  // group numbers are identities
    }
    return text;
}

void writeText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

bool logHas(const std::wstring& part) {
    for (const std::wstring& line : QXLog::takeQueued()) {
        if (line.find(part) != std::wstring::npos) return true;
    }
    return false;
}

TEST(RulePresets, NamesAndPatternsWithBackslashesAndQuotesSurviveRepeatedSaves) {
    test::TempDir dir;
    const wchar_t* names[] = {L"C:\\dir\\", L"say \"hi\"", L"\"quoted\"", L"\\\"", L"", L"写真"};
    QXRulePresets store(dir.path());
    for (const wchar_t* name : names) {
        QXRuleList rules = {filenameRule(ruletype::kFilename, name),
                            filenameRule(ruletype::kFilenameRegexp, L"^a\"b\\d+\\\\$"),
                            filenameRule(ruletype::kFilenameWildcard, L"\"*.jpg\"")};
        auto ext = std::make_shared<QXFileExtRule>();
        ext->setExtensions(L"jpg,\\x\\");
        ext->setEnabled(false);
        rules.push_back(ext);
        groupRules({rules[1], rules[3]}, QXRuleGroup::kOr);
        store.append(QXRulePresets::make(name, 1, rules));
    }
    ASSERT_TRUE(store.save());
    const std::string first = test::readFile(store.filePath());
    EXPECT_NE(first.find("Name=\"say \\\"hi\\\"\"\r\n"), std::string::npos);
    EXPECT_NE(first.find("Name=\"\"\r\n"), std::string::npos);  // the empty name

    for (int round = 0; round < 3; ++round) {
        QXRulePresets back(dir.path() + "/");
        ASSERT_TRUE(back.load()) << round;
        ASSERT_EQ(back.list().size(), std::size(names)) << round;
        for (size_t i = 0; i < std::size(names); ++i) {
            const QXRulePreset& want = *store.list()[i];
            const QXRulePreset& got = *back.list()[i];
            EXPECT_EQ(got.name, want.name) << round << " " << i;
            EXPECT_EQ(got.ruleOpe, 1) << i;
            ASSERT_EQ(got.rules.size(), want.rules.size()) << i;
            for (size_t r = 0; r < got.rules.size(); ++r) {
                EXPECT_EQ(settingsOf(*got.rules[r]), settingsOf(*want.rules[r])) << i << "/" << r;
            }
            // Applying rebuilds the group from the stored numbers, on copies.
            QXRuleList applied;
            QXRulePresets::applyTo(got, applied);
            ASSERT_EQ(applied.size(), got.rules.size());
            EXPECT_NE(applied[0], got.rules[0]);
            ASSERT_TRUE(applied[1]->group());
            EXPECT_EQ(applied[1]->group(), applied[3]->group());
            EXPECT_EQ(applied[1]->groupType(), QXRuleGroup::kOr);
            EXPECT_FALSE(applied[0]->group());
            EXPECT_FALSE(applied[3]->enabled());
        }
        ASSERT_TRUE(back.save()) << round;
        EXPECT_EQ(test::readFile(back.filePath()), first) << round;
    }
}

TEST(RulePresets, ReaderSkipsCommentsUnusableRulesAndAnUnclosedPreset) {
    test::TempDir dir;
    QXLog::clearQueue();
    writeText(dir / "RulePresets.txt",
              "; a comment before anything\r\n"
              "<Preset>\r\n"
              ";Name=\"not this\"\r\n"
              "  Name  =  \"a\\\\b\"  \r\n"
              "RuleOpe=1x\r\n"
              "<Rule>\r\n"
              "type=filename_regexp\r\n"
              ";filename=\"(\"\r\n"
              "filename=\"x=y\\\\d\"\r\n"
              "type=filename_regexp\r\n"
              "enable=0\r\n"
              "</Rule>\r\n"
              "<Rule>\r\n"
              "type=filename_regexp\r\n"
              "filename=\"(\"\r\n"  // does not compile: dropped
              "</Rule>\r\n"
              "<Rule>\n"
              "type=no_such_kind\n"  // LF-only lines read the same
              "</Rule>\n"
              "stray line without equals\r"
              "</Preset>\r\n"
              "\r\n"
              "<Preset>\r\n"
              "Name=unclosed\r\n"
              "<Rule>\r\n"
              "type=filename\r\n"
              "</Rule>\r\n");
    QXRulePresets store(dir.path());
    ASSERT_TRUE(store.load());
    ASSERT_EQ(store.list().size(), 1u);
    const QXRulePreset& p = *store.list()[0];
    EXPECT_EQ(p.name, L"a\\b");
    EXPECT_EQ(p.ruleOpe, 1);
    ASSERT_EQ(p.rules.size(), 1u);
    auto rule = std::dynamic_pointer_cast<QXFilenameRule>(p.rules[0]);
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->pattern(), L"x=y\\d");
    EXPECT_FALSE(rule->enabled());
    EXPECT_TRUE(logHas(L"Failed to load rule."));

    QXRulePresets missing(dir / "nowhere");
    EXPECT_FALSE(missing.load());
    EXPECT_TRUE(missing.list().empty());
}

TEST(RulePresets, LineBreaksAreRefusedAndTheOldFileStays) {
    test::TempDir dir;
    QXRulePresets store(dir.path());
    store.append(QXRulePresets::make(L"kept", 0, {filenameRule(ruletype::kFilename, L"a")}));
    ASSERT_TRUE(store.save());
    const std::string before = test::readFile(store.filePath());

    struct {
        const char* name;
        std::wstring presetName;
        std::wstring pattern;
    } cases[] = {
        {"LF in the name", L"two\nlines", L"a"},
        {"CR in a pattern", L"fine", L"x\ry"},
    };
    for (const auto& c : cases) {
        QXRulePresets bad(dir.path());
        bad.load();
        auto preset =
            QXRulePresets::make(c.presetName, 0, {filenameRule(ruletype::kFilename, c.pattern)});
        EXPECT_TRUE(QXRulePresets::lineBreakIn(*preset)) << c.name;
        bad.append(preset);
        EXPECT_FALSE(bad.save()) << c.name;
        EXPECT_EQ(test::readFile(store.filePath()), before) << c.name;
    }
    EXPECT_FALSE(QXRulePresets::lineBreakIn(*store.list()[0]));
}

// Any bytes at all: the reader and the receiver neither crash nor hang, and whatever
// they read can be written again.
TEST(RulePresets, ArbitraryBytesNeverBreakTheReader) {
    const std::string pieces[] = {"<Preset>",
                                  "</Preset>",
                                  "<Rule>",
                                  "</Rule>",
                                  "Name=",
                                  "type=filename_regexp",
                                  "type=file_ext",
                                  "filename=",
                                  "RuleOpe=",
                                  "=",
                                  ";",
                                  "\r",
                                  "\n",
                                  "\\",
                                  "\"",
                                  " ",
                                  "(",
                                  "\xff",
                                  "\xe3\x81",
                                  std::string(1, '\0'),
                                  "enable=1"};
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int n = int(random() % 40);
        for (int i = 0; i < n; ++i) {
            if (random() % 4 == 0) {
                text.push_back(char(random() % 256));
            } else {
                text += pieces[random() % std::size(pieces)];
            }
        }
        QXRulePresetList list;
        QXRulePresetReceiver receiver(list);
        tovy::TovConfReader wide(&receiver);
        EXPECT_TRUE(wide.readText(text));
        tovy::TovConfReadReceiver narrowReceiver;
        tovy::TovConfReader narrow(&narrowReceiver);
        EXPECT_TRUE(narrow.readText(text));
        for (const auto& preset : list) {
            if (!QXRulePresets::lineBreakIn(*preset)) {
                QXRulePresetList again;
                QXRulePresetReceiver r(again);
                tovy::TovConfReader reader(&r);
                reader.readText(QXRulePresets::fileBytes({preset}));
                ASSERT_EQ(again.size(), 1u) << round;
                EXPECT_EQ(again[0]->name, preset->name) << round;
                EXPECT_EQ(again[0]->rules.size(), preset->rules.size()) << round;
            }
        }
    }
    QXLog::clearQueue();
}

}  // namespace
}  // namespace quenrix
