#include "doc/QXSettingReader.h"

#include "core/QXLog.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"

namespace quenrix {

bool QXSettingReader::checkHeader(const tovy::TovCstHeader& header) {
    m_headerAccepted =
        header.type == tovy::cstCode("qnrx") && header.majorVersion == 1 &&
        header.minorVersion < 2 && header.format == tovy::cstCode("txt ") &&
        (header.encoding == tovy::kCstEncodingAnsi || header.encoding == tovy::kCstEncodingUtf8);
    return m_headerAccepted;
}

std::wstring QXSettingReader::readToken(tovy::ITovInputTextStream& stream) {
    if (header().encoding == tovy::kCstEncodingUtf8) return readEscapedToken(stream);
    return readPlainToken(stream);
}

bool QXSettingReader::beginSection(const std::wstring& name, const std::wstring& argument) {
    const Position at = position();
    switch (at) {
        case Position::Top:
            if (name == L"Target") {
                m_open.push_back({Position::Target, true});
            } else if (name == L"Rules") {
                m_open.push_back({Position::Rules, true});
            } else if (name == L"SearchEmptyFolder") {
                m_open.push_back({Position::SearchEmptyFolder, true});
            } else {
                m_open.push_back({at, false});
            }
            return true;
        case Position::Rules:
            if (name == L"Rule") {
                m_ruleTypeId = ruleTypeIdOf(argument);
                m_pairs.clear();
                m_open.push_back({Position::Rule, true});
            } else {
                m_open.push_back({at, false});
            }
            return true;
        case Position::SearchEmptyFolder:
            if (name == L"PatternMatchList") {
                m_open.push_back({Position::PatternMatchList, true});
                return true;
            }
            if (name == L"IgnoreFileList") {
                m_open.push_back({Position::IgnoreFileList, true});
                return true;
            }
            QXLog::Write(L"Load setting : Illegal syntax.");
            return false;
        case Position::Target:
        case Position::Rule:
            QXLog::Write(L"Load setting : Illegal syntax.");
            return false;
        case Position::PatternMatchList:
        case Position::IgnoreFileList:
            m_open.push_back({at, false});
            return true;
    }
    return false;
}

void QXSettingReader::endSection(const std::wstring& name) {
    if (m_open.empty()) return;  // the base reader closes only what it opened
    const Open closed = m_open.back();
    m_open.pop_back();
    if (!closed.known) {
        // A section of a name this reader does not know; at the top level that is worth
        // a line, inside a known section its content was read in the parent's place.
        if (closed.position == Position::Top) QXLog::Write(L"Load setting : Illegal syntax");
        return;
    }
    if (closed.position == Position::Rule) {
        endRule();
    } else if (closed.position == Position::SearchEmptyFolder) {
        sawSearchEmptyFolder = true;
    }
}

void QXSettingReader::endRule() {
    QXRulePtr rule = createRule(m_ruleTypeId);
    if (!rule) {
        QXLog::Write(L"QXSettingReader : endSection : Out of memory.");
    } else if (!m_pairs.empty()) {
        // Encoding 03: the escaping tokenizer has undone the escapes and taken the
        // enclosing quotes off every value, while the rule takes one pair of quotes off
        // each value it reads; giving each value its pair back keeps a setting that
        // itself begins and ends with a double quote. Encoding 00: the plain tokenizer
        // left the escapes, the rule undoes them (a pair added here would be swallowed
        // by a value ending in a backslash).
        const bool escaped = header().encoding == tovy::kCstEncodingUtf8;
        QXRulePairs pairs;
        pairs.reserve(m_pairs.size());
        for (const auto& [key, value] : m_pairs)
            pairs.emplace_back(key, escaped ? L"\"" + value + L"\"" : value);
        const QXTextForm form = escaped ? QXTextForm::Unescaped : QXTextForm::Raw;
        if (rule->read(pairs, form)) {
            rules.push_back(std::move(rule));
        } else {
            QXLog::Write(L"QXSettingReader : endSection : Failed to load rule.");
        }
    }
    m_ruleTypeId = -1;
    m_pairs.clear();
}

void QXSettingReader::receiveTarget(const std::wstring& key,
                                    const std::vector<std::wstring>& values) {
    if (key == L"Path" || key == L"Ignore") {
        if (values.empty()) {
            QXLog::Write(L"QXSettingReader : receive_target : Illegal syntax");
            return;
        }
        (key == L"Path" ? targetPaths : ignoreList).push_back(values.front());
        return;
    }
    bool* option = nullptr;
    if (key == L"OptSubDir") {
        option = &includeSubfolders;
    } else if (key == L"OptIncludeHidden") {
        option = &includeHidden;
    } else if (key == L"OptIncludeSystem") {
        option = &includeSystem;
    } else {
        return;
    }
    if (values.empty()) {
        QXLog::Write(option == &includeSubfolders
                         ? L"Load setting : Illegal syntax."
                         : L"QXSettingReader : receive_text : Illegal syntax.");
        return;
    }
    *option = values.front() == L"yes";  // exact: "Yes" is off
}

void QXSettingReader::receiveText(const std::wstring& key,
                                  const std::vector<std::wstring>& values) {
    switch (position()) {
        case Position::Target:
            receiveTarget(key, values);
            break;
        case Position::Rules:
            if (key == L"RuleOpe" && !values.empty()) ruleOperator = readInt32(values.front());
            break;
        case Position::Rule: {
            std::wstring value;
            if (values.size() == 1) {
                value = values.front();
            } else {
                for (const std::wstring& v : values) value += v + L",";
            }
            m_pairs.emplace_back(key, std::move(value));
            break;
        }
        case Position::PatternMatchList:
            if (key == L"Item" && !values.empty()) patternMatch.push_back(values.front());
            break;
        case Position::IgnoreFileList:
            if (key == L"Item" && !values.empty()) ignoreFile.push_back(values.front());
            break;
        case Position::Top:
        case Position::SearchEmptyFolder:
            break;
    }
}

}  // namespace quenrix
