#include "rule/QXRule.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"

namespace quenrix {

namespace {

std::mutex g_editorLock;
QXRuleEditorRegistry::Editor g_editors[ruletype::kCount] = {};

}  // namespace

void QXRuleEditorRegistry::set(int32_t typeId, Editor editor) {
    if (typeId < 0 || typeId >= ruletype::kCount) return;
    std::lock_guard<std::mutex> lock(g_editorLock);
    g_editors[typeId] = editor;
}

QXRuleEditorRegistry::Editor QXRuleEditorRegistry::get(int32_t typeId) {
    if (typeId < 0 || typeId >= ruletype::kCount) return nullptr;
    std::lock_guard<std::mutex> lock(g_editorLock);
    return g_editors[typeId];
}

bool QXRule::edit(void* parent) {
    QXRuleEditorRegistry::Editor editor = QXRuleEditorRegistry::get(typeId());
    return editor ? editor(*this, parent) : false;
}

std::wstring QXRule::typeKey() const {
    return ruleTypeKey(typeId());
}

void QXRule::writeLines(std::wstring& out) const {
    std::wstring key = escapeLineText(typeKey());
    appendLine(out, L"type", key);
    writeOwnLines(out);
    appendLine(out, L"type", key);
    appendLine(out, L"enable", m_enabled ? L"1" : L"0");
    appendLine(out, L"group", std::to_wstring(groupNumber()));
    appendLine(out, L"group_type", std::to_wstring(groupType()));
}

bool QXRule::writePairs(QXRulePairs& out) const {
    out.emplace_back(L"type", typeKey());
    writeOwnPairs(out);
    out.emplace_back(L"enable", m_enabled ? L"1" : L"0");
    out.emplace_back(L"group", std::to_wstring(groupNumber()));
    out.emplace_back(L"group_type", std::to_wstring(groupType()));
    return true;
}

bool QXRule::read(const QXRulePairs& pairs, QXTextForm form) {
    bool usable = true;
    for (const auto& [key, stored] : pairs) {
        const std::wstring value = readTextValue(stored, form);
        if (key == L"enable") {
            m_enabled = readInt32(value) == 1;
        } else if (key == L"group") {
            m_storedGroupNumber = readUInt64(value);
        } else if (key == L"group_type") {
            m_storedGroupType = readInt32(value);
        } else if (key != L"type") {
            if (!readOwnPair(key, value)) usable = false;
        }
    }
    return finishRead() && usable;
}

void QXRule::copyBaseTo(QXRule& other) const {
    other.m_enabled = m_enabled;
    other.m_storedGroupNumber = groupNumber();
    other.m_storedGroupType = groupType();
}

void sortForDisplay(QXRuleList& rules) {
    std::stable_sort(rules.begin(), rules.end(), [](const QXRulePtr& a, const QXRulePtr& b) {
        const bool ga = a->group() != nullptr;
        const bool gb = b->group() != nullptr;
        if (ga != gb) return ga;
        if (!ga) return false;
        return a->group()->identity() < b->group()->identity();
    });
    int32_t counter = 0;
    const QXRuleGroup* previous = nullptr;
    for (const auto& rule : rules) {
        QXRuleGroup* g = rule->group().get();
        if (!g) continue;
        if (g != previous) {
            ++counter;
            previous = g;
        }
        g->displayNumber = counter;
    }
}

void rebuildGroups(QXRuleList& rules) {
    std::map<uint64_t, QXRuleGroupPtr> groups;
    for (const auto& rule : rules) {
        const uint64_t n = rule->storedGroupNumber();
        if (n == 0) continue;
        auto& group = groups[n];
        if (!group) group = std::make_shared<QXRuleGroup>(rule->storedGroupType());
        rule->setGroup(group);
    }
}

void groupRules(const QXRuleList& selected, int32_t type) {
    if (selected.empty()) return;
    auto group = std::make_shared<QXRuleGroup>(type);
    for (const auto& rule : selected) rule->setGroup(group);
}

void ungroupRules(const QXRuleList& selected) {
    for (const auto& rule : selected) rule->ungroup();
}

}  // namespace quenrix
