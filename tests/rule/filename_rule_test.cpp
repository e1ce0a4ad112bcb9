// The three file-name kinds: plain text, wildcard and regular expression.
#include <gtest/gtest.h>

#include <string>

#include "rule/QXFilenameRegexpRule.h"
#include "rule/QXFilenameRule.h"
#include "rule/QXFilenameWildcardRule.h"
#include "rule/QXRuleRegistry.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

class SilentHost : public QXRuleHost {
public:
    bool cancelled() const override { return false; }
    void showFile(const QXFileInfo&) override {}
    void report(int) override {}
};

QXFileInfoPtr record(const std::wstring& name) {
    return std::make_shared<QXFileInfo>("/data/" + tovy::toUtf8(name), platform::FileStat{});
}

// The verdict of one rule pass over a single record named `name`.
bool verdictFor(QXRule& rule, const std::wstring& name) {
    SilentHost host;
    EXPECT_TRUE(rule.apply({record(name)}, host));
    return rule.verdict(0);
}

std::shared_ptr<QXFilenameRule> makeRule(int32_t typeId, const std::wstring& pattern,
                                         int32_t function, bool noExt, bool noCase) {
    auto rule = std::dynamic_pointer_cast<QXFilenameRule>(createRule(typeId));
    rule->setPattern(pattern);
    rule->setFunction(function);
    rule->setIgnoreExtension(noExt);
    rule->setIgnoreCase(noCase);
    if (auto* e = dynamic_cast<QXFilenameExpressionRule*>(rule.get())) {
        EXPECT_TRUE(e->compile());
    }
    return rule;
}

constexpr int32_t kPlain = ruletype::kFilename;
constexpr int32_t kWild = ruletype::kFilenameWildcard;
constexpr int32_t kRegex = ruletype::kFilenameRegexp;

TEST(FilenameRule, MatchTable) {
    const std::wstring longRun(60, L'a');
    struct {
        int32_t kind;
        const wchar_t* pattern;
        int32_t function;
        bool noExt;
        bool noCase;
        std::wstring name;
        bool expected;
    } cases[] = {
        // Plain text.
        {kPlain, L"report", 0, false, false, L"Report", false},
        {kPlain, L"report", 0, false, true, L"Report", true},
        {kPlain, L"report", 0, true, false, L"report.txt", true},
        {kPlain, L"report", 0, false, false, L"report.txt", false},
        {kPlain, L"report", 1, false, false, L"report", false},
        {kPlain, L"report", 1, false, false, L"Report", true},
        {kPlain, L"tmp", 2, false, false, L"mytmpfile.doc", true},
        {kPlain, L"TMP", 2, false, true, L"mytmpfile.doc", true},
        {kPlain, L"tmp", 3, false, false, L"a.doc", true},
        {kPlain, L"tmp", 3, false, false, L"tmp.doc", false},
        {kPlain, L"ÉTÉ", 0, false, true, L"été", true},
        {kPlain, L"readme", 0, true, false, L"readme", true},
        {kPlain, L"my.file name", 0, true, false, L"my.file name", true},
        {kPlain, L"archive.tar", 0, true, false, L"archive.tar.gz", true},
        {kPlain, L"report", 7, false, false, L"report", false},
        // Wildcards: the pattern covers the whole name; "+" and "(" keep their meaning.
        {kWild, L"*.jpg", 0, false, false, L"a.jpg", true},
        {kWild, L"*.jpg", 0, false, false, L"a.jpg.bak", false},
        {kWild, L"*.jpg", 0, false, false, L"ajpg", false},
        {kWild, L"*.jpg", 0, false, false, L"A.JPG", false},
        {kWild, L"*.jpg", 0, false, true, L"A.JPG", true},
        {kWild, L"*.jpg", 1, false, false, L"a.png", true},
        {kWild, L"*.jpg", 1, false, false, L"a.jpg", false},
        {kWild, L"?.txt", 0, false, false, L"a.txt", true},
        {kWild, L"?.txt", 0, false, false, L"ab.txt", false},
        {kWild, L"a+b", 0, false, false, L"aab", true},
        {kWild, L"a+b", 0, false, false, L"a+b", false},
        {kWild, L"*.tar", 0, true, false, L"x.tar.gz", true},
        {kWild, L"写真*", 0, false, true, L"写真1.JPG", true},
        // A line feed in a name is an ordinary character, not a place to anchor at.
        {kWild, L"*.jpg", 0, false, false, L"a.jpg\nb.txt", false},
        {kWild, L"*.jpg", 0, false, false, L"b.txt\na.jpg", true},
        // Regular expressions: a match anywhere counts.
        {kRegex, L"jpg", 0, false, false, L"a.jpg.bak", true},
        {kRegex, L"^a\\.jpg$", 0, false, false, L"a.jpg.bak", false},
        {kRegex, L"^a\\.jpg$", 0, false, false, L"a.jpg", true},
        {kRegex, L"jpg$", 0, false, false, L"a.jpg\n", false},
        {kRegex, L"^\\w+$", 0, false, false, L"写真ファイル", true},
        {kRegex, L"^\\w+$", 0, false, false, L"café", true},
        {kRegex, L"^éa", 0, false, true, L"ÉA.txt", true},
        {kRegex, L"jpg", 1, false, false, L"a.png", true},
        // A function the kind does not offer behaves as "does not match".
        {kRegex, L"jpg", 2, false, false, L"a.jpg", false},
        {kRegex, L"jpg", 2, false, false, L"a.png", true},
        // The engine gives up on this one; the file is not selected either way.
        {kRegex, L"(a*)*(b|c)*$x", 0, false, false, longRun, false},
        {kRegex, L"(a*)*(b|c)*$x", 1, false, false, longRun, false},
    };
    for (const auto& c : cases) {
        auto rule = makeRule(c.kind, c.pattern, c.function, c.noExt, c.noCase);
        EXPECT_EQ(verdictFor(*rule, c.name), c.expected)
            << rule->kindName() << " " << tovy::toUtf8(c.pattern) << " f" << c.function << " vs "
            << tovy::toUtf8(c.name);
    }
}

