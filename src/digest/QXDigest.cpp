#include "digest/QXDigest.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/QXFileExtras.h"
#include "core/QXFileInfo.h"
#include "core/QXLog.h"
#include "digest/QXCacheServer.h"
#include "platform/Times.h"
#include "platform/UniqueFd.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

// Large reads keep the system calls few; each thread has its own buffer, so threads share
// nothing.
constexpr size_t kBlockSize = 1 << 20;

int64_t nsOf(const struct timespec& ts) {
    return int64_t(ts.tv_sec) * 1000000000 + int64_t(ts.tv_nsec);
}

using Fd = platform::UniqueFd;

// Opens path for content reading: never through a final symbolic link, never blocking
// on a FIFO or device, and only when it is a regular file (the recorded one, when
// expected is given). On success *size holds the size to read.
int openForContent(const std::string& path, const platform::FileStat* expected, uint64_t* size,
                   struct stat* opened) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && expected) {
        ok = uint64_t(st.st_dev) == expected->dev && uint64_t(st.st_ino) == expected->ino &&
             uint64_t(st.st_size) == expected->size && nsOf(st.st_mtim) == expected->writeNs;
    }
    if (!ok) {
        ::close(fd);
        return -1;
    }
    *size = uint64_t(st.st_size);
    *opened = st;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return fd;
}

