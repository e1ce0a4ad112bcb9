// The extension rule: whether the file's extension (the text after the last "." of its
// name) is one of a comma-separated list, without regard to case. A name without "." has
// no extension and never matches.
//
// Held through std::shared_ptr; settings are changed on the user-interface thread, the
// rule pass runs on the search worker.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rule/QXRule.h"

namespace quenrix {

class QXFileExtRule : public QXRule {
public:
    static constexpr int32_t kInList = 0;
    static constexpr int32_t kNotInList = 1;
    static constexpr int32_t kFunctionCount = 2;
    // Extensions are compared on at most this many characters.
    static constexpr size_t kMaxExtensionLength = 255;

    QXFileExtRule();

    int32_t typeId() const override;
    bool apply(const QXFileList& files, QXRuleHost& host) override;
    std::wstring description() const override;
    std::wstring kindName() const override;
    std::shared_ptr<QXRule> clone() const override;
    void writeOwnPairs(QXRulePairs& out) const override;
    void writeOwnLines(std::wstring& out) const override;
    bool readOwnPair(const std::wstring& key, const std::wstring& value) override;

    // The word of function `f` (description and dialog); empty outside 0 and 1.
    static std::wstring functionWord(int32_t f);

    // The verdict for a file name.
    bool match(const std::wstring& fileName) const;

    // The extensions, without their dots, separated by ",".
    const std::wstring& extensions() const { return m_extensions; }
    void setExtensions(std::wstring extensions);
    int32_t function() const { return m_function; }
    void setFunction(int32_t function) { m_function = function; }

private:
    std::wstring m_extensions;
    int32_t m_function = kInList;
    // The non-empty pieces of m_extensions, lower-cased.
    std::vector<std::wstring> m_pieces;
};

}  // namespace quenrix
