// One archive module of the common archiver interface over libarchive. The same source is
// built once per prefix (UnZip, Tar, SevenZip, ...); QX_ARCHIVER_PREFIX names the exports
// and QX_ARCHIVER_TYPE picks the formats this module reads:
//
//   1 Unlha    LHA/LZH            5 Unrar     RAR 4 and RAR 5
//   2 UnZip    ZIP                6 SevenZip  7z
//   3 Cab      Microsoft cabinet  7 UnGCA, 8 Yz1: no reader exists, every file is refused
//   4 Tar      tar, plain or gzip/bzip2/xz compressed, and single .gz/.bz2/.xz files
//   9 Zip      ZIP (the creating module of the family; here it lists like UnZip)
//
// libarchive does not verify a gzip stream's CRC-32 and length, so a damaged tar.gz could
// list as a good one: the tar module checks the whole gzip stream itself when it opens
// such a file, and refuses it when the check fails.
//
// Self-extracting archives are found where libarchive's reader looks for them (zip by its
// end record, 7z, rar, lha and cab behind an "MZ" program stub).
//
// Files are opened safely: never through a final symbolic link, never blocking on a FIFO
// or device, regular files only, read with read() (no memory mapping).
//
// A listing reads each member's data through before it reports the member, so a member
// whose data is damaged (a CRC mismatch, a truncated stream) ends the listing with
// kArcErrorBroken instead of being reported. Encrypted members cannot be verified and are
// reported unread.
//
// Thread-safe: handles share no state; the mode switches are atomics.
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "tovy/support_archive/ArchiverApi.h"

#ifndef QX_ARCHIVER_PREFIX
#error "QX_ARCHIVER_PREFIX names the module's exports"
#endif
#ifndef QX_ARCHIVER_TYPE
#error "QX_ARCHIVER_TYPE picks the module's formats"
#endif

#define QX_CAT2(a, b) a##b
#define QX_CAT(a, b) QX_CAT2(a, b)
#define QX_FN(suffix) QX_CAT(QX_ARCHIVER_PREFIX, suffix)
#define QX_EXPORT extern "C" __attribute__((visibility("default")))

using namespace tovy::support_archive;

namespace {

constexpr uint16_t kVersion = 100;
constexpr size_t kReadBlock = 64 * 1024;

enum Formats : unsigned {
    kLha = 1u << 0,
    kZip = 1u << 1,
    kCab = 1u << 2,
    kTar = 1u << 3,
    kRar = 1u << 4,
    kSevenZip = 1u << 5,
};

constexpr unsigned formatsOfType(int type) {
    switch (type) {
        case 1:
            return kLha;
        case 2:
            return kZip;
        case 3:
            return kCab;
        case 4:
            return kTar;
        case 5:
            return kRar;
        case 6:
            return kSevenZip;
        case 9:
            return kZip;
        default:
            return 0;
    }
}

constexpr unsigned kFormats = formatsOfType(QX_ARCHIVER_TYPE);

std::atomic<int> g_backgroundMode{0};
std::atomic<int> g_cursorMode{0};
std::atomic<uint16_t> g_cursorInterval{80};

// One open archive: the descriptor, the libarchive reader over it, and the member the
// listing stands on.
struct Archive {
    static constexpr uint32_t kMagic = 0x51584152;  // "QXAR"
    uint32_t magic = kMagic;

    int fd = -1;
    struct stat st {};
    std::string path;
    struct archive* reader = nullptr;
    bool emptyZip = false;

    // The reader has read the first header and nobody has looked at it yet.
    bool firstPending = false;
    int firstResult = ARCHIVE_EOF;
    struct archive_entry* firstEntry = nullptr;
    // The listing met a damaged header or member; it stays ended.
    bool broken = false;
    std::string wildName;

