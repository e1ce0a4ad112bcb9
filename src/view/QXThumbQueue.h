// The requests for thumbnails, first in first out: the result list asks for the picture
// of a row when it draws the row, the thumbnail worker takes the requests one by one.
// Rows that are on screen can be moved to the front, so that a quick scroll past many
// rows does not keep the rows the user looks at waiting behind the ones already gone.
//
// Thread-safe: the list is guarded by a mutex, a counting semaphore carries the number
// of requests so that the worker sleeps while there is none, and take() wakes on the
// worker's stop event too.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/QXFileInfo.h"
#include "tovy/TovSync.h"

namespace quenrix {

struct QXThumbHolder;

// What the worker needs of a record, copied when the request is made so that the worker
// reads nothing of the record but its identifier.
struct QXThumbRequest {
    QXFileInfoPtr file;                     // kept alive while the request waits
    std::shared_ptr<QXThumbHolder> holder;  // the record's holder, given to the worker
    std::wstring path;
    platform::FileStat stat;  // the file found: another file at the path is not read
};

class QXThumbQueue {
public:
    QXThumbQueue();
    ~QXThumbQueue();
    QXThumbQueue(const QXThumbQueue&) = delete;
    QXThumbQueue& operator=(const QXThumbQueue&) = delete;

    // The record's holder, made when absent. User-interface thread (it owns the records
    // while they are shown).
    static std::shared_ptr<QXThumbHolder> holderOf(QXFileInfo& file);

    // Asks for the record's picture: makes its holder when absent, marks it requested and
    // appends the request. False (nothing queued) when the holder was already requested
    // or has its picture.
    bool request(const QXFileInfoPtr& file);

    // Moves the waiting requests of these holders to the front, in the given order; the
    // others keep theirs behind them.
    void promote(const std::vector<const QXThumbHolder*>& holders);

    // Drops every waiting request; their holders may be requested again.
    void clear();

    // Worker: waits for the next request and removes it from the list. Requests still
    // waiting are taken before a stop is seen; none once `stop` is set and the list is
    // empty, or when the queue cannot count (its semaphore could not be made).
    std::optional<QXThumbRequest> take(tovy::TovEvent& stop);

    size_t size() const;

private:
    mutable tovy::TovFastMutex m_mutex;
    std::deque<QXThumbRequest> m_list;
    tovy::TovSemaphore m_count;
};

}  // namespace quenrix
