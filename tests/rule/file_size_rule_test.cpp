// The size kind: the file size against size × unit, units in powers of 1000.
#include <gtest/gtest.h>

#include <limits>

#include "rule/QXFileSizeRule.h"

namespace quenrix {
namespace {

class SilentHost : public QXRuleHost {
public:
    bool cancelled() const override { return false; }
    void showFile(const QXFileInfo&) override {}
    void report(int) override {}
};

constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();

TEST(FileSizeRule, MatchTable) {
    struct {
        uint64_t size;
        int32_t unit;
        int32_t function;
        uint64_t fileBytes;
        bool expected;
    } cases[] = {
        {1, 1, 2, 1000, true},  // 1 KByte is 1000 bytes
        {1, 1, 2, 1024, true},
        {1, 1, 2, 999, false},
        {1, 1, 0, 1000, true},
        {1, 1, 0, 1024, false},
        {0, 0, 0, 0, true},  // exactly the empty files
        {0, 0, 0, 1, false},
        {0, 0, 1, 1, true},
        {0, 0, 1, 0, false},
        {5, 2, 3, 5000000, true},
        {5, 2, 3, 5000001, false},
        {5000000000ULL, 0, 2, 4999999999ULL, false},  // beyond 32 bits
        {5000000000ULL, 0, 2, 5000000000ULL, true},
        {3, 3, 2, 3000000000ULL, true},
        {2, 4, 3, 2000000000000ULL, true},
        // A product beyond 64 bits saturates at the largest size.
        {20000000, 4, 2, kMax - 1, false},
        {20000000, 4, 0, kMax, true},
        {20000000, 4, 3, kMax - 1, true},
        // Values the dialog never offers match nothing.
        {0, 0, 4, 0, false},
        {0, 5, 2, 1000, false},
        {0, -1, 1, 1000, false},
    };
    for (const auto& c : cases) {
        QXFileSizeRule rule;
        rule.setSize(c.size);
        rule.setUnit(c.unit);
        rule.setFunction(c.function);
        platform::FileStat st;
        st.size = c.fileBytes;
        SilentHost host;
        ASSERT_TRUE(rule.apply({std::make_shared<QXFileInfo>("/data/f", st)}, host));
        EXPECT_EQ(rule.verdict(0), c.expected)
            << c.size << " unit " << c.unit << " f" << c.function << " vs " << c.fileBytes;
    }
}

TEST(FileSizeRule, DescriptionTable) {
    struct {
        uint64_t size;
        int32_t unit;
        int32_t function;
        const wchar_t* expected;
    } cases[] = {
        {100, 1, 2, L"\"100 KByte\" 以上"},
        {0, 0, 0, L"\"0 Byte\" 一致"},
        {5000000000ULL, 3, 1, L"\"5000000000 GByte\" 一致しない"},
        {7, 4, 3, L"\"7 TByte\" 以下"},
        {kMax, 2, 2, L"\"18446744073709551615 MByte\" 以上"},
        {1, 9, 6, L"\"1 9\" 6"},
    };
    for (const auto& c : cases) {
        QXFileSizeRule rule;
        rule.setSize(c.size);
        rule.setUnit(c.unit);
        rule.setFunction(c.function);
        EXPECT_EQ(rule.description(), c.expected) << c.size;
    }
}

}  // namespace
}  // namespace quenrix