    // The current member.
    bool hasMember = false;
    std::string name;
    bool isFolder = false;
    bool sizeKnown = false;
    int64_t size = 0;
    mode_t mode = 0;
    time_t mtime = 0, birthtime = 0, atime = 0;
    bool hasBirthtime = false, hasAtime = false;
};

// Opens a regular file for reading; -1 for anything else.
int openRegular(const char* path, struct stat& st) {
    if (!path || !*path) return -1;
    int fd;
    do {
        fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True unless the file is a gzip stream (one or more members) that is damaged: bad
// deflate data, a CRC-32 or length mismatch, or a stream that ends early.
bool gzipIntact(int fd) {
    unsigned char magic[2];
    if (::pread(fd, magic, 2, 0) != 2 || magic[0] != 0x1F || magic[1] != 0x8B) return true;
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK) return false;
    std::string in(kReadBlock, '\0');
    std::string out(kReadBlock, '\0');
    off_t offset = 0;
    bool ok = true, ended = false;
    for (;;) {
        if (z.avail_in == 0) {
            const ssize_t n = ::pread(fd, in.data(), in.size(), offset);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = n == 0 && ended;
                break;
            }
            offset += n;
            z.next_in = reinterpret_cast<Bytef*>(in.data());
            z.avail_in = uInt(n);
        }
        if (ended) {
            // Another member may follow; zero padding after the last one is accepted.
            if (z.next_in[0] == 0) {
                ++z.next_in;
                --z.avail_in;
                continue;
            }
            if (inflateReset(&z) != Z_OK) {
                ok = false;
                break;
            }
            ended = false;
        }
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        const int r = inflate(&z, Z_NO_FLUSH);
        if (r == Z_STREAM_END) {
            ended = true;
        } else if (r != Z_OK && !(r == Z_BUF_ERROR && z.avail_in == 0)) {
            ok = false;
            break;
        }
    }
    inflateEnd(&z);
    return ok;
}

// True for a zip that holds nothing: its end record alone (and its comment).
bool isEmptyZip(int fd, const struct stat& st) {
    unsigned char eocd[22];
    if (st.st_size < 22 || ::pread(fd, eocd, sizeof(eocd), 0) != ssize_t(sizeof(eocd))) {
        return false;
    }
    if (std::memcmp(eocd, "PK\x05\x06", 4) != 0) return false;
    for (int i = 4; i < 20; ++i) {
        if (eocd[i] != 0) return false;
    }
    return st.st_size == 22 + (eocd[20] | (eocd[21] << 8));
}

struct archive* newReader(bool emptyZip) {
    struct archive* a = archive_read_new();
    if (!a) return nullptr;
    if (kFormats & kLha) archive_read_support_format_lha(a);
    // Only the reader that goes by the central directory: a zip without its end record
    // (truncated) is refused rather than half listed from the local headers. That reader
    // does not take an empty zip, which the streaming one reads as what it is.
    if ((kFormats & kZip) && !emptyZip) archive_read_support_format_zip_seekable(a);
    if ((kFormats & kZip) && emptyZip) archive_read_support_format_zip_streamable(a);
    if (kFormats & kCab) archive_read_support_format_cab(a);
    if (kFormats & kRar) {
        archive_read_support_format_rar(a);
        archive_read_support_format_rar5(a);
    }
    if (kFormats & kSevenZip) archive_read_support_format_7zip(a);
    if (kFormats & kTar) {
        archive_read_support_format_tar(a);
        archive_read_support_format_gnutar(a);
        // A single compressed file (notes.txt.gz) lists as its one member; accepted only
        // behind a compression filter (checked in readHeader).
        archive_read_support_format_raw(a);
        archive_read_support_filter_gzip(a);
        archive_read_support_filter_bzip2(a);
        archive_read_support_filter_xz(a);
    }
    return a;
}

// The reader over a.fd from its start; false when libarchive refuses it.
bool startReader(Archive& arc) {
    if (arc.reader) {
        archive_read_free(arc.reader);
        arc.reader = nullptr;
    }
    if (::lseek(arc.fd, 0, SEEK_SET) != 0) return false;
    arc.reader = newReader(arc.emptyZip);
    if (!arc.reader) return false;
    if (archive_read_open_fd(arc.reader, arc.fd, kReadBlock) != ARCHIVE_OK) return false;
    return true;
}

std::string baseNameWithoutExtension(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name.empty() ? std::string("data") : name;
}

// Reads the next header into the current member. kArcOk, kArcEnd or kArcErrorBroken.
int readHeader(Archive& arc, bool first) {
    arc.hasMember = false;
    struct archive_entry* entry = nullptr;
    int r;
    if (first && arc.firstPending) {
        arc.firstPending = false;
        r = arc.firstResult;
        entry = arc.firstEntry;
    } else {
        do {
            r = archive_read_next_header(arc.reader, &entry);
        } while (r == ARCHIVE_RETRY);
    }
    if (r == ARCHIVE_EOF) return kArcEnd;
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) return kArcErrorBroken;
    if (!entry) return kArcErrorBroken;
    if (archive_format(arc.reader) == ARCHIVE_FORMAT_RAW && archive_filter_count(arc.reader) < 2) {
        return kArcErrorBroken;
    }
    const char* name = archive_entry_pathname_utf8(entry);
    if (!name) name = archive_entry_pathname(entry);
    arc.name = name ? name : "";
    if (archive_format(arc.reader) == ARCHIVE_FORMAT_RAW)
        arc.name = baseNameWithoutExtension(arc.path);
    arc.isFolder = archive_entry_filetype(entry) == AE_IFDIR;
    arc.sizeKnown = archive_entry_size_is_set(entry) != 0;
    arc.size = arc.sizeKnown ? archive_entry_size(entry) : 0;
    arc.mode = archive_entry_mode(entry);
    arc.mtime = archive_entry_mtime_is_set(entry) ? archive_entry_mtime(entry) : 0;
    arc.hasBirthtime = archive_entry_birthtime_is_set(entry) != 0;
    arc.birthtime = arc.hasBirthtime ? archive_entry_birthtime(entry) : 0;
    arc.hasAtime = archive_entry_atime_is_set(entry) != 0;
    arc.atime = arc.hasAtime ? archive_entry_atime(entry) : 0;
    arc.hasMember = true;
    // Verify the data now, so that a damaged member is never reported as a good one.
    if (!arc.isFolder && !archive_entry_is_encrypted(entry)) {
        const void* block;
        size_t len;
        la_int64_t offset;
        int d;
        while ((d = archive_read_data_block(arc.reader, &block, &len, &offset)) == ARCHIVE_OK) {
        }
        if (d != ARCHIVE_EOF) {
            arc.hasMember = false;
            return kArcErrorBroken;
        }
    }
    return kArcOk;
}

