// The extension kind: the text after the last "." against a comma-separated list.
#include <gtest/gtest.h>

#include "rule/QXFileExtRule.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

class SilentHost : public QXRuleHost {
public:
    bool cancelled() const override { return false; }
    void showFile(const QXFileInfo&) override {}
    void report(int) override {}
};

TEST(FileExtRule, MatchTable) {
    struct {
        const wchar_t* list;
        int32_t function;
        const wchar_t* name;
        bool expected;
    } cases[] = {
        {L"jpg,PNG", 0, L"a.JPG", true},
        {L"jpg,PNG", 0, L"b.png", true},
        {L"jpg,PNG", 0, L"c.gif", false},
        {L"jpg,PNG", 0, L"jpg", false},  // no "." at all
        {L"jpg,PNG", 0, L"README", false},
        {L"jpg,PNG", 1, L"c.gif", true},
        {L"jpg,PNG", 1, L"README", false},  // no extension: false whatever the function
        {L"jpg,PNG", 1, L"a.jpg", false},
        {L"jpg, png", 0, L"b.png", false},  // the piece is " png"
        {L"jpg, png", 0, L"b. png", true},
        {L",,jpg,,", 0, L"a.jpg", true},
        {L",,jpg,,", 0, L"a.", false},  // empty extension; empty pieces are dropped
        {L"gz", 0, L"x.tar.gz", true},  // only the last "." counts
        {L"tar", 0, L"x.tar.gz", false},
        {L"profile", 0, L".profile", true},
        {L"file name", 0, L"my.file name", true},  // spaces do not end an extension here
        {L"ÉTÉ", 0, L"x.été", true},
        {L"jpg", 5, L"a.jpg", true},  // any function but 1 behaves as 0
    };
    for (const auto& c : cases) {
        QXFileExtRule rule;
        rule.setExtensions(c.list);
        rule.setFunction(c.function);
        SilentHost host;
        QXFileList files = {
            std::make_shared<QXFileInfo>("/data/" + tovy::toUtf8(c.name), platform::FileStat{})};
        ASSERT_TRUE(rule.apply(files, host));
        EXPECT_EQ(rule.verdict(0), c.expected)
            << tovy::toUtf8(c.list) << " f" << c.function << " vs " << tovy::toUtf8(c.name);
    }
}

TEST(FileExtRule, DescriptionTable) {
    struct {
        const wchar_t* list;
        int32_t function;
        const wchar_t* expected;
    } cases[] = {
        {L"jpg,png", 0, L"\"jpg,png\"と一致"},
        {L"jpg,png", 1, L"\"jpg,png\"と一致しない"},
        {L"a\\b", 0, L"\"a\\b\"と一致"},
        {L"jpg", 4, L"\"jpg\"4"},
    };
    for (const auto& c : cases) {
        QXFileExtRule rule;
        rule.setExtensions(c.list);
        rule.setFunction(c.function);
        EXPECT_EQ(rule.description(), c.expected) << c.function;
    }
}

}  // namespace
}  // namespace quenrix
