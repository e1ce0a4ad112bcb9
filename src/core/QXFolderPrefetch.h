// Reads folder listings ahead of the search's walk on a thread of its own. The walk stays
// the only one that decides anything: it names the folders it is going to enter (hint),
// in the order it will enter them, and asks for each listing when it gets there (take).
// A listing already read is handed over; one being read is waited for, the walk reading
// further queued folders itself meanwhile; one not started yet is read by the asking
// thread itself, so no folder is read twice and the walk never waits for work that has
// not begun. The listings are the same as a DirReader on
// the folder gives (no final symbolic link followed, entries that cannot be stat'ed
// left out), and their order is kept.
//
// Thread-safe: hint, take and forget are called by the walking thread; the reader
// thread lives as long as the object.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/FileStat.h"

namespace quenrix {

struct QXFolderListing {
    bool ok = false;  // the folder could be opened
    int error = 0;    // errno of the failed open
    std::vector<std::pair<std::string, platform::FileStat>> entries;

    // Reads the folder now, on the calling thread.
    static QXFolderListing read(const std::string& folder);
};

class QXFolderPrefetch {
public:
    // At most this many listings wait, read but not taken, before the reader pauses.
    static constexpr size_t kMaxWaiting = 64;

    // Starts the reader thread; when it cannot be started every take reads itself.
    QXFolderPrefetch();
    // Stops the reader (a listing being read is finished first) and drops the rest.
    ~QXFolderPrefetch();
    QXFolderPrefetch(const QXFolderPrefetch&) = delete;
    QXFolderPrefetch& operator=(const QXFolderPrefetch&) = delete;

    // The walk will enter this folder later.
    void hint(const std::string& folder);
    // The folder's listing, now.
    QXFolderListing take(const std::string& folder);
    // The walk will not enter a hinted folder after all.
    void forget(const std::string& folder);

private:
    enum class State { kQueued, kReading, kReady };
    struct Slot {
        State state = State::kQueued;
        bool dropped = false;  // forgotten while being read
        QXFolderListing listing;
    };
    void readerLoop();
    // Reads the first queued folder that still waits, unlocking meanwhile; false when
    // none may be read now.
    bool readNextLocked(std::unique_lock<std::mutex>& l);

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::string> m_queue;  // hinted, in order; entries taken meanwhile are skipped
    std::unordered_map<std::string, Slot> m_slots;
    size_t m_waiting = 0;  // slots in kReady
    bool m_stop = false;
    std::thread m_reader;
};

}  // namespace quenrix