// Opens the file and reads its first header; null when the file is no archive of this
// module's formats.
Archive* openArchive(const char* path) {
    if (kFormats == 0) return nullptr;
    auto* arc = new Archive;
    arc->fd = openRegular(path, arc->st);
    arc->path = path ? path : "";
    arc->emptyZip = (kFormats & kZip) && arc->fd >= 0 && isEmptyZip(arc->fd, arc->st);
    if (arc->fd < 0 || ((kFormats & kTar) && !gzipIntact(arc->fd)) || !startReader(*arc)) {
        if (arc->reader) archive_read_free(arc->reader);
        if (arc->fd >= 0) ::close(arc->fd);
        delete arc;
        return nullptr;
    }
    struct archive_entry* entry = nullptr;
    int r;
    do {
        r = archive_read_next_header(arc->reader, &entry);
    } while (r == ARCHIVE_RETRY);
    // No format recognised (or the first header already broken): not ours. An archive
    // without members ends at once and is still an archive.
    const bool recognised = r == ARCHIVE_EOF
                                ? arc->st.st_size > 0
                                : (r == ARCHIVE_OK || r == ARCHIVE_WARN) &&
                                      !(archive_format(arc->reader) == ARCHIVE_FORMAT_RAW &&
                                        archive_filter_count(arc->reader) < 2);
    if (!recognised) {
        archive_read_free(arc->reader);
        ::close(arc->fd);
        delete arc;
        return nullptr;
    }
    arc->firstPending = true;
    arc->firstResult = r;
    arc->firstEntry = entry;
    return arc;
}

