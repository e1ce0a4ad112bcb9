// The base of the three metadata kinds (Exif, ID3, video): one property of the file's
// metadata, an operator and a value typed by the user. The base stores and reads the
// three settings, runs the per-file test over the record list and holds the comparisons
// every kind shares; each kind supplies its properties, its per-file test and its labels.
//
// Held through std::shared_ptr; settings are changed on the user-interface thread, the
// rule pass runs on the search worker.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "rule/QXRule.h"

namespace quenrix {

class QXEvalRule : public QXRule {
public:
    // Operators, shared by every property; one that does not apply to the property's
    // comparison makes the test false.
    static constexpr int32_t kContains = 0;
    static constexpr int32_t kNotContains = 1;
    static constexpr int32_t kEqual = 2;
    static constexpr int32_t kNotEqual = 3;
    static constexpr int32_t kGreater = 4;
    static constexpr int32_t kGreaterOrEqual = 5;
    static constexpr int32_t kLess = 6;
    static constexpr int32_t kLessOrEqual = 7;
    static constexpr int32_t kBefore = 8;
    static constexpr int32_t kBeforeOrEqual = 9;
    static constexpr int32_t kAfter = 10;
    static constexpr int32_t kAfterOrEqual = 11;
    static constexpr int32_t kOperatorCount = 12;

    // "に次を含む" … "が次より後、もしくは一致"; empty outside 0 to 11.
    static std::wstring_view operatorLabel(int32_t op);

    bool apply(const QXFileList& files, QXRuleHost& host) override;
    // "<property> <operator> '<value>'"; an index without a label is shown as its number.
    std::wstring description() const override;
    void writeOwnPairs(QXRulePairs& out) const override;
    void writeOwnLines(std::wstring& out) const override;
    bool readOwnPair(const std::wstring& key, const std::wstring& value) override;

    // The per-file test: true when the file satisfies the condition. Reads the file's
    // metadata into its record on first need.
    virtual bool test(QXFileInfo& file) const = 0;
    // The kind's property labels, in index order.
    virtual int32_t propertyCount() const = 0;
    virtual std::wstring_view propertyLabel(int32_t index) const = 0;
    // The value as the description shows it (the Exif kind shows code labels).
    virtual std::wstring displayValue() const { return m_rhs; }

    int32_t property() const { return m_lhs; }
    void setProperty(int32_t index) { m_lhs = index; }
    int32_t op() const { return m_ope; }
    void setOperator(int32_t op) { m_ope = op; }
    const std::wstring& value() const { return m_rhs; }
    void setValue(std::wstring value) { m_rhs = std::move(value); }

    // The comparisons, the file's value on the left. Text: both sides lower-cased and
    // trimmed; contains, not contains and the six orderings by code unit. Integer: the
    // given text read like _wtoi; the six orderings only. Real: the given text read as a
    // double; equal within the double's epsilon, not equal otherwise (also for a text
    // that is no number), and the four orderings. Date-time: both texts in one of the
    // accepted forms (a text of exactly 10 characters given compares local days); equal,
    // not equal and the four before/after operators.
    static bool compareText(std::wstring_view fileText, int32_t op, std::wstring_view given);
    static bool compareInteger(int64_t fileValue, int32_t op, std::wstring_view given);
    static bool compareReal(double fileValue, int32_t op, std::wstring_view given);
    static bool compareDateTime(std::wstring_view fileText, int32_t op, std::wstring_view given);

protected:
    explicit QXEvalRule(int32_t priority) : QXRule(priority) {}
    // Copies property, operator and value (and the base fields) into a clone.
    void copyEvalTo(QXEvalRule& other) const;

private:
    int32_t m_lhs = 0;
    int32_t m_ope = 0;
    std::wstring m_rhs;
};

}  // namespace quenrix
