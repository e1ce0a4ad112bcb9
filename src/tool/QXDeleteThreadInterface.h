// The action worker of modes 1 to 11: it runs over a copy of the result list and applies
// the mode to every ticked record, one at a time in list order. A record whose action
// succeeds gets the done bit; a failed one keeps its tick. Lines and progress go to the
// progress sink (the dialog), every line also to the log.
//
// Before a file is touched the worker checks that its path still names the file the
// search found (device, inode, size, last-write time). For a mode that takes the file
// away from its place (everything but the copies), a ticked member of a duplicate or
// similar-image group is touched only while at least one unticked member of its group
// still exists unchanged: the user left that one as the copy to keep. A record failing
// either check gets a log line naming it and is left alone.
//
// Threads: the owner (user-interface thread) sets the records, starts the worker and
// may call cancel() at any time; error() and the records' done bits are read only after
// wait(). The worker holds shared references, so the records outlive the run.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/QXFileInfo.h"
#include "core/QXProgressSink.h"
#include "tovy/TovMfcThread.h"

namespace quenrix {

class QXDeleteThreadInterface : public tovy::TovMfcThread {
public:
    // The source name of the error lines "%s (%s,%d)".
    static constexpr const wchar_t* kLogSource = L"tool\\QXToolDeleteThread";

    // `sink` must outlive the worker's thread; `autoDel` (the unattended run) keeps the
    // per-file lines out of the dialog, they still go to the log.
    QXDeleteThreadInterface(QXProgressSink& sink, bool autoDel);
    ~QXDeleteThreadInterface() override;

    // The records of the run: a copy of the whole result list, in list order.
    // REQUIRES: the thread is not running.
    void setRecords(QXFileList records) { m_records = std::move(records); }
    const QXFileList& records() const { return m_records; }

    // The user's cancel request; the worker stops after the record in progress.
    void cancel() { m_cancel.store(1); }
    bool cancelRequested() const { return m_cancel.load() != 0; }
    // Set when a step failed and an error line was logged.
    bool error() const { return m_error.load() != 0; }
    // The index of the record being processed.
    uint64_t currentIndex() const { return m_current.load(); }

protected:
    // The mode's action on one record; true on success. Called on the worker's thread
    // after the record passed the checks above.
    virtual bool ProcessFile(QXFileInfo& record) = 0;
    // Whether the mode takes the file away from its place (the group check applies).
    virtual bool removesFile() const { return true; }

    // Logs "%s (%s,%d)" with the message of `err` and raises the error flag.
    void errorLine(int err, int step);
    void raiseError() { m_error.store(1); }

    uint32_t run() override;

private:
    // The unticked members of every group, by group number, taken when the run starts.
    void collectKeptMembers();
    // The checks before a file is touched; false (with a log line) when it must be left
    // alone.
    bool mayTouch(const QXFileInfo& record) const;

    QXProgressSink& m_sink;
    bool m_autoDel;
    std::atomic<int32_t> m_cancel{0};
    std::atomic<int32_t> m_error{0};
    QXFileList m_records;
    std::atomic<uint64_t> m_current{0};
    std::map<int32_t, std::vector<const QXFileInfo*>> m_kept;
};

// Whether a record belongs to a duplicate or similar-image group (its group number alone
// does not say: 0 is also the number of every record outside a group).
bool inActionGroup(const QXFileInfo& file);

}  // namespace quenrix
