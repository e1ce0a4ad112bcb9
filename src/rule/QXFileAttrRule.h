// The attribute rule: tests the read-only, hidden, system and archive attributes of the
// file against a mask (all four equal or not, any or none of the checked ones). Other
// attributes never take part.
//
// Held through std::shared_ptr; settings are changed on the user-interface thread, the
// rule pass runs on the search worker.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WinTypes.h"
#include "rule/QXRule.h"

namespace quenrix {

class QXFileAttrRule : public QXRule {
public:
    static constexpr int32_t kEqual = 0;
    static constexpr int32_t kNotEqual = 1;
    static constexpr int32_t kAny = 2;
    static constexpr int32_t kNone = 3;
    static constexpr int32_t kFunctionCount = 4;

    // The four attributes the rule knows.
    static constexpr uint32_t kKnownAttributes =
        platform::FILE_ATTRIBUTE_READONLY | platform::FILE_ATTRIBUTE_HIDDEN |
        platform::FILE_ATTRIBUTE_SYSTEM | platform::FILE_ATTRIBUTE_ARCHIVE;

    QXFileAttrRule();

    int32_t typeId() const override;
    bool apply(const QXFileList& files, QXRuleHost& host) override;
    std::wstring description() const override;
    std::wstring kindName() const override;
    std::shared_ptr<QXRule> clone() const override;
    void writeOwnPairs(QXRulePairs& out) const override;
    void writeOwnLines(std::wstring& out) const override;
    bool readOwnPair(const std::wstring& key, const std::wstring& value) override;

    // The word of function `f` in the description; empty outside 0 to 3.
    static std::wstring functionWord(int32_t f);
    // The text of function `f` in the dialog's combo box; empty outside 0 to 3.
    static std::wstring functionDialogText(int32_t f);

    // The verdict for a file with the attribute word `attributes`.
    bool match(uint32_t attributes) const;

    // Any of FILE_ATTRIBUTE_READONLY, _HIDDEN, _SYSTEM, _ARCHIVE; other bits are dropped.
    uint32_t mask() const { return m_mask; }
    void setMask(uint32_t mask) { m_mask = mask & kKnownAttributes; }
    int32_t function() const { return m_function; }
    void setFunction(int32_t function) { m_function = function; }

private:
    std::wstring maskLetters() const;

    uint32_t m_mask = 0;
    int32_t m_function = kEqual;
};

}  // namespace quenrix
