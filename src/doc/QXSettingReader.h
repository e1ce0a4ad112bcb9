// Reader of the document file (CQuenrixDoc.h): collects the targets with their three
// options, the ignored folders, the rules with the rule operator and the two lists of
// the empty-folder search, for the document to take over once the whole file was read.
//
// Accepts headers of type "qnrx", version 1.00 and 1.01, format "txt " and encoding 03
// (UTF-8, read with the escaping tokenizer) or 00 (Shift_JIS, plain tokenizer). Sections
// and keys may come in any order; unknown ones are ignored. A Rule section whose type
// key names no kind, or whose settings the rule rejects, is dropped with a log line and
// the sections after it are read normally.
//
// One object serves one read(). User-interface thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rule/QXRule.h"
#include "tovy/TovCstReader.h"

namespace quenrix {

class QXSettingReader : public tovy::TovCstReader {
public:
    // True once checkHeader() accepted the header: read() returning false after that
    // means the file could not be read to its end.
    bool headerAccepted() const { return m_headerAccepted; }

    // The collected data, in file order.
    std::vector<std::wstring> targetPaths;
    bool includeSubfolders = false;
    bool includeHidden = false;
    bool includeSystem = false;
    std::vector<std::wstring> ignoreList;
    QXRuleList rules;  // groups not yet attached: see rebuildGroups()
    int32_t ruleOperator = 0;
    bool sawSearchEmptyFolder = false;
    std::vector<std::wstring> patternMatch;
    std::vector<std::wstring> ignoreFile;

protected:
    bool checkHeader(const tovy::TovCstHeader& header) override;
    bool beginSection(const std::wstring& name, const std::wstring& argument) override;
    void endSection(const std::wstring& name) override;
    void receiveText(const std::wstring& key, const std::vector<std::wstring>& values) override;
    std::wstring readToken(tovy::ITovInputTextStream& stream) override;

private:
    enum class Position {
        Top,
        Target,
        Rules,
        Rule,
        SearchEmptyFolder,
        PatternMatchList,
        IgnoreFileList,
    };
    // One accepted section: where its content is read, and whether it is one of the
    // sections this reader knows (an unknown one keeps its parent's position).
    struct Open {
        Position position;
        bool known;
    };

    Position position() const { return m_open.empty() ? Position::Top : m_open.back().position; }
    void receiveTarget(const std::wstring& key, const std::vector<std::wstring>& values);
    void endRule();

    std::vector<Open> m_open;
    bool m_headerAccepted = false;
    int32_t m_ruleTypeId = -1;
    QXRulePairs m_pairs;
};

}  // namespace quenrix
