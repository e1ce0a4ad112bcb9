#include "view/QXThumbQueue.h"

#include <algorithm>
#include <cstdint>

#include "core/QXFileExtras.h"
#include "core/QXThumbHolder.h"

namespace quenrix {

QXThumbQueue::QXThumbQueue() {
    m_count.create(0, INT32_MAX);
}

QXThumbQueue::~QXThumbQueue() {
    clear();
    m_count.close();
}

std::shared_ptr<QXThumbHolder> QXThumbQueue::holderOf(QXFileInfo& file) {
    std::shared_ptr<QXThumbHolder>& thumb = file.extras().thumb;
    if (!thumb) thumb = std::make_shared<QXThumbHolder>();
    return thumb;
}

bool QXThumbQueue::request(const QXFileInfoPtr& file) {
    if (!file) return false;
    std::shared_ptr<QXThumbHolder> holder = holderOf(*file);
    if (holder->bitmapLoaded() || !holder->markQueued()) return false;
    tovy::TovLock lock(m_mutex);
    m_list.push_back({file, std::move(holder), file->fullPath(), file->stat()});
    m_count.unlock();
    return true;
}

void QXThumbQueue::promote(const std::vector<const QXThumbHolder*>& holders) {
    if (holders.empty()) return;
    tovy::TovLock lock(m_mutex);
    std::deque<QXThumbRequest> front;
    for (const QXThumbHolder* holder : holders) {
        auto it = std::find_if(m_list.begin(), m_list.end(), [holder](const QXThumbRequest& r) {
            return r.holder.get() == holder;
        });
        if (it == m_list.end()) continue;
        front.push_back(std::move(*it));
        m_list.erase(it);
    }
    if (front.empty()) return;
    m_list.insert(m_list.begin(), std::make_move_iterator(front.begin()),
                  std::make_move_iterator(front.end()));
}

void QXThumbQueue::clear() {
    std::deque<QXThumbRequest> dropped;
    {
        tovy::TovLock lock(m_mutex);
        dropped.swap(m_list);
    }
    // The semaphore still counts them; take() passes over the empty wake-ups.
    for (QXThumbRequest& r : dropped) r.holder->unmarkQueued();
}

std::optional<QXThumbRequest> QXThumbQueue::take(tovy::TovEvent& stop) {
    // Without a semaphore the wait would only ever see the stop event.
    if (!m_count.hasHandle()) return std::nullopt;
    for (;;) {
        if (m_count.wait(&stop) != 0) return std::nullopt;
        tovy::TovLock lock(m_mutex);
        if (m_list.empty()) continue;  // a request dropped by clear()
        QXThumbRequest r = std::move(m_list.front());
        m_list.pop_front();
        return r;
    }
}

size_t QXThumbQueue::size() const {
    tovy::TovLock lock(m_mutex);
    return m_list.size();
}

}  // namespace quenrix
