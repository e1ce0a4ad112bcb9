#include "rule/QXFilenameRule.h"

#include <clocale>
#include <exception>
#include <iterator>
#include <mutex>

#include "core/QXLog.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"

namespace quenrix {

namespace {

const wchar_t* const kFunctionWords[] = {L"と一致", L"と一致しない", L"を含む", L"を含まない"};

}  // namespace

QXFilenameRule::QXFilenameRule() : QXFilenameRule(ruleKind(ruletype::kFilename)->priority) {}

QXFilenameRule::QXFilenameRule(int32_t priority) : QXRule(priority) {}

int32_t QXFilenameRule::typeId() const {
    return ruletype::kFilename;
}

std::wstring QXFilenameRule::kindName() const {
    return ruleKind(typeId())->kindName;
}

std::wstring QXFilenameRule::functionWord(int32_t f) {
    if (f < 0 || f >= int32_t(std::size(kFunctionWords))) return std::wstring();
    return kFunctionWords[f];
}

void QXFilenameRule::setPattern(std::wstring pattern) {
    m_pattern = std::move(pattern);
    refreshLowerPattern();
}

void QXFilenameRule::setIgnoreCase(bool on) {
    m_ignoreCase = on;
    refreshLowerPattern();
}

void QXFilenameRule::refreshLowerPattern() {
    if (m_ignoreCase) m_lowerPattern = platform::toLower(m_pattern);
}

std::wstring QXFilenameRule::testedName(const std::wstring& fileName) const {
    std::wstring name = fileName.substr(0, kMaxNameLength);
    if (m_ignoreExtension) name = platform::removeExtension(name);
    return name;
}

bool QXFilenameRule::apply(const QXFileList& files, QXRuleHost& host) {
    refreshLowerPattern();
    return applyEach(files, host,
                     [this](QXFileInfo& file) { return match(testedName(file.fileName())); });
}

bool QXFilenameRule::match(const std::wstring& name) const {
    switch (m_function) {
        case kEqual:
        case kNotEqual: {
            const bool equal =
                m_ignoreCase ? platform::equalsNoCase(name, m_pattern) : name == m_pattern;
            return equal == (m_function == kEqual);
        }
        case kContains:
        case kNotContains: {
            const bool found = m_ignoreCase
                                   ? platform::toLower(name).find(m_lowerPattern) != name.npos
                                   : name.find(m_pattern) != name.npos;
            return found == (m_function == kContains);
        }
        default:
            return false;
    }
}

std::wstring QXFilenameRule::description() const {
    std::wstring text = descriptionPrefix();
    text += L"\"" + m_pattern + L"\"";
    // A value the dialog never offers can only come from a hand-edited document.
    text += m_function >= 0 && m_function < functionCount() ? functionWord(m_function)
                                                            : std::to_wstring(m_function);
    if (m_ignoreExtension) text += L",拡張子無視";
    if (m_ignoreCase) text += L",小文字大文字区別しない";
    return text;
}

void QXFilenameRule::copyFilenameSettingsTo(QXFilenameRule& other) const {
    other.assignSettingsFrom(*this);
    copyBaseTo(other);
}

void QXFilenameRule::assignSettingsFrom(const QXFilenameRule& other) {
    m_pattern = other.m_pattern;
    m_function = other.m_function;
    m_ignoreExtension = other.m_ignoreExtension;
    m_ignoreCase = other.m_ignoreCase;
    m_lowerPattern = other.m_lowerPattern;
    refreshLowerPattern();
}

std::shared_ptr<QXRule> QXFilenameRule::clone() const {
    auto copy = std::make_shared<QXFilenameRule>();
    copyFilenameSettingsTo(*copy);
    return copy;
}

void QXFilenameRule::writeOwnPairs(QXRulePairs& out) const {
    out.emplace_back(L"filename", quotePairText(m_pattern));
    out.emplace_back(L"func", std::to_wstring(m_function));
    out.emplace_back(L"noext", m_ignoreExtension ? L"yes" : L"no");
    out.emplace_back(L"nocase", m_ignoreCase ? L"yes" : L"no");
}

void QXFilenameRule::writeOwnLines(std::wstring& out) const {
    appendLine(out, L"filename", quoteLineText(m_pattern));
    appendLine(out, L"func", std::to_wstring(m_function));
    appendLine(out, L"noext", escapeLineText(m_ignoreExtension ? L"yes" : L"no"));
    appendLine(out, L"nocase", escapeLineText(m_ignoreCase ? L"yes" : L"no"));
}

bool QXFilenameRule::readOwnPair(const std::wstring& key, const std::wstring& value) {
    if (key == L"filename") {
        setPattern(value);
    } else if (key == L"func") {
        m_function = readInt32(value);
    } else if (key == L"noext") {
        m_ignoreExtension = value == L"yes";
    } else if (key == L"nocase") {
        setIgnoreCase(value == L"yes");
    }
    return true;
}

QXWideRegexPtr QXFilenameRule::compileExpression(const std::wstring& expression, bool ignoreCase) {
    // no_mod_m: "^" and "$" anchor at the ends of the name only. Names here may hold a
    // line feed, and by default they would also anchor at it, so "*.jpg" would match
    // "a.jpg\nb.txt".
    auto flags = boost::regex_constants::perl | boost::regex_constants::collate |
                 boost::regex_constants::no_mod_m;
    if (ignoreCase) flags |= boost::regex_constants::icase;
    try {
        auto compiled = std::make_shared<const boost::wregex>(expression, flags);
        return compiled;
    } catch (const std::exception&) {
        return nullptr;
    }
}

bool QXFilenameRule::matchExpression(const QXWideRegexPtr& expression,
                                     const std::wstring& name) const {
    if (!expression) return false;
    bool found;
    try {
        found = boost::regex_search(name, *expression);
    } catch (const std::exception&) {
        // The engine gives up on expressions that backtrack without end. Not knowing the
        // answer must not select the file, whatever the function says.
        QXLog::Write(L"QXFilenameRule : match : Expression too complex. (%s,%s)", pattern().c_str(),
                     name.c_str());
        return false;
    }
    return found == (function() == kEqual);
}

}  // namespace quenrix
