#include "rule/QXFileExtRule.h"

#include "platform/Text.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"

namespace quenrix {

namespace {

const wchar_t* const kFunctionWords[] = {L"と一致", L"と一致しない"};

}  // namespace

QXFileExtRule::QXFileExtRule() : QXRule(ruleKind(ruletype::kFileExt)->priority) {}

int32_t QXFileExtRule::typeId() const {
    return ruletype::kFileExt;
}

std::wstring QXFileExtRule::kindName() const {
    return ruleKind(typeId())->kindName;
}

std::wstring QXFileExtRule::functionWord(int32_t f) {
    if (f < 0 || f >= kFunctionCount) return std::wstring();
    return kFunctionWords[f];
}

void QXFileExtRule::setExtensions(std::wstring extensions) {
    m_extensions = std::move(extensions);
    // Consecutive, leading and trailing commas give no pieces; spaces stay in the piece.
    m_pieces.clear();
    size_t start = 0;
    while (start <= m_extensions.size()) {
        size_t comma = m_extensions.find(L',', start);
        if (comma == std::wstring::npos) comma = m_extensions.size();
        if (comma > start) {
            m_pieces.push_back(platform::toLower(m_extensions.substr(start, comma - start)));
        }
        start = comma + 1;
    }
}

bool QXFileExtRule::match(const std::wstring& fileName) const {
    const size_t dot = fileName.rfind(L'.');
    if (dot == std::wstring::npos) return false;
    const std::wstring extension = platform::toLower(fileName.substr(dot + 1, kMaxExtensionLength));
    bool found = false;
    for (const auto& piece : m_pieces) {
        if (piece == extension) {
            found = true;
            break;
        }
    }
    return m_function == kNotInList ? !found : found;
}

bool QXFileExtRule::apply(const QXFileList& files, QXRuleHost& host) {
    return applyEach(files, host, [this](QXFileInfo& file) { return match(file.fileName()); });
}

std::wstring QXFileExtRule::description() const {
    const std::wstring word = functionWord(m_function);
    return L"\"" + m_extensions + L"\"" + (word.empty() ? std::to_wstring(m_function) : word);
}

std::shared_ptr<QXRule> QXFileExtRule::clone() const {
    auto copy = std::make_shared<QXFileExtRule>();
    copy->setExtensions(m_extensions);
    copy->m_function = m_function;
    copyBaseTo(*copy);
    return copy;
}

void QXFileExtRule::writeOwnPairs(QXRulePairs& out) const {
    out.emplace_back(L"ext", quotePairText(m_extensions));
    out.emplace_back(L"func", std::to_wstring(m_function));
}

void QXFileExtRule::writeOwnLines(std::wstring& out) const {
    appendLine(out, L"ext", quoteLineText(m_extensions));
    appendLine(out, L"func", std::to_wstring(m_function));
}

bool QXFileExtRule::readOwnPair(const std::wstring& key, const std::wstring& value) {
    if (key == L"ext") {
        setExtensions(value);
    } else if (key == L"func") {
        m_function = readInt32(value);
    }
    return true;
}

}  // namespace quenrix
