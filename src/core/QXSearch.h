// The search and re-search commands as the main form runs them on the user-interface
// thread: checks with their warnings, the copies handed to the worker, the modal run,
// the sort of the matches and the target history. The form supplies what only it can do
// through QXSearchHost; messages go through QXPrompt.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/QXFileInfo.h"
#include "core/QXHandleThread.h"

namespace quenrix {

class CQuenrixDoc;
class QXCacheServer;
class QXFolderHistory;
class QXPrompt;

// The main form's side of a search.
class QXSearchHost {
public:
    virtual ~QXSearchHost() = default;
    // Copies the rule list's check boxes into the rules' enabled flags.
    virtual void copyRuleChecks() = 0;
    // The three option check boxes, read into the document.
    virtual void readOptions(bool& subfolders, bool& hidden, bool& system) = 0;
    // The rule operator combo box.
    virtual int32_t readRuleOperator() = 0;
    // Empties the result list control and the counters of the status line.
    virtual void clearResultList() = 0;
    // Runs the progress dialog modally: it starts the worker, lets Cancel call
    // worker.cancel(), and returns after the worker thread has ended.
    virtual void runProgress(QXHandleThread& worker) = 0;
    // Hands the sorted matches to the result list.
    virtual void fillResultList(const QXFileList& matches, bool hasDuplicateRule) = 0;
};

// What the main form keeps between searches.
struct QXSearchState {
    QXFileList allFiles;  // every record of the last completed enumeration
    size_t totalCount = 0;
};

// Makes the worker (a hook so tests can inject faults into the enumeration).
using QXWorkerFactory = std::unique_ptr<QXHandleThread> (*)(QXSearchParams params,
                                                            QXProgressSink& sink, QXPrompt* prompt);

class QXSearch {
public:
    QXSearch(CQuenrixDoc& doc, QXSearchState& state, QXSearchHost& host, QXPrompt& prompt,
             QXProgressSink& sink, QXFolderHistory& history)
        : m_doc(doc),
          m_state(state),
          m_host(host),
          m_prompt(prompt),
          m_sink(sink),
          m_history(history) {}

    void setWorkerFactory(QXWorkerFactory factory) { m_factory = factory; }
    // The cache store the next searches use; null switches it off.
    void setCache(QXCacheServer* cache) { m_cache = cache; }

    // The 検索 command. Returns true when the search ran to its end (not refused, not
    // cancelled).
    bool search();
    // The 再検索 command over the all-files list.
    bool reSearch();

    // Sorts matches by group number, then by file name without regard to case.
    static void sortMatches(QXFileList& matches);

private:
    QXRuleList enabledRulesByPriority() const;
    // The options, operator and rules of the document.
    QXSearchParams paramsFromDoc(QXRuleList rules) const;
    std::unique_ptr<QXHandleThread> makeWorker(QXSearchParams params);
    void finish(QXHandleThread& worker, bool reSearch);

    CQuenrixDoc& m_doc;
    QXSearchState& m_state;
    QXSearchHost& m_host;
    QXPrompt& m_prompt;
    QXProgressSink& m_sink;
    QXFolderHistory& m_history;
    QXWorkerFactory m_factory = nullptr;
    QXCacheServer* m_cache = nullptr;
};

}  // namespace quenrix
