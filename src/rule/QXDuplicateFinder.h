// The grouping engine of the duplicate and same-file rules: sorts a set of records into
// classes of equal files by one comparison method, with hash maps on keys instead of a
// comparison of every pair.
//
// Content methods read only what they must: a digest already on the record or valid in
// the cache is taken without opening the file; otherwise, when no digest of the set is
// known, a hash of the first 4 KiB sets apart the files that cannot be equal before any
// file is read in full; the remaining digests are computed on a small thread pool. The
// exact method reads all files of the set once, side by side, chunk by chunk, splitting
// the set wherever the chunks differ.
//
// Files that cannot be read in full, files that changed since they were recorded and
// files that are not regular belong to no class, so they equal nothing; so does an empty
// stem under the stem method.
//
// One finder belongs to one rule pass on the search worker. Records are touched by the
// pool's threads only one record per thread at a time; host.cancelled() is read from
// them, everything else of the host only from the calling thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/QXFileInfo.h"
#include "digest/QXDigest.h"

namespace quenrix {

class QXRuleHost;
class QXCacheServer;

// How two records are compared.
struct QXMatchMethod {
    enum Key { kNone, kExact, kDigest, kNameAndSize, kName, kStem, kSize };
    Key key = kNone;
    QXDigestKind digest = QXDigestKind::kXxh64;

    // True when only records of equal size can be equal.
    bool sizeFirst() const { return key != kName && key != kStem; }
};

// A few threads that run the indexes of one task at a time; the calling thread works
// along. Threads start on the first task that has more than one index.
class QXWorkerPool {
public:
    // At most `threads` threads besides the caller.
    explicit QXWorkerPool(unsigned threads);
    ~QXWorkerPool();
    QXWorkerPool(const QXWorkerPool&) = delete;
    QXWorkerPool& operator=(const QXWorkerPool&) = delete;

    // Runs task(i) for every i below count and returns when all have finished. The task
    // must not throw.
    void run(size_t count, const std::function<void(size_t)>& task);

    // min(4, hardware threads) - 1 helpers, so that at most four threads read at once.
    static unsigned defaultThreads();

private:
    void workerLoop();
    void drain();

    unsigned m_wanted;
    std::vector<std::thread> m_threads;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(size_t)>* m_task = nullptr;
    size_t m_count = 0;
    size_t m_next = 0;
    uint64_t m_generation = 0;
    unsigned m_finished = 0;
    bool m_stop = false;
};

class QXDuplicateFinder {
public:
    // Size of the leading part hashed to set apart files before their full digests.
    static constexpr size_t kPrefixBytes = 4096;

    QXDuplicateFinder(QXMatchMethod method, QXRuleHost& host);

    const QXMatchMethod& method() const { return m_method; }

    // Sorts the records into classes: classes[i] is the class of records[i], counted from
    // 0, or -1 when records[i] equals no other record of the set (it may still be alone
    // in its class otherwise). Under sizeFirst methods every record must have the same
    // size. For digest methods the digest text of every record whose digest was made is
    // copied into its comparison text. False when the search was cancelled (classes are
    // then incomplete).
    bool classify(const std::vector<QXFileInfo*>& records, std::vector<int64_t>& classes);

    // Runs task(i) for every i below count on the finder's threads.
    void runOnPool(size_t count, const std::function<void(size_t)>& task) {
        m_pool.run(count, task);
    }

private:
    bool classifyNames(const std::vector<QXFileInfo*>& records, std::vector<int64_t>& classes);
    bool classifyDigests(const std::vector<QXFileInfo*>& records, std::vector<int64_t>& classes);
    bool classifyExact(const std::vector<QXFileInfo*>& records, std::vector<int64_t>& classes);

    QXMatchMethod m_method;
    QXRuleHost& m_host;
    QXWorkerPool m_pool;
    std::vector<uint8_t> m_state;  // classifyDigests' work arrays
    std::vector<size_t> m_pending;
};

// While alive, the cache store answers the lookups of a content method for the records
// folders from memory: it opens a batch and preloads the rows of the method's digest and
// prefix tags below the records' common folder. Does nothing without a cache or for
// methods that read no digests.
class QXCacheWindow {
public:
    QXCacheWindow(const QXMatchMethod& method, const QXFileList& files, QXCacheServer* cache);
    ~QXCacheWindow();
    QXCacheWindow(const QXCacheWindow&) = delete;
    QXCacheWindow& operator=(const QXCacheWindow&) = delete;

private:
    QXCacheServer* m_cache = nullptr;
};

// The cache tags a content method looks up: its digest's and the prefix hash's; none for
// methods that read no digests.
std::vector<std::string> cacheTagsOf(const QXMatchMethod& method);

// The method of a duplicate-rule algorithm id (0 to 10); kNone for any other value.
QXMatchMethod duplicateMethod(int32_t algorithm);
// The method of a same-file-rule algorithm id (0 to 9); kNone for any other value.
QXMatchMethod sameFileMethod(int32_t algorithm);

// The text a name method compares: the lower-cased name, or the lower-cased stem (the
// part before the last "."); empty when there is nothing to compare.
std::wstring nameKey(const QXFileInfo& info, bool stem);

// The positions 0 .. n-1 of files ordered by size, smallest first, equal sizes in input
// order.
std::vector<size_t> sortedBySize(const QXFileList& files);

// True when a and b are the same file on disk (device and inode, both known).
inline bool sameInode(const QXFileInfo& a, const QXFileInfo& b) {
    return a.stat().ino != 0 && a.stat().ino == b.stat().ino && a.stat().dev == b.stat().dev;
}

}  // namespace quenrix