void closeArchive(Archive* arc) {
    if (!arc) return;
    if (arc->reader) archive_read_free(arc->reader);
    if (arc->fd >= 0) ::close(arc->fd);
    arc->magic = 0;
    delete arc;
}

Archive* handleOf(HARC h) {
    auto* arc = static_cast<Archive*>(h);
    return arc && arc->magic == Archive::kMagic ? arc : nullptr;
}

bool wildMatches(const std::string& wild, const std::string& name) {
    if (wild.empty() || wild == "*" || wild == "*.*") return true;
    return ::fnmatch(wild.c_str(), name.c_str(), FNM_NOESCAPE) == 0;
}

// Copies at most size - 1 bytes, never cutting a UTF-8 sequence.
int copyText(const std::string& text, char* buffer, size_t size) {
    if (!buffer || size == 0) return kArcErrorBuffer;
    size_t n = text.size();
    bool cut = false;
    if (n >= size) {
        n = size - 1;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
        cut = true;
    }
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return cut ? kArcErrorBuffer : kArcOk;
}

uint16_t dosDate(time_t t) {
    struct tm tm {};
    if (!::localtime_r(&t, &tm) || tm.tm_year < 80) return 0;
    return uint16_t(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
}

uint16_t dosTime(time_t t) {
    struct tm tm {};
    if (!::localtime_r(&t, &tm) || tm.tm_year < 80) return 0;
    return uint16_t((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

uint32_t dword(int64_t v) {
    return v < 0 || v > int64_t(0xFFFFFFFE) ? 0xFFFFFFFFu : uint32_t(v);
}

void fillInfo(const Archive& arc, IndividualInfo* info) {
    if (!info) return;
    std::memset(info, 0, sizeof(*info));
    info->originalSize = arc.sizeKnown ? dword(arc.size) : 0xFFFFFFFFu;
    info->compressedSize = 0xFFFFFFFFu;
    info->date = dosDate(arc.mtime);
    info->time = dosTime(arc.mtime);
    copyText(arc.name, info->fileName, sizeof(info->fileName));
    copyText(arc.isFolder ? "d" : "-", info->attribute, sizeof(info->attribute));
    const char* format = arc.reader ? archive_format_name(arc.reader) : nullptr;
    copyText(format ? std::string(format).substr(0, 7) : std::string(), info->mode,
             sizeof(info->mode));
}

// Moves to the next member matching the listing's wildcard.
int findMember(Archive& arc, bool first, IndividualInfo* info) {
    if (arc.broken) return kArcErrorBroken;
    for (;;) {
        int r = readHeader(arc, first);
        first = false;
        if (r == kArcErrorBroken) arc.broken = true;
        if (r != kArcOk) return r;
        if (wildMatches(arc.wildName, arc.name)) {
            fillInfo(arc, info);
            return kArcOk;
        }
    }
}

bool checkFile(const char* path, int mode) {
    Archive* arc = openArchive(path);
    if (!arc) return false;
    bool ok = true;
    if (mode >= kCheckBasic) {
        // Headers only, unless a full check was asked for.
        bool first = true;
        for (;;) {
            int r;
            if (mode >= kCheckFullCheck) {
                r = readHeader(*arc, first);
            } else if (first) {
                arc->firstPending = false;
                r = arc->firstResult == ARCHIVE_EOF ? kArcEnd : kArcOk;
            } else {
                struct archive_entry* entry = nullptr;
                int a;
                do {
                    a = archive_read_next_header(arc->reader, &entry);
                } while (a == ARCHIVE_RETRY);
                r = a == ARCHIVE_EOF
                        ? kArcEnd
                        : (a == ARCHIVE_OK || a == ARCHIVE_WARN ? kArcOk : kArcErrorBroken);
            }
            first = false;
            if (r == kArcEnd) break;
            if (r != kArcOk) {
                ok = false;
                break;
            }
        }
    }
    closeArchive(arc);
    return ok;
}

}  // namespace

// ---- the exports ----

QX_EXPORT uint16_t QX_FN(GetVersion)() {
    return kVersion;
}

// The command-line function: this module lists and checks only.
QX_EXPORT int QX_ARCHIVER_PREFIX(ArcWindow, const char*, char* output, uint32_t size) {
    if (output && size > 0)
        copyText("not supported: this module only lists and checks", output, size);
    return kArcErrorNotSupported;
}

QX_EXPORT int QX_FN(CheckArchive)(const char* path, int mode) {
    return checkFile(path, mode) ? 1 : 0;
}

QX_EXPORT int QX_FN(GetRunning)() {
    return 0;
}

QX_EXPORT int QX_FN(GetBackGroundMode)() {
    return g_backgroundMode.load();
}

QX_EXPORT int QX_FN(SetBackGroundMode)(int value) {
    g_backgroundMode.store(value ? 1 : 0);
    return 1;
}

QX_EXPORT int QX_FN(GetCursorMode)() {
    return g_cursorMode.load();
}

QX_EXPORT int QX_FN(SetCursorMode)(int value) {
    g_cursorMode.store(value ? 1 : 0);
    return 1;
}

QX_EXPORT uint16_t QX_FN(GetCursorInterval)() {
    return g_cursorInterval.load();
}

QX_EXPORT int QX_FN(SetCursorInterval)(uint16_t interval) {
    g_cursorInterval.store(interval);
    return 1;
}

// Narrow texts are native path bytes already (UTF-8 or whatever the file system holds).
QX_EXPORT int QX_FN(SetUnicodeMode)(int) {
    return 1;
}

QX_EXPORT HARC QX_FN(OpenArchive)(ArcWindow, const char* path, uint32_t) {
    return openArchive(path);
}

QX_EXPORT int QX_FN(CloseArchive)(HARC h) {
    Archive* arc = handleOf(h);
    if (!arc) return kArcErrorHandle;
    closeArchive(arc);
    return kArcOk;
}

QX_EXPORT int QX_FN(FindFirst)(HARC h, const char* wildName, IndividualInfo* info) {
    Archive* arc = handleOf(h);
    if (!arc) return kArcErrorHandle;
    arc->wildName = wildName ? wildName : "";
    arc->broken = false;
    // A second listing starts the reader again from the beginning.
    if (!arc->firstPending) {
        if (!startReader(*arc)) {
            arc->broken = true;
            return kArcErrorBroken;
        }
        struct archive_entry* entry = nullptr;
        do {
            arc->firstResult = archive_read_next_header(arc->reader, &entry);
        } while (arc->firstResult == ARCHIVE_RETRY);
        arc->firstEntry = entry;
        arc->firstPending = true;
    }
    return findMember(*arc, true, info);
}

QX_EXPORT int QX_FN(FindNext)(HARC h, IndividualInfo* info) {
    Archive* arc = handleOf(h);
    if (!arc) return kArcErrorHandle;
    if (arc->firstPending) return findMember(*arc, true, info);
    return findMember(*arc, false, info);
}

QX_EXPORT int QX_FN(GetArcFileName)(HARC h, char* buffer, int size) {
    Archive* arc = handleOf(h);
    if (!arc) return kArcErrorHandle;
    return copyText(arc->path, buffer, size > 0 ? size_t(size) : 0);
}

QX_EXPORT uint32_t QX_FN(GetArcFileSize)(HARC h) {
    Archive* arc = handleOf(h);
    return arc ? dword(arc->st.st_size) : 0xFFFFFFFFu;
}

QX_EXPORT uint16_t QX_FN(GetArcDate)(HARC h) {
    Archive* arc = handleOf(h);
    return arc ? dosDate(arc->st.st_mtim.tv_sec) : 0;
}

QX_EXPORT uint16_t QX_FN(GetArcTime)(HARC h) {
    Archive* arc = handleOf(h);
    return arc ? dosTime(arc->st.st_mtim.tv_sec) : 0;
}

// 1 when the archive sits behind a program stub.
QX_EXPORT int QX_FN(IsSFXFile)(HARC h) {
    Archive* arc = handleOf(h);
    if (!arc) return 0;
    char stub[2] = {};
    return ::pread(arc->fd, stub, 2, 0) == 2 && stub[0] == 'M' && stub[1] == 'Z' ? 1 : 0;
}

QX_EXPORT int QX_FN(GetFileName)(HARC h, char* buffer, int size) {
    Archive* arc = handleOf(h);
    if (!arc) return kArcErrorHandle;
    if (!arc->hasMember) return kArcErrorNoMember;
    return copyText(arc->name, buffer, size > 0 ? size_t(size) : 0);
}

QX_EXPORT uint32_t QX_FN(GetOriginalSize)(HARC h) {
    Archive* arc = handleOf(h);
    return arc && arc->hasMember && arc->sizeKnown ? dword(arc->size) : 0xFFFFFFFFu;
}

QX_EXPORT uint16_t QX_FN(GetDate)(HARC h) {
    Archive* arc = handleOf(h);
    return arc && arc->hasMember ? dosDate(arc->mtime) : 0;
}

QX_EXPORT uint16_t QX_FN(GetTime)(HARC h) {
    Archive* arc = handleOf(h);
    return arc && arc->hasMember ? dosTime(arc->mtime) : 0;
}

// Seconds since 1970-01-01 UTC; 0xFFFFFFFF when the archive does not store the time.
QX_EXPORT uint32_t QX_FN(GetWriteTime)(HARC h) {
    Archive* arc = handleOf(h);
    return arc && arc->hasMember ? dword(arc->mtime) : 0xFFFFFFFFu;
}

QX_EXPORT uint32_t QX_FN(GetCreateTime)(HARC h) {
    Archive* arc = handleOf(h);
    return arc && arc->hasMember && arc->hasBirthtime ? dword(arc->birthtime) : 0xFFFFFFFFu;
}

QX_EXPORT uint32_t QX_FN(GetAccessTime)(HARC h) {
    Archive* arc = handleOf(h);
    return arc && arc->hasMember && arc->hasAtime ? dword(arc->atime) : 0xFFFFFFFFu;
}

// The current member's attributes: 0x10 for a folder, 0x01 when it is stored read-only;
// -1 without a current member.
QX_EXPORT int QX_FN(GetAttribute)(HARC h) {
    Archive* arc = handleOf(h);
    if (!arc || !arc->hasMember) return -1;
    int attr = arc->isFolder ? kAttrDirectory : 0;
    if (arc->mode != 0 && (arc->mode & S_IWUSR) == 0) attr |= kAttrReadOnly;
    return attr;
}

// The archive's format as libarchive names it ("ZIP 2.0 (deflation)", "GNU tar format").
QX_EXPORT int QX_FN(GetMethod)(HARC h, char* buffer, int size) {
    Archive* arc = handleOf(h);
    if (!arc) return kArcErrorHandle;
    if (!arc->hasMember) return kArcErrorNoMember;
    const char* format = archive_format_name(arc->reader);
    return copyText(format ? format : "", buffer, size > 0 ? size_t(size) : 0);
}
