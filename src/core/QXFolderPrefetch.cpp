#include "core/QXFolderPrefetch.h"

#include <new>
#include <system_error>

namespace quenrix {

QXFolderListing QXFolderListing::read(const std::string& folder) {
    QXFolderListing out;
    platform::DirReader reader(folder);
    if (!reader.ok()) {
        out.error = reader.error();
        return out;
    }
    out.ok = true;
    // The entries gather in a buffer the thread keeps, and the listing takes them in one
    // allocation of the right size: growing each listing step by step would leave a trail
    // of freed smaller arrays behind every folder.
    thread_local std::vector<std::pair<std::string, platform::FileStat>> gathered;
    gathered.clear();
    std::string name;
    platform::FileStat st;
    while (reader.next(name, st)) gathered.emplace_back(std::move(name), st);
    out.entries.reserve(gathered.size());
    for (auto& entry : gathered) out.entries.push_back(std::move(entry));
    gathered.clear();
    // The buffer of a huge folder is not kept for the rest of the thread's life.
    if (gathered.capacity() > 4096)
        std::vector<std::pair<std::string, platform::FileStat>>().swap(gathered);
    return out;
}

QXFolderPrefetch::QXFolderPrefetch() {
    try {
        m_reader = std::thread([this] { readerLoop(); });
    } catch (const std::system_error&) {
    }
}

QXFolderPrefetch::~QXFolderPrefetch() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_reader.joinable()) m_reader.join();
}

void QXFolderPrefetch::hint(const std::string& folder) {
    if (!m_reader.joinable()) return;
    try {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_slots.try_emplace(folder).second) return;
        try {
            m_queue.push_back(folder);
        } catch (const std::bad_alloc&) {
            m_slots.erase(folder);
            return;
        }
    } catch (const std::bad_alloc&) {
        return;  // the walk reads the folder itself
    }
    m_changed.notify_all();
}

void QXFolderPrefetch::forget(const std::string& folder) {
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_slots.find(folder);
    if (it == m_slots.end()) return;
    if (it->second.state == State::kReading) {
        it->second.dropped = true;  // the reader throws its listing away
        return;
    }
    if (it->second.state == State::kReady) --m_waiting;
    m_slots.erase(it);
    m_changed.notify_all();
}

QXFolderListing QXFolderPrefetch::take(const std::string& folder) {
    {
        std::unique_lock<std::mutex> l(m_lock);
        auto it = m_slots.find(folder);
        if (it != m_slots.end()) {
            if (it->second.state == State::kQueued) {
                m_slots.erase(it);  // its queue entry is skipped later
            } else {
                auto ready = [&] {
                    auto j = m_slots.find(folder);
                    return j == m_slots.end() || j->second.state == State::kReady;
                };
                // While the reader is busy with this folder, the walk reads the next
                // queued ones itself rather than wait idle.
                while (!ready()) {
                    if (!readNextLocked(l)) m_changed.wait(l);
                }
                auto j = m_slots.find(folder);
                if (j != m_slots.end()) {
                    QXFolderListing out = std::move(j->second.listing);
                    m_slots.erase(j);
                    --m_waiting;
                    l.unlock();
                    m_changed.notify_all();
                    return out;
                }
                // The reader could not make it (out of memory): read it here.
            }
        }
    }
    return QXFolderListing::read(folder);
}

bool QXFolderPrefetch::readNextLocked(std::unique_lock<std::mutex>& l) {
    while (!m_queue.empty() && m_waiting < kMaxWaiting) {
        const std::string folder = std::move(m_queue.front());
        m_queue.pop_front();
        auto it = m_slots.find(folder);
        if (it == m_slots.end() || it->second.state != State::kQueued) continue;
        it->second.state = State::kReading;
        l.unlock();
        QXFolderListing listing;
        bool made = true;
        try {
            listing = QXFolderListing::read(folder);
        } catch (const std::bad_alloc&) {
            made = false;
        }
        l.lock();
        // Only the thread reading a slot erases it meanwhile.
        it = m_slots.find(folder);
        if (!made || it->second.dropped) {
            m_slots.erase(it);
        } else {
            it->second.listing = std::move(listing);
            it->second.state = State::kReady;
            ++m_waiting;
        }
        m_changed.notify_all();
        return true;
    }
    return false;
}

void QXFolderPrefetch::readerLoop() {
    std::unique_lock<std::mutex> l(m_lock);
    for (;;) {
        m_changed.wait(l, [&] { return m_stop || (!m_queue.empty() && m_waiting < kMaxWaiting); });
        if (m_stop) return;
        readNextLocked(l);
    }
}

}  // namespace quenrix