// Reads up to len bytes, as many as the file gives before its end. -1 on a read error.
ssize_t readFull(int fd, unsigned char* buf, size_t len) {
    size_t done = 0;
    while (done < len) {
        const ssize_t n = ::read(fd, buf + done, len - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    return ssize_t(done);
}

// True when the file is still as it was opened: same size and last-write time. Catches
// a file rewritten in place while it was read.
bool unchangedSinceOpen(int fd, const struct stat& opened) {
    struct stat now;
    return ::fstat(fd, &now) == 0 && now.st_size == opened.st_size &&
           nsOf(now.st_mtim) == nsOf(opened.st_mtim);
}

// Feeds one digest; finish gives the digest bytes in text order.
class Hasher {
public:
    virtual ~Hasher() = default;
    virtual bool update(const unsigned char* data, size_t len) = 0;
    virtual bool finish(std::vector<unsigned char>& out) = 0;
};

class Crc32Hasher : public Hasher {
public:
    bool update(const unsigned char* data, size_t len) override {
        m_crc = libdeflate_crc32(m_crc, data, len);
        return true;
    }
    bool finish(std::vector<unsigned char>& out) override {
        out = {uint8_t(m_crc), uint8_t(m_crc >> 8), uint8_t(m_crc >> 16), uint8_t(m_crc >> 24)};
        return true;
    }

private:
    uint32_t m_crc = 0;  // libdeflate's starting value: it complements in and out itself
};

class Xxh64Hasher : public Hasher {
public:
    Xxh64Hasher() : m_state(XXH64_createState()) {
        if (!m_state) throw std::bad_alloc();
        XXH64_reset(m_state, 0);
    }
    ~Xxh64Hasher() override { XXH64_freeState(m_state); }
    bool update(const unsigned char* data, size_t len) override {
        return XXH64_update(m_state, data, len) == XXH_OK;
    }
    bool finish(std::vector<unsigned char>& out) override {
        const XXH64_hash_t h = XXH64_digest(m_state);
        out.resize(8);
        for (int i = 0; i < 8; ++i) out[size_t(i)] = uint8_t(h >> (8 * i));
        return true;
    }

private:
    XXH64_state_t* m_state;
};

class EvpHasher : public Hasher {
public:
    explicit EvpHasher(const EVP_MD* md) : m_ctx(EVP_MD_CTX_new()) {
        if (!m_ctx) throw std::bad_alloc();
        m_ok = EVP_DigestInit_ex(m_ctx, md, nullptr) == 1;
    }
    ~EvpHasher() override { EVP_MD_CTX_free(m_ctx); }
    bool update(const unsigned char* data, size_t len) override {
        m_ok = m_ok && EVP_DigestUpdate(m_ctx, data, len) == 1;
        return m_ok;
    }
    bool finish(std::vector<unsigned char>& out) override {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned int len = 0;
        if (!m_ok || EVP_DigestFinal_ex(m_ctx, md, &len) != 1) return false;
        out.assign(md, md + len);
        return true;
    }

private:
    EVP_MD_CTX* m_ctx;
    bool m_ok = false;
};

std::unique_ptr<Hasher> makeHasher(QXDigestKind kind) {
    switch (kind) {
        case QXDigestKind::kCrc32:
            return std::make_unique<Crc32Hasher>();
        case QXDigestKind::kMd5:
            return std::make_unique<EvpHasher>(EVP_md5());
        case QXDigestKind::kSha1:
            return std::make_unique<EvpHasher>(EVP_sha1());
        case QXDigestKind::kSha256:
            return std::make_unique<EvpHasher>(EVP_sha256());
        case QXDigestKind::kSha512:
            return std::make_unique<EvpHasher>(EVP_sha512());
        case QXDigestKind::kXxh64:
            return std::make_unique<Xxh64Hasher>();
    }
    return nullptr;
}

std::string hexText(const std::vector<unsigned char>& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

std::wstring asciiToWide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// The cached content of (path, tag) when its row was stored for exactly this file state;
// the strings belong to the calling thread and are reused by its next call.
const std::string* validCachedContent(QXCacheServer& cache, const QXFileInfo& info,
                                      std::string_view tag, size_t length) {
    thread_local std::string content;
    thread_local std::string stamp;
    if (!cache.find(info.nativePath(), tag, content, stamp) || content.size() != length)
        return nullptr;
    DigestStampBuffer buf;
    if (stamp != std::string_view(buf.data(), formatDigestCacheStamp(info.stat(), buf)))
        return nullptr;
    return &content;
}

}  // namespace

std::wstring& QXDigestRecord::text(QXDigestKind kind) {
    switch (kind) {
        case QXDigestKind::kCrc32:
            return crc32;
        case QXDigestKind::kMd5:
            return md5;
        case QXDigestKind::kSha1:
            return sha1;
        case QXDigestKind::kSha256:
            return sha256;
        case QXDigestKind::kSha512:
            return sha512;
        case QXDigestKind::kXxh64:
            return xxh64;
    }
    return comparison;
}

const std::wstring& QXDigestRecord::text(QXDigestKind kind) const {
    return const_cast<QXDigestRecord*>(this)->text(kind);
}

const char* digestCacheTag(QXDigestKind kind) {
    switch (kind) {
        case QXDigestKind::kCrc32:
            return "crc32";
        case QXDigestKind::kMd5:
            return "md5";
        case QXDigestKind::kSha1:
            return "sha1";
        case QXDigestKind::kSha256:
            return "sha256";
        case QXDigestKind::kSha512:
            return "sha512";
        case QXDigestKind::kXxh64:
            return "xxhash64";
    }
    return "";
}

uint32_t digestComputedFlag(QXDigestKind kind) {
    switch (kind) {
        case QXDigestKind::kCrc32:
            return QXFileInfo::kCrc32Computed;
        case QXDigestKind::kMd5:
            return QXFileInfo::kMd5Computed;
        case QXDigestKind::kSha1:
            return QXFileInfo::kSha1Computed;
        case QXDigestKind::kSha256:
            return QXFileInfo::kSha256Computed;
        case QXDigestKind::kSha512:
            return QXFileInfo::kSha512Computed;
        case QXDigestKind::kXxh64:
            return QXFileInfo::kXxh64Computed;
    }
    return 0;
}

size_t digestTextLength(QXDigestKind kind) {
    switch (kind) {
        case QXDigestKind::kCrc32:
            return 8;
        case QXDigestKind::kMd5:
            return 32;
        case QXDigestKind::kSha1:
            return 40;
        case QXDigestKind::kSha256:
            return 64;
        case QXDigestKind::kSha512:
            return 128;
        case QXDigestKind::kXxh64:
            return 16;
    }
    return 0;
}

size_t formatDigestCacheStamp(const platform::FileStat& st, DigestStampBuffer& buf) {
    // The minute text depends on the whole second only, and the files of one folder are
    // mostly written within the same few seconds: each thread keeps the last second it
    // turned into local time, which spares a time-zone conversion and a formatted print
    // on most of the tens of thousands of stamps a search compares.
    thread_local int64_t lastSecond = INT64_MIN;
    thread_local char lastMinute[32];
    const int64_t second =
        st.writeNs >= 0 ? st.writeNs / 1000000000 : -((-(st.writeNs + 1)) / 1000000000) - 1;
    if (second != lastSecond) {
        platform::SYSTEMTIME local;
        if (!platform::fileTimeToLocalSystemTime(platform::fileTimeFromUnixNs(st.writeNs), local))
            local = platform::SYSTEMTIME{};
        // "%04d/%02d/%02d %02d:%02d", written out by hand: a formatted print costs more
        // than the rest of the stamp.
        auto put = [](char* at, unsigned value, int width) {
            for (int i = width - 1; i >= 0; --i) {
                at[i] = char('0' + value % 10);
                value /= 10;
            }
        };
        if (local.wYear > 9999 || local.wMonth > 99 || local.wDay > 99 || local.wHour > 99 ||
            local.wMinute > 99) {
            std::snprintf(lastMinute, sizeof lastMinute, "%04d/%02d/%02d %02d:%02d", local.wYear,
                          local.wMonth, local.wDay, local.wHour, local.wMinute);
        } else {
            put(lastMinute, local.wYear, 4);
            lastMinute[4] = '/';
            put(lastMinute + 5, local.wMonth, 2);
            lastMinute[7] = '/';
            put(lastMinute + 8, local.wDay, 2);
            lastMinute[10] = ' ';
            put(lastMinute + 11, local.wHour, 2);
            lastMinute[13] = ':';
            put(lastMinute + 14, local.wMinute, 2);
            lastMinute[16] = '\0';
        }
        lastSecond = second;
    }
    char* out = buf.data();
    char* const end = buf.data() + buf.size();
    const size_t minuteLength = std::strlen(lastMinute);
    std::memcpy(out, lastMinute, minuteLength);
    out += minuteLength;
    *out++ = ' ';
    out = std::to_chars(out, end, st.writeNs).ptr;
    *out++ = ' ';
    out = std::to_chars(out, end, st.size).ptr;
    *out++ = ' ';
    out = std::to_chars(out, end, st.ino).ptr;
    return size_t(out - buf.data());
}

std::string digestCacheStamp(const platform::FileStat& st) {
    DigestStampBuffer buf;
    return std::string(buf.data(), formatDigestCacheStamp(st, buf));
}

std::string DigestFile(QXDigestKind kind, const std::string& path,
                       const platform::FileStat* expected) {
    try {
        uint64_t size = 0;
        struct stat opened;
        Fd fd(openForContent(path, expected, &size, &opened));
        if (fd.get() < 0) return {};
        std::unique_ptr<Hasher> hasher = makeHasher(kind);
        // One block per thread, made once and never cleared: most files are small, and
        // zeroing a fresh megabyte for each of them costs more than hashing them.
        thread_local std::unique_ptr<unsigned char[]> buf(new unsigned char[kBlockSize]);
        uint64_t done = 0;
        while (done < size) {
            const ssize_t n = readFull(fd.get(), buf.get(), kBlockSize);
            if (n <= 0) return {};                     // a read error, or the file shrank
            if (uint64_t(n) > size - done) return {};  // the file grew
            if (!hasher->update(buf.get(), size_t(n))) return {};
            done += uint64_t(n);
        }
        // The end must follow at once.
        unsigned char probe;
        if (readFull(fd.get(), &probe, 1) != 0) return {};
        if (!unchangedSinceOpen(fd.get(), opened)) return {};
        std::vector<unsigned char> bytes;
        if (!hasher->finish(bytes)) return {};
        return hexText(bytes);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

std::string DigestFile(QXDigestKind kind, const std::wstring& path) {
    return DigestFile(kind, tovy::toUtf8(path));
}

bool EnsureDigest(QXFileInfo& info, QXDigestKind kind, QXCacheServer* cache) {
    const uint32_t mark = digestComputedFlag(kind);
    if (info.hasFlag(mark)) return true;

    QXFileExtras* extras = nullptr;
    try {
        extras = &info.extras();
        if (!extras->digests) extras->digests = std::make_unique<QXDigestRecord>();
    } catch (const std::bad_alloc&) {
        QXLog::Write(L"Bad Alloc");
        return false;
    }
    std::wstring& text = extras->digests->text(kind);
    const char* tag = digestCacheTag(kind);

    bool fromCache = false;
    if (cache) {
        if (const std::string* hit =
                validCachedContent(*cache, info, tag, digestTextLength(kind))) {
            text = asciiToWide(*hit);
            fromCache = true;
        }
    }
    if (!fromCache) {
        const std::string digest = DigestFile(kind, info.nativePath(), &info.stat());
        text = asciiToWide(digest);
        // An empty text says nothing about the file; it is never cached.
        if (cache && !digest.empty())
            cache->store(info.nativePath(), tag, digest, digestCacheStamp(info.stat()));
    }
    info.addFlags(mark);
    if (text.empty()) QXLog::Write(L"%s", info.fullPath().c_str());
    return true;
}

namespace {

// Puts a cached digest text on the record and sets its computed mark; false when the
// digest record cannot be allocated.
bool takeCachedText(QXFileInfo& info, QXDigestKind kind, std::string_view text) {
    try {
        QXFileExtras& extras = info.extras();
        if (!extras.digests) extras.digests = std::make_unique<QXDigestRecord>();
        extras.digests->text(kind).assign(text.begin(), text.end());
    } catch (const std::bad_alloc&) {
        return false;
    }
    info.addFlags(digestComputedFlag(kind));
    return true;
}

}  // namespace

bool CachedDigest(QXFileInfo& info, QXDigestKind kind, QXCacheServer* cache) {
    if (info.hasFlag(digestComputedFlag(kind))) return true;
    if (!cache) return false;
    const std::string* hit =
        validCachedContent(*cache, info, digestCacheTag(kind), digestTextLength(kind));
    return hit && takeCachedText(info, kind, *hit);
}

void CachedDigests(const std::vector<QXFileInfo*>& records, QXDigestKind kind, QXCacheServer* cache,
                   const QXParallelFor& parallel) {
    if (!cache) return;
    const uint32_t mark = digestComputedFlag(kind);
    const size_t length = digestTextLength(kind);
    // The records left are looked up one by one when memory runs out here.
    try {
        // The valid texts are gathered under the store's lock, side by side; putting them
        // on the records, which allocates for each, is what may run on several threads.
        std::vector<QXFileInfo*> hits;
        std::string texts;
        hits.reserve(records.size());
        texts.reserve(records.size() * length);
        DigestStampBuffer buf;
        cache->findEach(
            digestCacheTag(kind), records.size(),
            [&](size_t i) { return std::string_view(records[i]->nativePath()); },
            [&](size_t i, std::string_view content, std::string_view stamp) {
                QXFileInfo& info = *records[i];
                if (info.hasFlag(mark)) return;  // made already
                const std::string_view now(buf.data(), formatDigestCacheStamp(info.stat(), buf));
                if (content.size() != length || stamp != now) return;
                hits.push_back(&info);
                texts.append(content);
            });
        constexpr size_t kChunk = 512;
        auto take = [&](size_t chunk) {
            const size_t end = std::min(hits.size(), (chunk + 1) * kChunk);
            for (size_t j = chunk * kChunk; j < end; ++j) {
                QXFileInfo& info = *hits[j];
                if (!takeCachedText(info, kind, std::string_view(texts).substr(j * length, length)))
                    continue;
                // The duplicate rules copy the text into the comparison text next; its
                // room is made here, on this thread.
                try {
                    info.extras().digests->comparison.reserve(length);
                } catch (const std::bad_alloc&) {
                }
            }
        };
        const size_t chunks = (hits.size() + kChunk - 1) / kChunk;
        if (parallel) {
            parallel(chunks, take);
        } else {
            for (size_t c = 0; c < chunks; ++c) take(c);
        }
    } catch (const std::bad_alloc&) {
    }
}

int OpenRecordedFile(const QXFileInfo& info) {
    uint64_t size = 0;
    struct stat opened;
    return openForContent(info.nativePath(), &info.stat(), &size, &opened);
}

bool HashFilePrefix(const QXFileInfo& info, size_t length, uint64_t* hash) {
    try {
        Fd fd(OpenRecordedFile(info));
        if (fd.get() < 0) return false;
        const size_t want = size_t(std::min<uint64_t>(length, info.size()));
        std::vector<unsigned char> buf(want);
        if (readFull(fd.get(), buf.data(), want) != ssize_t(want)) return false;
        *hash = XXH3_64bits(buf.data(), want);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::string prefixCacheTag(size_t length) {
    return "xxh3prefix" + std::to_string(length);
}

namespace {

// The cache tag of the prefix hash, made once per thread for the length last asked.
const std::string& prefixTagFor(size_t length) {
    thread_local std::string tag;
    thread_local size_t tagLength = 0;
    if (tag.empty() || tagLength != length) {
        tag = prefixCacheTag(length);
        tagLength = length;
    }
    return tag;
}

}  // namespace

bool CachedPrefixOnly(const QXFileInfo& info, size_t length, QXCacheServer* cache, uint64_t* hash) {
    if (!cache) return false;
    const std::string* hit = validCachedContent(*cache, info, prefixTagFor(length), 16);
    if (!hit) return false;
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(hit->data(), hit->data() + 16, value, 16);
    if (error != std::errc() || end != hit->data() + 16) return false;
    *hash = value;
    return true;
}

bool CachedFilePrefix(const QXFileInfo& info, size_t length, QXCacheServer* cache, uint64_t* hash) {
    if (!cache) return HashFilePrefix(info, length, hash);
    if (CachedPrefixOnly(info, length, cache, hash)) return true;
    if (!HashFilePrefix(info, length, hash)) return false;
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, *hash);
    cache->store(info.nativePath(), prefixTagFor(length), std::string_view(text, 16),
                 digestCacheStamp(info.stat()));
    return true;
}

bool CompareFileContents(const QXFileInfo& a, const QXFileInfo& b) {
    if (a.size() != b.size()) return false;
    try {
        uint64_t sizeA = 0, sizeB = 0;
        struct stat openedA, openedB;
        Fd fa(openForContent(a.nativePath(), &a.stat(), &sizeA, &openedA));
        if (fa.get() < 0) return false;
        Fd fb(openForContent(b.nativePath(), &b.stat(), &sizeB, &openedB));
        if (fb.get() < 0) return false;
        std::vector<unsigned char> bufA(kBlockSize), bufB(kBlockSize);
        uint64_t done = 0;
        for (;;) {
            const ssize_t na = readFull(fa.get(), bufA.data(), bufA.size());
            const ssize_t nb = readFull(fb.get(), bufB.data(), bufB.size());
            if (na < 0 || nb < 0 || na != nb) return false;
            if (na == 0) break;
            if (std::memcmp(bufA.data(), bufB.data(), size_t(na)) != 0) return false;
            done += uint64_t(na);
            if (done > sizeA) return false;  // grew while read
        }
        return done == sizeA && unchangedSinceOpen(fa.get(), openedA) &&
               unchangedSinceOpen(fb.get(), openedB);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace quenrix
