// The size rule: compares the file size with a threshold of a number of units (Byte,
// KByte, MByte, GByte, TByte: powers of 1000).
//
// Held through std::shared_ptr; settings are changed on the user-interface thread, the
// rule pass runs on the search worker.
#pragma once

#include <cstdint>
#include <string>

#include "rule/QXRule.h"

namespace quenrix {

class QXFileSizeRule : public QXRule {
public:
    static constexpr int32_t kEqual = 0;
    static constexpr int32_t kNotEqual = 1;
    static constexpr int32_t kAtLeast = 2;
    static constexpr int32_t kAtMost = 3;
    static constexpr int32_t kFunctionCount = 4;

    static constexpr int32_t kByte = 0;
    static constexpr int32_t kKByte = 1;
    static constexpr int32_t kMByte = 2;
    static constexpr int32_t kGByte = 3;
    static constexpr int32_t kTByte = 4;
    static constexpr int32_t kUnitCount = 5;

    QXFileSizeRule();

    int32_t typeId() const override;
    bool apply(const QXFileList& files, QXRuleHost& host) override;
    std::wstring description() const override;
    std::wstring kindName() const override;
    std::shared_ptr<QXRule> clone() const override;
    void writeOwnPairs(QXRulePairs& out) const override;
    void writeOwnLines(std::wstring& out) const override;
    bool readOwnPair(const std::wstring& key, const std::wstring& value) override;

    // The word of function `f`; empty outside 0 to 3.
    static std::wstring functionWord(int32_t f);
    // The name of unit `u`; empty outside 0 to 4.
    static std::wstring unitName(int32_t u);
    // Bytes per unit `u`; 0 outside 0 to 4.
    static uint64_t unitBytes(int32_t u);

    // size × bytes per unit; the largest 64-bit value when the product does not fit, 0
    // for a unit outside 0 to 4.
    uint64_t thresholdBytes() const;
    // The verdict for a file of `bytes` bytes. A function or unit outside its range
    // matches nothing.
    bool match(uint64_t bytes) const;

    uint64_t size() const { return m_size; }
    void setSize(uint64_t size) { m_size = size; }
    int32_t function() const { return m_function; }
    void setFunction(int32_t function) { m_function = function; }
    int32_t unit() const { return m_unit; }
    void setUnit(int32_t unit) { m_unit = unit; }

private:
    uint64_t m_size = 0;
    int32_t m_function = kAtLeast;
    int32_t m_unit = kByte;
};

}  // namespace quenrix
