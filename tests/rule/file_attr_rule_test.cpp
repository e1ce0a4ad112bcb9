// The attribute kind: read-only, hidden, system and archive against a mask.
#include <gtest/gtest.h>

#include "rule/QXFileAttrRule.h"

namespace quenrix {
namespace {

using namespace platform;

class SilentHost : public QXRuleHost {
public:
    bool cancelled() const override { return false; }
    void showFile(const QXFileInfo&) override {}
    void report(int) override {}
};

constexpr uint32_t R = FILE_ATTRIBUTE_READONLY;
constexpr uint32_t H = FILE_ATTRIBUTE_HIDDEN;
constexpr uint32_t S = FILE_ATTRIBUTE_SYSTEM;
constexpr uint32_t A = FILE_ATTRIBUTE_ARCHIVE;
constexpr uint32_t kCompressed = 0x800;
constexpr uint32_t kTemporary = 0x100;

TEST(FileAttrRule, MatchTable) {
    struct {
        uint32_t mask;
        int32_t function;
        uint32_t attributes;
        bool expected;
    } cases[] = {
        {R, 0, R, true},
        {R, 0, R | A, false},
        {R, 2, R, true},
        {R, 2, R | A, true},
        {R, 1, R | A, true},
        {R, 3, H, true},
        {R, 3, R | H, false},
        {0, 0, 0, true},  // none of the four
        {0, 0, H, false},
        {0, 2, R | H | S | A, false},  // an empty mask has nothing to share
        {0, 3, R | H | S | A, true},
        {0, 3, 0, true},
        {R | H, 0, R | H | kCompressed | kTemporary | FILE_ATTRIBUTE_DIRECTORY, true},
        {0, 0, kCompressed | FILE_ATTRIBUTE_REPARSE_POINT, true},
        {H | S, 2, S, true},
        {R, 4, R, false},
        {R, -1, R, false},
    };
    for (const auto& c : cases) {
        QXFileAttrRule rule;
        rule.setMask(c.mask);
        rule.setFunction(c.function);
        FileStat st;
        st.attributes = c.attributes;
        SilentHost host;
        ASSERT_TRUE(rule.apply({std::make_shared<QXFileInfo>("/data/f", st)}, host));
        EXPECT_EQ(rule.verdict(0), c.expected)
            << "mask " << c.mask << " f" << c.function << " vs " << c.attributes;
    }
}

TEST(FileAttrRule, DescriptionTable) {
    struct {
        uint32_t mask;
        int32_t function;
        const wchar_t* expected;
    } cases[] = {
        {R | H | S | A, 0,
         L"「読み取り専用」「アーカイブ」「隠しファイル」「システム」属性が一致する"},
        {S | H, 1, L"「隠しファイル」「システム」属性が一致しない"},
        {A, 2, L"「アーカイブ」属性のどれかと一致"},
        {0, 3, L"属性のどれとも一致しない"},
        {R, 8, L"「読み取り専用」属性8"},
    };
    for (const auto& c : cases) {
        QXFileAttrRule rule;
        rule.setMask(c.mask);
        rule.setFunction(c.function);
        EXPECT_EQ(rule.description(), c.expected) << c.mask << " f" << c.function;
    }
}

}  // namespace
}  // namespace quenrix
