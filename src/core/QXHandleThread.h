// The search worker: enumerates the targets into file records, runs the enabled rules
// over the whole record list one after another, combines their verdicts after each rule
// (AND/OR, groups, decided mark) and collects the matches.
//
// The inputs are copied in at construction. While the worker runs, only its own thread
// touches the records, rules and groups; the owner (the progress dialog) only calls
// cancel(). Results (fileList, matchList) are read after wait().
//
// The walk never follows a symbolic link, never enters one folder (device, inode) twice
// (overlapping or repeated targets, bind mounts), and never enters a protected folder
// below a target.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/QXFileInfo.h"
#include "core/QXTarget.h"
#include "platform/ProtectedFolders.h"
#include "rule/QXRule.h"
#include "tovy/TovMfcThread.h"

namespace quenrix {

class QXFolderPrefetch;

class QXProgressSink;
class QXPrompt;

struct QXSearchParams {
    std::vector<QXTargetPtr> targets;
    std::vector<std::wstring> ignoreList;
    bool includeSubfolders = false;
    bool includeHidden = false;
    bool includeSystem = false;
    int32_t ruleOperator = 0;        // 0 = AND, 1 = OR
    QXRuleList rules;                // the enabled rules in run order
    QXFileList files;                // for a re-search: the records of the last enumeration
    QXCacheServer* cache = nullptr;  // the cache store, when switched on and open
};

class QXHandleThread : public tovy::TovMfcThread, public QXRuleHost {
public:
    static constexpr int32_t kAnd = 0;
    static constexpr int32_t kOr = 1;

    // `prompt` may be null (no out-of-memory box then).
    QXHandleThread(QXSearchParams params, QXProgressSink& sink, QXPrompt* prompt);
    ~QXHandleThread() override;

    // Asks the worker to stop; any thread.
    void cancel() { m_cancel.store(1, std::memory_order_relaxed); }
    bool cancelled() const override { return m_cancel.load(std::memory_order_relaxed) != 0; }

    // Every record of the run in enumeration order, and the matches in that order.
    const QXFileList& fileList() const { return m_files; }
    const QXFileList& matchList() const { return m_matches; }
    // The folders whose listing failed (a target, or a folder below one), in the order
    // met; their files are missing from fileList(). Read after wait().
    const std::vector<std::string>& unlistedFolders() const { return m_unlisted; }

    // The folders the walk never enters; by default those of this machine and user.
    void setProtectedFolders(platform::ProtectedFolders folders);

    // QXRuleHost
    void showFile(const QXFileInfo& file) override;
    void report(int percent) override;
    QXCacheServer* cache() const override { return m_params.cache; }
    QXPrompt* prompt() const override { return m_prompt; }

    // What run() does between its log lines, on the calling thread: the file list (with
    // the cache rows read meanwhile), the rule passes and the matches; `listed` is called
    // once the file list is complete. False when the listing failed or was cancelled.
    bool search(const std::function<void()>& listed = {});
    // The steps of search(), public for tests.
    bool buildFileList();
    void runRules();
    void combine(size_t ruleCount);
    void collect();

protected:
    uint32_t run() override;
    // Makes one record; null when memory is exhausted (tests inject that).
    virtual QXFileInfoPtr newRecord(std::string path, const platform::FileStat& st);

private:
    bool enumerateTarget(const QXTarget& target);
    bool walk(const std::string& folder, const platform::FileStat& folderStat);
    // Reads the cache rows the rules will ask for below the targets (a thread of its own
    // runs it during the listing).
    void preloadCache();
    bool markVisited(const platform::FileStat& folderStat);
    bool ignored(const std::string& folder) const;
    void addRecord(std::string path, const platform::FileStat& st, const std::string* walkFolder);
    void shortenIndent();
    void showFileLine(const std::string& path);

    QXSearchParams m_params;
    QXProgressSink& m_sink;
    QXPrompt* m_prompt;
    std::atomic<int32_t> m_cancel{0};

    QXFileList m_files;
    QXFileList m_matches;
    std::vector<std::string> m_unlisted;

    int32_t m_progressBase = 0;
    int32_t m_progressShare = 0;
    int32_t m_targetIndex = 0;
    std::wstring m_logIndent;
    platform::ProtectedFolders m_protected;
    bool m_protectedSet = false;

    struct FolderId {
        uint64_t dev;
        uint64_t ino;
        bool operator==(const FolderId&) const = default;
    };
    struct FolderIdHash {
        size_t operator()(const FolderId& id) const {
            return std::hash<uint64_t>()(id.ino * 1000003u ^ id.dev);
        }
    };
    std::unordered_set<FolderId, FolderIdHash> m_visited;
    // Reads folders ahead of the walk while the file list is built.
    std::unique_ptr<QXFolderPrefetch> m_prefetch;
    std::chrono::steady_clock::time_point m_lastFileLine{};
};

}  // namespace quenrix
