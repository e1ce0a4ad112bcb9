#include "doc/QXRulePreset.h"

#include <algorithm>

#include "core/QXLog.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"
#include "tovy/TovStream.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

bool holdsLineBreak(const std::wstring& text) {
    return text.find_first_of(L"\r\n") != std::wstring::npos;
}

// toUtf8 stops at a zero character; a name read from a damaged file may hold one, and
// it must not cut the rest of the file off.
std::string encode(std::wstring_view text) {
    std::string out;
    size_t start = 0;
    for (;;) {
        size_t zero = text.find(L'\0', start);
        if (zero == std::wstring_view::npos) zero = text.size();
        out += tovy::toUtf8(text.substr(start, zero - start));
        if (zero == text.size()) break;
        out.push_back('\0');
        start = zero + 1;
    }
    return out;
}

}  // namespace

bool QXRulePresetReceiver::onPair(const std::wstring& key, const std::wstring& value) {
    switch (m_state) {
        case State::Outside:
            if (key == L"<Preset>") {
                m_preset = std::make_shared<QXRulePreset>();
                m_state = State::InPreset;
            }
            break;
        case State::InPreset:
            if (key == L"Name") {
                m_preset->name = unquoteText(value);
            } else if (key == L"RuleOpe") {
                m_preset->ruleOpe = readInt32(value);
            } else if (key == L"<Rule>") {
                m_typeKey.clear();
                m_pairs.clear();
                m_state = State::InRule;
            } else if (key == L"</Preset>") {
                m_out.push_back(std::move(m_preset));
                m_preset.reset();
                m_state = State::Outside;
            }
            break;
        case State::InRule:
            if (key == L"</Rule>") {
                endRule();
                m_state = State::InPreset;
            } else if (key == L"type") {
                m_typeKey = value;
            } else {
                m_pairs.emplace_back(key, value);
            }
            break;
    }
    return true;
}

void QXRulePresetReceiver::endRule() {
    const std::wstring typeKey = unquoteText(m_typeKey);
    QXRulePtr rule = createRule(ruleTypeIdOf(typeKey));
    if (!rule) {
        QXLog::Write(L"QXRulePresetReceiver : endRule : Unknown rule type. (%s)", typeKey.c_str());
        return;
    }
    // The values stand as written, escapes and quotes included: the rule undoes them.
    if (!rule->read(m_pairs, QXTextForm::Raw)) {
        QXLog::Write(L"QXRulePresetReceiver : endRule : Failed to load rule. (%s,%s)",
                     m_preset->name.c_str(), typeKey.c_str());
        return;
    }
    m_preset->rules.push_back(std::move(rule));
}

void QXRulePresets::setFolder(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    m_folder = std::move(folder);
}

std::string QXRulePresets::filePath() const {
    if (m_folder.empty()) return {};
    if (m_folder == "/") return m_folder + kFileName;
    return m_folder + "/" + kFileName;
}

bool QXRulePresets::load() {
    const std::string path = filePath();
    if (path.empty()) return false;
    QXRulePresetReceiver receiver(m_list);
    tovy::TovConfReader reader(&receiver);
    return reader.readFile(path);
}

bool QXRulePresets::save() const {
    const std::string path = filePath();
    if (path.empty()) return false;
    for (const auto& preset : m_list) {
        if (auto text = lineBreakIn(*preset)) {
            QXLog::Write(L"QXRulePresets : save : Line break in a preset, not saved. (%s)",
                         text->c_str());
            return false;
        }
    }
    return tovy::writeFileAtomically(path, fileBytes(m_list));
}

QXRulePresetPtr QXRulePresets::find(const std::wstring& name) const {
    auto it = std::find_if(m_list.begin(), m_list.end(),
                           [&](const QXRulePresetPtr& p) { return p->name == name; });
    return it == m_list.end() ? nullptr : *it;
}

bool QXRulePresets::remove(const std::wstring& name) {
    auto it = std::find_if(m_list.begin(), m_list.end(),
                           [&](const QXRulePresetPtr& p) { return p->name == name; });
    if (it == m_list.end()) return false;
    m_list.erase(it);
    return true;
}

QXRulePresetPtr QXRulePresets::make(std::wstring name, int32_t ruleOpe, const QXRuleList& rules) {
    auto preset = std::make_shared<QXRulePreset>();
    preset->name = std::move(name);
    preset->ruleOpe = ruleOpe;
    for (const auto& rule : rules) preset->rules.push_back(rule->clone());
    return preset;
}

void QXRulePresets::applyTo(const QXRulePreset& preset, QXRuleList& rules) {
    rules.clear();
    for (const auto& rule : preset.rules) rules.push_back(rule->clone());
    rebuildGroups(rules);
}

std::string QXRulePresets::fileBytes(const QXRulePresetList& list) {
    std::wstring out;
    for (const auto& preset : list) {
        out += L"<Preset>\r\n";
        appendLine(out, L"Name", quoteLineText(preset->name));
        out += L"\r\n";
        appendLine(out, L"RuleOpe", std::to_wstring(preset->ruleOpe));
        out += L"\r\n";
        for (const auto& rule : preset->rules) {
            out += L"<Rule>\r\n";
            rule->writeLines(out);
            out += L"</Rule>\r\n";
        }
        out += L"</Preset>\r\n\r\n";
    }
    return encode(out);
}

std::optional<std::wstring> QXRulePresets::lineBreakIn(const QXRulePreset& preset) {
    if (holdsLineBreak(preset.name)) return preset.name;
    for (const auto& rule : preset.rules) {
        QXRulePairs pairs;
        rule->writePairs(pairs);
        for (const auto& [key, value] : pairs) {
            if (holdsLineBreak(value)) return rule->kindName() + L" : " + rule->description();
        }
    }
    return std::nullopt;
}

}  // namespace quenrix
