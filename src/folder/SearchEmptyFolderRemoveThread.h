// The empty-folder removal: sorts the job's found list by path in descending order
// without regard to case, so that every folder comes before the folders holding it, and
// removes each selected folder, storing its result and collecting lines for the user
// ("<folder>... Removed", "<folder>... Error (削除出来ませんでした)").
//
// A folder is removed only when it is still the folder the search examined (same device
// and inode, not a link, not a mount point, not protected) and holds nothing but regular
// files whose names still match the ignore-file list; those files are deleted first,
// then the folder. Anything else keeps the folder and fails it: a folder inside (a
// subfolder the user left unticked, "ディレクトリが残っています"), or any other entry,
// such as a file that arrived after the search ("ファイルが残っています").
//
// After each entry the new lines go to the sink's appendLine, unless a stop was asked
// for; the lines not handed over then are read with takePendingLines() after wait().
// The owner starts the worker, may call stop() from its own thread, and reads the job
// and error() after wait().
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "folder/SearchEmptyFolderJob.h"
#include "tovy/TovMfcThread.h"

namespace quenrix {
class QXProgressSink;
}

namespace Quenrix {

class SearchEmptyFolderRemoveThread : public tovy::TovMfcThread {
public:
    SearchEmptyFolderRemoveThread(SearchEmptyFolderJob& job, quenrix::QXProgressSink& sink);

    // Asks the removal to end after the folder in progress; any thread.
    void stop() { m_stop.store(1, std::memory_order_relaxed); }
    bool stopRequested() const { return m_stop.load(std::memory_order_relaxed) != 0; }
    // Set when any selected folder or file could not be removed; valid after wait().
    bool error() const { return m_error.load(std::memory_order_relaxed) != 0; }
    // The lines not yet handed to the sink, taken; after wait().
    std::vector<std::wstring> takePendingLines();

protected:
    uint32_t run() override;

private:
    bool removeFolder(const SearchEmptyFolderEntry& entry);
    void addLine(std::wstring line) { m_pending.push_back(std::move(line)); }
    void fail() { m_error.store(1, std::memory_order_relaxed); }

    SearchEmptyFolderJob& m_job;
    quenrix::QXProgressSink& m_sink;
    std::atomic<int32_t> m_stop{0};
    std::atomic<int32_t> m_error{0};
    SearchEmptyFolderPatterns m_ignoreFiles;
    platform::ProtectedFolders m_protected;
    std::vector<std::wstring> m_pending;
};

}  // namespace Quenrix
