#include "core/QXSearch.h"

#include <algorithm>

#include "core/QXLog.h"
#include "core/QXPrompt.h"
#include "doc/CQuenrixDoc.h"
#include "doc/QXFolderHistory.h"
#include "platform/Text.h"
#include "rule/QXRuleRegistry.h"

namespace quenrix {

namespace {

const wchar_t kWarning[] = L"警告";

}  // namespace

void QXSearch::sortMatches(QXFileList& matches) {
    // Names are converted once, not in every comparison.
    std::vector<std::pair<std::wstring, QXFileInfoPtr>> keyed;
    keyed.reserve(matches.size());
    for (auto& m : matches) keyed.emplace_back(platform::toLower(m->fileName()), std::move(m));
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        if (a.second->groupNumber != b.second->groupNumber) {
            return a.second->groupNumber < b.second->groupNumber;
        }
        return a.first < b.first;
    });
    for (size_t i = 0; i < keyed.size(); ++i) matches[i] = std::move(keyed[i].second);
}

QXRuleList QXSearch::enabledRulesByPriority() const {
    QXRuleList rules;
    for (const auto& rule : m_doc.rules) {
        if (rule->enabled()) rules.push_back(rule);
    }
    std::stable_sort(rules.begin(), rules.end(), [](const QXRulePtr& a, const QXRulePtr& b) {
        return a->priority() > b->priority();
    });
    return rules;
}

QXSearchParams QXSearch::paramsFromDoc(QXRuleList rules) const {
    QXSearchParams params;
    params.includeSubfolders = m_doc.includeSubfolders;
    params.includeHidden = m_doc.includeHidden;
    params.includeSystem = m_doc.includeSystem;
    params.ruleOperator = m_doc.ruleOperator;
    params.rules = std::move(rules);
    params.cache = m_cache;
    return params;
}

std::unique_ptr<QXHandleThread> QXSearch::makeWorker(QXSearchParams params) {
    if (m_factory) return m_factory(std::move(params), m_sink, &m_prompt);
    return std::make_unique<QXHandleThread>(std::move(params), m_sink, &m_prompt);
}

bool QXSearch::search() {
    if (m_doc.targets.empty()) {
        m_prompt.messageBox(L"有効な対象がありません", kWarning, QXIcon::Warning);
        return false;
    }
    if (m_doc.rules.empty()) {
        m_prompt.messageBox(L"有効なルールがありません", kWarning, QXIcon::Warning);
        return false;
    }
    m_host.copyRuleChecks();
    QXRuleList rules = enabledRulesByPriority();
    if (rules.empty()) {
        m_prompt.messageBox(L"有効なルールがありません", kWarning, QXIcon::Warning);
        return false;
    }

    m_host.clearResultList();
    m_state.allFiles.clear();
    m_state.totalCount = 0;

    m_host.readOptions(m_doc.includeSubfolders, m_doc.includeHidden, m_doc.includeSystem);
    m_doc.ruleOperator = m_host.readRuleOperator();
    QXLog::Write(L"検索処理を開始します");

    QXSearchParams params = paramsFromDoc(std::move(rules));
    params.targets = m_doc.targets;
    params.ignoreList = m_doc.ignoreList;
    QXLog::Write(L"SubDir [%c]", m_doc.includeSubfolders ? L'o' : L'x');

    auto worker = makeWorker(std::move(params));
    m_host.runProgress(*worker);
    if (worker->cancelled()) return false;
    finish(*worker, false);
    return true;
}

bool QXSearch::reSearch() {
    if (m_doc.targets.empty() || m_doc.rules.empty() || m_state.allFiles.empty()) return false;
    m_host.copyRuleChecks();
    QXRuleList rules = enabledRulesByPriority();
    if (rules.empty()) {
        m_prompt.messageBox(L"有効なルールがありません", kWarning, QXIcon::Warning);
        return false;
    }
    m_host.clearResultList();
    m_doc.ruleOperator = m_host.readRuleOperator();

    QXSearchParams params = paramsFromDoc(std::move(rules));
    params.files = m_state.allFiles;

    auto worker = makeWorker(std::move(params));
    m_host.runProgress(*worker);
    if (worker->cancelled()) return false;
    finish(*worker, true);
    return true;
}

void QXSearch::finish(QXHandleThread& worker, bool reSearch) {
    const bool hasDuplicateRule =
        std::any_of(m_doc.rules.begin(), m_doc.rules.end(),
                    [](const QXRulePtr& r) { return r->typeId() == ruletype::kDuplicate; });
    if (!reSearch) {
        m_state.allFiles = worker.fileList();
        m_state.totalCount = m_state.allFiles.size();
    }
    QXFileList matches = worker.matchList();
    sortMatches(matches);
    m_host.fillResultList(matches, hasDuplicateRule);
    if (!reSearch) {
        for (const auto& target : m_doc.targets) m_history.enter(target->path);
    }
}

}  // namespace quenrix
