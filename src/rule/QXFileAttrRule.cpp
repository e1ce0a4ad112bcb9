#include "rule/QXFileAttrRule.h"

#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"

namespace quenrix {

namespace {

using namespace platform;

const wchar_t* const kFunctionWords[] = {L"が一致する", L"が一致しない", L"のどれかと一致",
                                         L"のどれとも一致しない"};
const wchar_t* const kDialogTexts[] = {L"と一致する", L"と一致しない",
                                       L"チェックのついた属性のどれかと一致する",
                                       L"チェックのついた属性のどれとも一致しない"};

struct AttributeName {
    uint32_t bit;
    const wchar_t* shown;
};
// The order of the description.
const AttributeName kShownOrder[] = {
    {FILE_ATTRIBUTE_READONLY, L"「読み取り専用」"},
    {FILE_ATTRIBUTE_ARCHIVE, L"「アーカイブ」"},
    {FILE_ATTRIBUTE_HIDDEN, L"「隠しファイル」"},
    {FILE_ATTRIBUTE_SYSTEM, L"「システム」"},
};

struct AttributeLetter {
    uint32_t bit;
    wchar_t letter;
};
// The order of the "attr" value.
const AttributeLetter kLetterOrder[] = {
    {FILE_ATTRIBUTE_READONLY, L'r'},
    {FILE_ATTRIBUTE_HIDDEN, L'h'},
    {FILE_ATTRIBUTE_ARCHIVE, L'a'},
    {FILE_ATTRIBUTE_SYSTEM, L's'},
};

}  // namespace

QXFileAttrRule::QXFileAttrRule() : QXRule(ruleKind(ruletype::kFileAttr)->priority) {}

int32_t QXFileAttrRule::typeId() const {
    return ruletype::kFileAttr;
}

std::wstring QXFileAttrRule::kindName() const {
    return ruleKind(typeId())->kindName;
}

std::wstring QXFileAttrRule::functionWord(int32_t f) {
    if (f < 0 || f >= kFunctionCount) return std::wstring();
    return kFunctionWords[f];
}

std::wstring QXFileAttrRule::functionDialogText(int32_t f) {
    if (f < 0 || f >= kFunctionCount) return std::wstring();
    return kDialogTexts[f];
}

bool QXFileAttrRule::match(uint32_t attributes) const {
    switch (m_function) {
        case kEqual:
            return (attributes & kKnownAttributes) == m_mask;
        case kNotEqual:
            return (attributes & kKnownAttributes) != m_mask;
        case kAny:
            return (attributes & m_mask) != 0;
        case kNone:
            return (attributes & m_mask) == 0;
        default:
            return false;
    }
}

bool QXFileAttrRule::apply(const QXFileList& files, QXRuleHost& host) {
    return applyEach(files, host, [this](QXFileInfo& file) { return match(file.attributes()); });
}

std::wstring QXFileAttrRule::description() const {
    std::wstring text;
    for (const auto& a : kShownOrder) {
        if (m_mask & a.bit) text += a.shown;
    }
    const std::wstring word = functionWord(m_function);
    return text + L"属性" + (word.empty() ? std::to_wstring(m_function) : word);
}

std::shared_ptr<QXRule> QXFileAttrRule::clone() const {
    auto copy = std::make_shared<QXFileAttrRule>();
    copy->m_mask = m_mask;
    copy->m_function = m_function;
    copyBaseTo(*copy);
    return copy;
}

std::wstring QXFileAttrRule::maskLetters() const {
    std::wstring letters;
    for (const auto& a : kLetterOrder) {
        if (m_mask & a.bit) letters += a.letter;
    }
    return letters;
}

void QXFileAttrRule::writeOwnPairs(QXRulePairs& out) const {
    out.emplace_back(L"attr", maskLetters());
    out.emplace_back(L"func", std::to_wstring(m_function));
}

void QXFileAttrRule::writeOwnLines(std::wstring& out) const {
    appendLine(out, L"attr", maskLetters());
    appendLine(out, L"func", std::to_wstring(m_function));
}

bool QXFileAttrRule::readOwnPair(const std::wstring& key, const std::wstring& value) {
    if (key == L"attr") {
        m_mask = 0;
        for (wchar_t c : value) {
            for (const auto& a : kLetterOrder) {
                if (c == a.letter) m_mask |= a.bit;
            }
        }
    } else if (key == L"func") {
        m_function = readInt32(value);
    }
    return true;
}

}  // namespace quenrix
