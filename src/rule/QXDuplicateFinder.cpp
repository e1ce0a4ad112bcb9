#include "rule/QXDuplicateFinder.h"

#include "digest/QXCacheServer.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>
#include <unordered_map>

#include "core/QXFileExtras.h"
#include "platform/Text.h"
#include "rule/QXRule.h"

namespace quenrix {

namespace {

int64_t nsOf(const struct timespec& ts) {
    return int64_t(ts.tv_sec) * 1000000000 + int64_t(ts.tv_nsec);
}

// Reads up to len bytes at offset; -1 on a read error.
ssize_t preadFull(int fd, unsigned char* buf, size_t len, uint64_t offset) {
    size_t done = 0;
    while (done < len) {
        const ssize_t n = ::pread(fd, buf + done, len - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    return ssize_t(done);
}

// How many files the exact method keeps open at once; the others are opened again for
// every chunk.
size_t openFileBudget() {
    struct rlimit rl;
    size_t limit = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
        limit = size_t(rl.rlim_cur);
    return std::clamp<size_t>(limit / 4, 8, 256);
}

// One file of the exact method.
struct Stream {
    QXFileInfo* info = nullptr;
    size_t index = 0;  // in the records of classify
    int fd = -1;       // kept open, or -1 when opened for each chunk
    std::vector<unsigned char> chunk;
    size_t got = 0;
    bool ok = true;

    ~Stream() { closeFd(); }
    void closeFd() {
        if (fd >= 0) ::close(fd);
        fd = -1;
        std::vector<unsigned char>().swap(chunk);
    }
    // Reads len bytes at offset into chunk; false when the file fails or is shorter.
    bool read(uint64_t offset, size_t len) {
        try {
            chunk.resize(len);
        } catch (const std::bad_alloc&) {
            return false;
        }
        int use = fd;
        if (use < 0) use = OpenRecordedFile(*info);
        if (use < 0) return false;
        const ssize_t n = preadFull(use, chunk.data(), len, offset);
        if (use != fd) ::close(use);
        got = n < 0 ? 0 : size_t(n);
        return n == ssize_t(len);
    }
    // After the last chunk: the end follows at the recorded size, and the file did not
    // change while it was read.
    bool endsHere(uint64_t size) {
        int use = fd;
        if (use < 0) use = OpenRecordedFile(*info);
        if (use < 0) return false;
        unsigned char probe;
        bool good = preadFull(use, &probe, 1, size) == 0;
        struct stat now;
        good = good && ::fstat(use, &now) == 0 && uint64_t(now.st_size) == size &&
               nsOf(now.st_mtim) == info->stat().writeNs;
        if (use != fd) ::close(use);
        return good;
    }
};

// The chunk length of step `step` for a part of `members` files: small first, so that
// files differing early are set apart cheaply, then larger, within a memory budget.
size_t chunkLength(int step, size_t members) {
    if (step == 0) return 4096;
    if (step == 1) return 64 * 1024;
    const size_t budget = size_t(64) << 20;
    return std::clamp<size_t>(budget / std::max<size_t>(members, 1), 4096, size_t(1) << 20);
}

}  // namespace

// ---- pool

QXWorkerPool::QXWorkerPool(unsigned threads) : m_wanted(threads) {}

QXWorkerPool::~QXWorkerPool() {
    {
        std::lock_guard<std::mutex> l(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    for (auto& t : m_threads) t.join();
}

unsigned QXWorkerPool::defaultThreads() {
    const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
    return std::min(4u, hw) - 1;
}

void QXWorkerPool::drain() {
    for (;;) {
        size_t i;
        {
            std::lock_guard<std::mutex> l(m_lock);
            if (m_next >= m_count) return;
            i = m_next++;
        }
        (*m_task)(i);
    }
}

void QXWorkerPool::workerLoop() {
    uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> l(m_lock);
            m_wake.wait(l, [&] { return m_stop || m_generation != seen; });
            if (m_stop) return;
            seen = m_generation;
        }
        drain();
        {
            std::lock_guard<std::mutex> l(m_lock);
            ++m_finished;
        }
        m_done.notify_all();
    }
}

void QXWorkerPool::run(size_t count, const std::function<void(size_t)>& task) {
    if (count == 0) return;
    if (count == 1 || m_wanted == 0) {
        for (size_t i = 0; i < count; ++i) task(i);
        return;
    }
    if (m_threads.empty()) {
        try {
            for (unsigned t = 0; t < m_wanted; ++t)
                m_threads.emplace_back([this] { workerLoop(); });
        } catch (const std::exception&) {
            // Fewer threads than wanted; the caller does the rest.
        }
    }
    {
        std::lock_guard<std::mutex> l(m_lock);
        m_task = &task;
        m_count = count;
        m_next = 0;
        m_finished = 0;
        ++m_generation;
    }
    m_wake.notify_all();
    drain();
    std::unique_lock<std::mutex> l(m_lock);
    m_done.wait(l, [&] { return m_finished == m_threads.size(); });
    m_task = nullptr;
}

// ---- methods

QXCacheWindow::QXCacheWindow(const QXMatchMethod& method, const QXFileList& files,
                             QXCacheServer* cache) {
    if (!cache || method.key != QXMatchMethod::kDigest || files.empty()) return;
    // The longest folder prefix all the paths share.
    std::string_view common = files.front()->nativePath();
    for (const auto& file : files) {
        const std::string_view path = file->nativePath();
        size_t i = 0;
        while (i < common.size() && i < path.size() && common[i] == path[i]) ++i;
        common = common.substr(0, i);
    }
    const size_t slash = common.rfind('/');
    common = slash == std::string_view::npos ? std::string_view() : common.substr(0, slash + 1);
    m_cache = cache;
    m_cache->beginBatch();
    m_cache->preload(cacheTagsOf(method), common);
}

std::vector<std::string> cacheTagsOf(const QXMatchMethod& method) {
    if (method.key != QXMatchMethod::kDigest) return {};
    return {digestCacheTag(method.digest), prefixCacheTag(QXDuplicateFinder::kPrefixBytes)};
}

QXCacheWindow::~QXCacheWindow() {
    if (m_cache) m_cache->endBatch();
}

QXMatchMethod duplicateMethod(int32_t algorithm) {
    switch (algorithm) {
        case 0:
            return {QXMatchMethod::kExact};
        case 1:
            return {QXMatchMethod::kDigest, QXDigestKind::kCrc32};
        case 2:
            return {QXMatchMethod::kDigest, QXDigestKind::kMd5};
        case 3:
            return {QXMatchMethod::kNameAndSize};
        case 4:
            return {QXMatchMethod::kDigest, QXDigestKind::kSha1};
        case 5:
            return {QXMatchMethod::kDigest, QXDigestKind::kSha256};
        case 6:
            return {QXMatchMethod::kDigest, QXDigestKind::kSha512};
        case 7:
            return {QXMatchMethod::kName};
        case 8:
            return {QXMatchMethod::kStem};
        case 9:
            return {QXMatchMethod::kSize};
        case 10:
            return {QXMatchMethod::kDigest, QXDigestKind::kXxh64};
        default:
            return {QXMatchMethod::kNone};
    }
}

QXMatchMethod sameFileMethod(int32_t algorithm) {
    if (algorithm == 9) return duplicateMethod(10);
    if (algorithm >= 0 && algorithm <= 8) return duplicateMethod(algorithm);
    return {QXMatchMethod::kNone};
}

std::wstring nameKey(const QXFileInfo& info, bool stem) {
    std::wstring name = platform::toLower(info.fileName());
    if (stem) {
        const size_t dot = name.rfind(L'.');
        if (dot != std::wstring::npos) name.resize(dot);
    }
    return name;
}

std::vector<size_t> sortedBySize(const QXFileList& files) {
    // Sorting the sizes beside the positions reads each record once; the position breaks
    // ties, so equal sizes keep their input order.
    std::vector<std::pair<uint64_t, size_t>> keyed(files.size());
    for (size_t i = 0; i < keyed.size(); ++i) keyed[i] = {files[i]->size(), i};
    std::sort(keyed.begin(), keyed.end());
    std::vector<size_t> order(files.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = keyed[i].second;
    return order;
}

// ---- finder

QXDuplicateFinder::QXDuplicateFinder(QXMatchMethod method, QXRuleHost& host)
    : m_method(method), m_host(host), m_pool(QXWorkerPool::defaultThreads()) {}

bool QXDuplicateFinder::classify(const std::vector<QXFileInfo*>& records,
                                 std::vector<int64_t>& classes) {
    classes.assign(records.size(), -1);
    switch (m_method.key) {
        case QXMatchMethod::kNone:
            return true;
        case QXMatchMethod::kSize:
            // Every record of the set has the same size.
            for (auto& c : classes) c = 0;
            return true;
        case QXMatchMethod::kNameAndSize:
        case QXMatchMethod::kName:
        case QXMatchMethod::kStem:
            return classifyNames(records, classes);
        case QXMatchMethod::kDigest:
            return classifyDigests(records, classes);
        case QXMatchMethod::kExact:
            return classifyExact(records, classes);
    }
    return true;
}

bool QXDuplicateFinder::classifyNames(const std::vector<QXFileInfo*>& records,
                                      std::vector<int64_t>& classes) {
    const bool stem = m_method.key == QXMatchMethod::kStem;
    std::unordered_map<std::wstring, int64_t> ids;
    for (size_t i = 0; i < records.size(); ++i) {
        std::wstring key = nameKey(*records[i], stem);
        if (key.empty()) continue;  // an empty stem equals nothing
        auto [it, added] = ids.try_emplace(std::move(key), int64_t(ids.size()));
        classes[i] = it->second;
    }
    return true;
}

bool QXDuplicateFinder::classifyDigests(const std::vector<QXFileInfo*>& records,
                                        std::vector<int64_t>& classes) {
    const QXDigestKind kind = m_method.digest;
    QXCacheServer* cache = m_host.cache();
    const size_t n = records.size();
    // 0: not to be read, 1: digest known, 2: to be digested. The arrays are the
    // finder's, kept from one set to the next: a search meets thousands of sets.
    std::vector<uint8_t>& state = m_state;
    state.assign(n, 0);
    size_t known = 0;
    std::vector<size_t>& pending = m_pending;
    pending.clear();
    for (size_t i = 0; i < n; ++i) {
        QXFileInfo& info = *records[i];
        if (!info.stat().isRegular()) continue;  // never read
        if (CachedDigest(info, kind, cache)) {
            state[i] = 1;
            ++known;
        } else {
            pending.push_back(i);
        }
    }
    if (known + pending.size() < 2) pending.clear();

    const uint64_t size = n ? records[0]->size() : 0;
    if (!pending.empty() && known + pending.size() >= 2 && size > kPrefixBytes) {
        // Files whose first bytes differ from those of every other file cannot be equal.
        // The files with a known digest take part too: a file set apart this way gets no
        // digest and so none in the cache, and without them it would be read in full on
        // the next search just because its neighbours are cached by then.
        std::vector<size_t> probed = pending;
        if (known > 0) {
            for (size_t i = 0; i < n; ++i)
                if (state[i] == 1) probed.push_back(i);
        }
        std::vector<uint64_t> prefix(probed.size());
        std::vector<uint8_t> readable(probed.size(), 0);
        // Cached hashes are taken here; only the files that must be read go to the
        // threads (waking them costs more than a lookup, and a search meets thousands of
        // such size classes).
        std::vector<size_t> toRead;
        for (size_t j = 0; j < probed.size(); ++j) {
            if (CachedPrefixOnly(*records[probed[j]], kPrefixBytes, cache, &prefix[j]))
                readable[j] = 1;
            else
                toRead.push_back(j);
        }
        m_pool.run(toRead.size(), [&](size_t k) {
            if (m_host.cancelled()) return;
            const size_t j = toRead[k];
            readable[j] = CachedFilePrefix(*records[probed[j]], kPrefixBytes, cache, &prefix[j]);
        });
        if (m_host.cancelled()) return false;
        std::unordered_map<uint64_t, size_t> count;
        for (size_t j = 0; j < probed.size(); ++j)
            if (readable[j]) ++count[prefix[j]];
        std::vector<size_t> kept;
        for (size_t j = 0; j < pending.size(); ++j)
            if (readable[j] && count[prefix[j]] > 1) kept.push_back(pending[j]);
        pending.swap(kept);
    }

    if (!pending.empty()) {
        std::vector<uint8_t> made(pending.size(), 0);
        m_pool.run(pending.size(), [&](size_t j) {
            if (m_host.cancelled()) return;
            made[j] = EnsureDigest(*records[pending[j]], kind, cache);
        });
        if (m_host.cancelled()) return false;
        for (size_t j = 0; j < pending.size(); ++j)
            if (made[j]) state[pending[j]] = 1;
    }

    // Classes are numbered in the order their first member comes. The small sets most
    // searches are made of are compared directly, larger ones through a map.
    constexpr size_t kDirect = 16;
    std::unordered_map<std::wstring_view, int64_t> ids;
    const std::wstring* direct[kDirect];
    size_t seen = 0;
    int64_t next = 0;
    for (size_t i = 0; i < n; ++i) {
        if (state[i] != 1) continue;
        QXFileExtras* extras = records[i]->extrasIfAny();
        if (!extras || !extras->digests) continue;
        QXDigestRecord& digests = *extras->digests;
        digests.comparison = digests.text(kind);
        const std::wstring& text = digests.text(kind);
        if (text.empty()) continue;  // unreadable: equals nothing
        if (n <= kDirect) {
            size_t j = 0;
            while (j < seen && *direct[j] != text) ++j;
            if (j == seen) direct[seen++] = &text;
            classes[i] = int64_t(j);
            continue;
        }
        auto [it, added] = ids.try_emplace(std::wstring_view(text), next);
        if (added) ++next;
        classes[i] = it->second;
    }
    return true;
}

bool QXDuplicateFinder::classifyExact(const std::vector<QXFileInfo*>& records,
                                      std::vector<int64_t>& classes) {
    const size_t n = records.size();
    if (n < 2) return true;
    const uint64_t size = records[0]->size();
    std::vector<Stream> streams(n);
    size_t budget = openFileBudget();
    std::vector<size_t> first;
    for (size_t i = 0; i < n; ++i) {
        Stream& s = streams[i];
        s.info = records[i];
        s.index = i;
        if (!records[i]->stat().isRegular()) continue;  // never read
        if (budget > 0) {
            s.fd = OpenRecordedFile(*records[i]);
            if (s.fd < 0) continue;  // unreadable, or no longer the recorded file
            --budget;
        }
        first.push_back(i);
    }

    struct Part {
        std::vector<size_t> members;
        uint64_t offset;
        int step;
    };
    std::vector<Part> work;
    if (first.size() >= 2) work.push_back({std::move(first), 0, 0});
    int64_t nextClass = 0;
    while (!work.empty()) {
        Part part = std::move(work.back());
        work.pop_back();
        while (part.members.size() >= 2 && part.offset < size) {
            if (m_host.cancelled()) return false;
            const size_t len = size_t(std::min<uint64_t>(
                chunkLength(part.step, part.members.size()), size - part.offset));
            m_pool.run(part.members.size(), [&](size_t j) {
                Stream& s = streams[part.members[j]];
                s.ok = s.read(part.offset, len);
            });
            // Split the part by the chunks' contents, keeping the members' order.
            std::unordered_map<uint64_t, std::vector<std::vector<size_t>>> byHash;
            std::vector<std::vector<size_t>*> order;
            for (size_t m : part.members) {
                Stream& s = streams[m];
                if (!s.ok) {
                    s.closeFd();
                    continue;
                }
                auto& lists = byHash[XXH3_64bits(s.chunk.data(), len)];
                bool placed = false;
                for (auto& list : lists) {
                    if (std::memcmp(streams[list.front()].chunk.data(), s.chunk.data(), len) == 0) {
                        list.push_back(m);
                        placed = true;
                        break;
                    }
                }
                if (!placed) lists.push_back({m});
            }
            for (auto& [hash, lists] : byHash)
                for (auto& list : lists) order.push_back(&list);
            std::sort(order.begin(), order.end(),
                      [](const auto* a, const auto* b) { return a->front() < b->front(); });
            const uint64_t offset = part.offset + len;
            const int step = part.step + 1;
            std::vector<size_t> current;
            for (auto* list : order) {
                if (list->size() < 2) {
                    streams[list->front()].closeFd();
                } else if (current.empty()) {
                    current = std::move(*list);
                } else {
                    work.push_back({std::move(*list), offset, step});
                }
            }
            part = {std::move(current), offset, step};
        }
        if (part.members.size() < 2) continue;
        std::vector<size_t> whole;
        for (size_t m : part.members) {
            if (streams[m].endsHere(size)) whole.push_back(m);
            streams[m].closeFd();
        }
        if (whole.size() < 2) continue;
        for (size_t m : whole) classes[m] = nextClass;
        ++nextClass;
    }
    return true;
}

}  // namespace quenrix
