// Content digests of files (CRC-32, MD5, SHA-1, SHA-256, SHA-512, XXH64 with seed 0),
// computed on demand at most once per file record, kept on the record and, when a cache
// is given, looked up in and stored to the cache store. Also the byte-by-byte comparison
// of two files.
//
// Texts are the digest bytes as lower-case hexadecimal without separators. For CRC-32
// and XXH64 the bytes are those of the integer laid out least significant first, so the
// CRC-32 of "123456789" (0xCBF43926) reads "2639f4cb". An empty text means no digest
// could be made.
//
// Data safety: a file is opened with O_NOFOLLOW | O_NONBLOCK and read only when fstat
// shows a regular file (with the recorded device, inode, size and last-write time when a
// record is given), with read(), never mapped. A digest counts only when exactly the
// expected size was read and the end of the file followed; otherwise the text is empty.
//
// Thread-safe for distinct records: the functions keep no state, and the cache store
// serialises itself. A record belongs to one thread at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileStat.h"

namespace quenrix {

class QXFileInfo;
class QXCacheServer;

enum class QXDigestKind { kCrc32, kMd5, kSha1, kSha256, kSha512, kXxh64 };

// The digest texts of one file record, owned through its extras.
struct QXDigestRecord {
    std::wstring comparison;  // the text the last digest comparison of this file used
    std::wstring crc32;
    std::wstring md5;
    std::wstring sha1;
    std::wstring sha256;
    std::wstring sha512;
    std::wstring xxh64;

    std::wstring& text(QXDigestKind kind);
    const std::wstring& text(QXDigestKind kind) const;
};

// "crc32", "md5", "sha1", "sha256", "sha512", "xxhash64".
const char* digestCacheTag(QXDigestKind kind);
// The record flag that marks the kind as computed (QXFileInfo::kCrc32Computed...).
uint32_t digestComputedFlag(QXDigestKind kind);
// Length of the kind's text: 8, 32, 40, 64, 128, 16.
size_t digestTextLength(QXDigestKind kind);

// The cache stamp of a file state: its last-write time in local time to the minute
// ("%04d/%02d/%02d %02d:%02d"), then the exact last-write time in nanoseconds, the size
// and the inode, separated by spaces. A cached value counts only when the whole stamp
// matches; stamps holding the minute alone, written by earlier versions, never do.
std::string digestCacheStamp(const platform::FileStat& st);
// The same into a buffer of the caller; returns its length. Cheap enough to run for every
// lookup of a search.
using DigestStampBuffer = std::array<char, 96>;
size_t formatDigestCacheStamp(const platform::FileStat& st, DigestStampBuffer& buf);

// Makes the digest of the kind available on the record: from the record when already
// computed, else from the cache (when cache is not null and its entry is valid), else by
// reading the file; a newly read, non-empty text is stored in the cache. Sets the
// computed mark also when the text stays empty, and then logs the path once. False only
// when the digest record cannot be allocated (logs "Bad Alloc").
bool EnsureDigest(QXFileInfo& info, QXDigestKind kind, QXCacheServer* cache);

// Makes the digest of the kind available on the record without reading the file: true
// when it was already computed or the cache holds a valid entry (which is then taken
// and the computed mark set); false otherwise, leaving the record as it was.
bool CachedDigest(QXFileInfo& info, QXDigestKind kind, QXCacheServer* cache);

// Runs task(i) for every i below count, on several threads where it can, and returns
// when all have finished.
using QXParallelFor = std::function<void(size_t count, const std::function<void(size_t)>& task)>;

// CachedDigest for many records at once, each taking the cache's valid entry when it
// has one. Much cheaper per record than single lookups when the records of one folder
// come one after another, as they do in the order the files were listed. The texts are
// put on the records through `parallel` when given (each record by one thread).
void CachedDigests(const std::vector<QXFileInfo*>& records, QXDigestKind kind, QXCacheServer* cache,
                   const QXParallelFor& parallel = nullptr);

// Opens the recorded file for content reading under the same safety as the digests
// (no final symbolic link, no blocking, a regular file with the recorded device, inode,
// size and last-write time). The descriptor, or -1; the caller closes it.
int OpenRecordedFile(const QXFileInfo& info);

// A 64-bit hash of the first `length` bytes of the recorded file (all of it when
// shorter), for telling apart files that cannot be equal without reading them in full.
// False when the file cannot be opened or read.
bool HashFilePrefix(const QXFileInfo& info, size_t length, uint64_t* hash);
// The same through the cache (when not null): a valid entry of the prefix tag is taken
// without reading the file, and a newly made hash is stored.
bool CachedFilePrefix(const QXFileInfo& info, size_t length, QXCacheServer* cache, uint64_t* hash);
// Only the cache's part of that: true when a valid entry was found (and taken), without
// reading the file.
bool CachedPrefixOnly(const QXFileInfo& info, size_t length, QXCacheServer* cache, uint64_t* hash);
// The cache tag of the prefix hash of `length` bytes ("xxh3prefix4096").
std::string prefixCacheTag(size_t length);

// The digest text of the file at path (native bytes), or empty when it cannot be read in
// full. With expected, the file must still be the recorded one (device, inode, size and
// last-write time).
std::string DigestFile(QXDigestKind kind, const std::string& path,
                       const platform::FileStat* expected = nullptr);
// The same for a wide path, which goes through the lossless codec.
std::string DigestFile(QXDigestKind kind, const std::wstring& path);

// True when both files are still the recorded ones, of the same recorded size, and read
// equal up to their ends, which both reach together at that size. False otherwise and
// whenever either file cannot be read.
bool CompareFileContents(const QXFileInfo& a, const QXFileInfo& b);

}  // namespace quenrix
