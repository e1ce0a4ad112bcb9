// The empty-folder search: walks every target of the job and appends to its found list
// each folder that holds nothing but folders that count as empty themselves and regular
// files whose names match the ignore-file list, and whose path relative to its target
// matches the pattern list (an empty pattern list matches every folder). A folder comes
// after all its empty subfolders; a target itself may be found.
//
// The walk reads plain directory listings, hidden entries included. It never follows a
// symbolic link (a link, like any entry that is neither a folder nor a regular file,
// keeps its folder), never enters a protected folder, and never enters a mount point
// below a target; such folders are not empty. A target that is itself a mount point or
// reached through a link is searched but never found.
//
// The owner (the progress dialog, or the unattended run) starts the worker, may call
// stop() from its own thread, and reads the job and error() after wait(). The job is
// touched only by the worker's thread while it runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "folder/SearchEmptyFolderJob.h"
#include "platform/FileStat.h"
#include "tovy/TovMfcThread.h"

namespace quenrix {
class QXProgressSink;
}

namespace Quenrix {

class SearchEmptyFolderThread : public tovy::TovMfcThread {
public:
    // `sink` is told the folder being read (file line) and, last, finished().
    SearchEmptyFolderThread(SearchEmptyFolderJob& job, quenrix::QXProgressSink& sink);

    // Asks the search to end after the entry in progress; any thread. What was found so
    // far stays in the job.
    void stop() { m_stop.store(1, std::memory_order_relaxed); }
    bool stopRequested() const { return m_stop.load(std::memory_order_relaxed) != 0; }
    // Set when a pattern did not compile or an entry could not be read; valid after wait().
    bool error() const { return m_error.load(std::memory_order_relaxed) != 0; }

protected:
    uint32_t run() override;

private:
    bool searchTarget(const std::string& target);
    // Examines the open folder `fd` at `path`; true when it counts as empty (then it has
    // been appended to the found list when `mayBeFound`).
    bool examine(int fd, const std::string& path, const std::wstring& relative,
                 const platform::FileStat& self, bool mayBeFound);
    bool halted() const { return stopRequested() || error(); }
    void showFolder(const std::string& path);

    SearchEmptyFolderJob& m_job;
    quenrix::QXProgressSink& m_sink;
    std::atomic<int32_t> m_stop{0};
    std::atomic<int32_t> m_error{0};
    SearchEmptyFolderPatterns m_patterns;
    SearchEmptyFolderPatterns m_ignoreFiles;
    platform::ProtectedFolders m_protected;

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
    std::unordered_set<FolderId, FolderIdHash> m_found;  // each folder is listed once
    int64_t m_lastShown = 0;
};

}  // namespace Quenrix
