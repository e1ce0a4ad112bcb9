// The file-name rules. QXFilenameRule tests the bare name of each record against a text
// (equal, different, contains, does not contain); QXFilenameWildcardRule and
// QXFilenameRegexpRule (their own headers) derive from it and search a compiled
// expression in the name instead. The three share the settings, the keys, the rule pass
// and the description.
//
// Held through std::shared_ptr like every rule; settings are changed on the user-interface
// thread, the rule pass runs on the search worker.
#pragma once

#include <boost/regex.hpp>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "rule/QXRule.h"

namespace quenrix {

// A compiled wide Perl-syntax expression, shared between a rule and its copies.
using QXWideRegexPtr = std::shared_ptr<const boost::wregex>;

class QXFilenameRule : public QXRule {
public:
    static constexpr int32_t kEqual = 0;
    static constexpr int32_t kNotEqual = 1;
    static constexpr int32_t kContains = 2;
    static constexpr int32_t kNotContains = 3;

    // Names are tested on at most this many characters.
    static constexpr size_t kMaxNameLength = 255;

    QXFilenameRule();

    int32_t typeId() const override;
    bool apply(const QXFileList& files, QXRuleHost& host) override;
    std::wstring description() const override;
    std::wstring kindName() const override;
    std::shared_ptr<QXRule> clone() const override;
    void writeOwnPairs(QXRulePairs& out) const override;
    void writeOwnLines(std::wstring& out) const override;
    bool readOwnPair(const std::wstring& key, const std::wstring& value) override;

    // Whether `name` (already cut and stripped of its extension as the pass does) passes
    // the test.
    virtual bool match(const std::wstring& name) const;

    // The number of functions the kind offers (the dialog's combo box), starting at 0.
    virtual int32_t functionCount() const { return 4; }
    // The word of function `f` as the description and the dialog show it; empty for a
    // value outside 0 to 3.
    static std::wstring functionWord(int32_t f);

    // Copies pattern, function and switches from `other` (the dialog's confirmed copy);
    // the expression kinds take its compiled expression too.
    virtual void assignSettingsFrom(const QXFilenameRule& other);

    const std::wstring& pattern() const { return m_pattern; }
    void setPattern(std::wstring pattern);
    int32_t function() const { return m_function; }
    void setFunction(int32_t function) { m_function = function; }
    bool ignoreExtension() const { return m_ignoreExtension; }
    void setIgnoreExtension(bool on) { m_ignoreExtension = on; }
    bool ignoreCase() const { return m_ignoreCase; }
    void setIgnoreCase(bool on);

    // The name the pass tests for a record's file name: at most kMaxNameLength
    // characters, without its extension when that is ignored.
    std::wstring testedName(const std::wstring& fileName) const;

protected:
    explicit QXFilenameRule(int32_t priority);

    // The text before the quoted pattern in the description.
    virtual std::wstring descriptionPrefix() const { return std::wstring(); }
    // Copies the settings and the base fields into a new rule of the same kind.
    void copyFilenameSettingsTo(QXFilenameRule& other) const;

    const std::wstring& lowerPattern() const { return m_lowerPattern; }

    // Compiles `expression` with the Perl syntax and the collate option (and without
    // regard to case when asked). Null when it is no valid expression.
    static QXWideRegexPtr compileExpression(const std::wstring& expression, bool ignoreCase);
    // Searches `expression` anywhere in `name` and applies the function: true when a
    // match is found and the function is 0, or none is found and it is not 0. A missing
    // expression, or one the engine gives up on for this name, matches nothing.
    bool matchExpression(const QXWideRegexPtr& expression, const std::wstring& name) const;

private:
    void refreshLowerPattern();

    std::wstring m_pattern;
    std::wstring m_lowerPattern;
    int32_t m_function = kEqual;
    bool m_ignoreExtension = false;
    bool m_ignoreCase = false;
};

}  // namespace quenrix