TEST(FilenameRule, NamesAreTestedOnTheirFirst255Characters) {
    const std::wstring name = std::wstring(255, L'x') + L"tail";
    auto rule = makeRule(kRegex, L"tail", 0, false, false);
    EXPECT_FALSE(verdictFor(*rule, name));
    rule = makeRule(kWild, std::wstring(255, L'x'), 0, false, false);
    EXPECT_TRUE(verdictFor(*rule, name));
}

TEST(FilenameRule, DescriptionTable) {
    struct {
        int32_t kind;
        int32_t function;
        bool noExt;
        bool noCase;
        const wchar_t* expected;
    } cases[] = {
        {kPlain, 0, false, false, L"\"a\\b\"と一致"},
        {kPlain, 3, true, true, L"\"a\\b\"を含まない,拡張子無視,小文字大文字区別しない"},
        {kPlain, 2, false, true, L"\"a\\b\"を含む,小文字大文字区別しない"},
        {kWild, 1, true, false, L"ファイル名（ワイルドカード）：\"a\\b\"と一致しない,拡張子無視"},
        {kRegex, 0, false, false, L"\"a\\b\"と一致"},
        // Values without a word show the number.
        {kPlain, 9, false, false, L"\"a\\b\"9"},
        {kRegex, 2, false, false, L"\"a\\b\"2"},
    };
    for (const auto& c : cases) {
        auto rule = makeRule(c.kind, L"a\\b", c.function, c.noExt, c.noCase);
        EXPECT_EQ(rule->description(), c.expected) << c.kind << " f" << c.function;
    }
}

TEST(FilenameRule, InvalidExpressionsFailToReadAndKeepTheOldExpression) {
    struct {
        int32_t kind;
        const wchar_t* pattern;
        bool readable;
    } cases[] = {
        {kWild, L"a(b", false},      {kWild, L"*.[jJ]pg", true}, {kRegex, L"[unclosed", false},
        {kRegex, L"^(x|y)+$", true}, {kPlain, L"a(b", true},
    };
    for (const auto& c : cases) {
        auto rule = createRule(c.kind);
        EXPECT_EQ(rule->read({{L"filename", L"\"" + std::wstring(c.pattern) + L"\""}}), c.readable)
            << tovy::toUtf8(c.pattern);
    }

    auto rule = makeRule(kWild, L"*.jpg", 0, false, false);
    rule->setPattern(L"a(b");
    auto* wildcard = dynamic_cast<QXFilenameWildcardRule*>(rule.get());
    EXPECT_FALSE(wildcard->compile());
    // The old expression belongs to another pattern, so the rule matches nothing.
    EXPECT_FALSE(verdictFor(*rule, L"a.jpg"));
    EXPECT_FALSE(verdictFor(*rule, L"a(b"));
}

TEST(FilenameRule, ChangedSettingsAreCompiledBeforeThePass) {
    auto rule = makeRule(kWild, L"*.jpg", 0, false, false);
    rule->setPattern(L"*.png");
    EXPECT_TRUE(verdictFor(*rule, L"a.png"));
    rule->setIgnoreCase(true);
    EXPECT_TRUE(verdictFor(*rule, L"A.PNG"));
}

TEST(FilenameRule, ClonesAndConfirmedCopiesMatchLikeTheOriginal) {
    for (int32_t kind : {kPlain, kWild, kRegex}) {
        auto rule = makeRule(kind, L"Report", 0, true, true);
        rule->setEnabled(false);
        rule->setStoredGroup(7, 1);
        auto copy = std::dynamic_pointer_cast<QXFilenameRule>(rule->clone());
        ASSERT_TRUE(copy) << kind;
        EXPECT_EQ(copy->typeId(), kind);
        EXPECT_EQ(copy->description(), rule->description());
        EXPECT_FALSE(copy->enabled());
        EXPECT_EQ(copy->storedGroupNumber(), 7u);
        EXPECT_EQ(copy->storedGroupType(), 1);
        EXPECT_TRUE(verdictFor(*copy, L"REPORT.txt")) << kind;

        // The dialog edits a copy and assigns it back when confirmed.
        copy->setPattern(L"other");
        rule->assignSettingsFrom(*copy);
        EXPECT_EQ(rule->pattern(), L"other");
        EXPECT_TRUE(verdictFor(*rule, L"OTHER.txt")) << kind;
    }
}

}  // namespace
}  // namespace quenrix
