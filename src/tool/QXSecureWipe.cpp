#include "tool/QXSecureWipe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

#include "core/QXLog.h"
#include "platform/ErrorText.h"
#include "platform/FileOps.h"
#include "platform/Path.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

// The numbers that tell the failing step in an error line.
constexpr int kStepNotRegular = 1;
constexpr int kStepReadOnly = 2;
constexpr int kStepHardLinks = 3;
constexpr int kStepFill = 10;    // +0 open, +1 write, +2 sync
constexpr int kStepRandom = 20;  // +0 open, +1 write, +2 sync
constexpr int kStepVerify = 30;  // +0 open, +1 read
constexpr int kStepMove = 40;
constexpr int kStepDelete = 41;

// A 32-bit integer hash with good avalanche ("lowbias32" by Chris Wellons); a bijection,
// so consecutive inputs never give the same value.
inline uint32_t mix32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

// x mod 255 by adding base-256 digits (256 = 1 mod 255); unlike "%" this vectorises
// without a wide multiply.
inline uint8_t mod255(uint32_t x) {
    uint32_t s = (x & 0xFFFFu) + (x >> 16);  // <= 0x1FFFE
    s = (s & 0xFFu) + (s >> 8);              // <= 0x2FE
    s = (s & 0xFFu) + (s >> 8);              // <= 0x101
    return uint8_t(s >= 255u ? s - 255u : s);
}

// Values first .. first + n - 1 of one key, as bytes. The loop vectorises; with AVX2
// (eight 32-bit multiplies at once) it runs several times faster than with SSE2, so an
// AVX2 copy is chosen at load time where the processor has it.
#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void fillRun(uint8_t* out, uint32_t n, uint32_t first, uint32_t key) {
    for (uint32_t j = 0; j < n; ++j) out[j] = mod255(mix32((first + j) ^ key));
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Reads until `size` bytes or the end of the file; the count, or -1 with errno.
ssize_t readFull(int fd, uint8_t* data, size_t size) {
    size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, data + got, size - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    return ssize_t(got);
}

void logChanged(const std::string& path) {
    QXLog::Write(
        L"DeleteSecureThread : The file has changed since the search and is left "
        L"alone: %s",
        tovy::fromUtf8(path).c_str());
}

}  // namespace

// --- QXWipeRandom ---

void QXWipeRandom::seed(uint32_t seed) {
    m_seed = seed;
    m_index = 0;
    rekey();
}

// Every 2^32 values the key changes, so a file of any size never repeats the sequence.
void QXWipeRandom::rekey() {
    m_key = mix32(m_seed ^ mix32(uint32_t(m_index >> 32) + 0x9E3779B9u));
}

void QXWipeRandom::fill(uint8_t* out, size_t count) {
    while (count > 0) {
        const uint32_t low = uint32_t(m_index);
        const uint64_t leftInKey = (uint64_t(1) << 32) - low;
        // At most 2^31 at a time, so the run's length fits its 32-bit counter.
        const uint32_t span = uint32_t(std::min<uint64_t>({count, leftInKey, uint64_t(1) << 31}));
        fillRun(out, span, low, m_key);
        out += span;
        count -= span;
        m_index += span;
        if (uint32_t(m_index) == 0) rekey();
    }
}

// --- QXSecureWipe ---

QXSecureWipe::QXSecureWipe(int32_t mode, Host& host) : m_mode(mode), m_host(host) {
    m_block.reset(new (std::nothrow) uint8_t[kBlockSize]);
    m_expected.reset(new (std::nothrow) uint8_t[kBlockSize]);
    if (!m_block || !m_expected) {
        m_block.reset();
        m_expected.reset();
        QXLog::Write(L"DeleteSecureThread : out of memory.");
    }
}

QXSecureWipe::~QXSecureWipe() = default;

int64_t QXSecureWipe::currentSeconds() const {
    return int64_t(std::time(nullptr));
}

void QXSecureWipe::errorLine(int err, int step) {
    QXLog::Write(L"%s (%s,%d)", platform::errorText(err).c_str(), kLogSource, step);
    m_host.raiseError();
}

bool QXSecureWipe::cancelled() {
    if (!m_host.cancelRequested()) return false;
    QXLog::Write(L"DeleteSecureThread : Cancelled; the file is left partly overwritten.");
    return true;
}

// Read-only files and files with other names are never overwritten.
bool QXSecureWipe::refuse(const platform::FileStat& st) {
    if ((st.mode & S_IWUSR) == 0) {
        errorLine(EACCES, kStepReadOnly);
        return true;
    }
    if (st.nlink > 1) {
        errorLine(EMLINK, kStepHardLinks);
        return true;
    }
    return false;
}

// Opens the file being processed: never through a link, never blocking, and only while
// it is still the same regular file with one name that its owner may write.
int QXSecureWipe::openChecked(const std::string& path, int flags, int step, uint64_t* size) {
    int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        errorLine(errno, step);
        return -1;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        errorLine(err, step);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        errorLine(EINVAL, kStepNotRegular);
        return -1;
    }
    if (uint64_t(st.st_dev) != m_dev || uint64_t(st.st_ino) != m_ino) {
        ::close(fd);
        logChanged(path);
        return -1;
    }
    platform::FileStat now;
    now.mode = st.st_mode;
    now.nlink = uint32_t(st.st_nlink);
    if (refuse(now)) {
        ::close(fd);
        return -1;
    }
    *size = uint64_t(st.st_size);
    return fd;
}

bool QXSecureWipe::writePass(const std::string& path, Source source, int step) {
    uint64_t size = 0;
    int fd = openChecked(path, O_WRONLY, step, &size);
    if (fd < 0) return false;
    for (uint64_t done = 0; done < size;) {
        if (done > 0 && cancelled()) {
            ::close(fd);
            return false;
        }
        const size_t n = size_t(std::min<uint64_t>(kBlockSize, size - done));
        if (source == Source::Random) m_random.fill(m_block.get(), n);
        if (!writeAll(fd, m_block.get(), n)) {
            int err = errno;
            ::close(fd);
            errorLine(err, step + 1);
            return false;
        }
        done += n;
    }
    // One sync per pass: the whole pass is on the disk before the next one starts.
    if (::fsync(fd) != 0) {
        int err = errno;
        ::close(fd);
        errorLine(err, step + 2);
        return false;
    }
    if (::close(fd) != 0) {
        errorLine(errno, step + 2);
        return false;
    }
    return true;
}

bool QXSecureWipe::FillPass(const std::string& path, uint8_t value) {
    std::memset(m_block.get(), value, kBlockSize);
    return writePass(path, Source::Constant, kStepFill);
}

bool QXSecureWipe::RandomPass(const std::string& path, uint32_t* seed) {
    const uint32_t s = uint32_t(currentSeconds());
    m_random.seed(s);
    if (seed) *seed = s;
    return writePass(path, Source::Random, kStepRandom);
}

bool QXSecureWipe::VerifyRandomPass(const std::string& path, uint32_t seed) {
    m_random.seed(seed);
    uint64_t size = 0;
    int fd = openChecked(path, O_RDONLY, kStepVerify, &size);
    if (fd < 0) return false;
    for (bool first = true;; first = false) {
        if (!first && cancelled()) {
            ::close(fd);
            return false;
        }
        ssize_t n = readFull(fd, m_block.get(), kBlockSize);
        if (n < 0) {
            int err = errno;
            ::close(fd);
            errorLine(err, kStepVerify + 1);
            return false;
        }
        if (n == 0) break;
        m_random.fill(m_expected.get(), size_t(n));
        if (std::memcmp(m_block.get(), m_expected.get(), size_t(n)) != 0) {
            ::close(fd);
            QXLog::Write(L"DeleteSecureThread : Failed to verifyRand.");
            return false;
        }
    }
    ::close(fd);
    return true;
}

bool QXSecureWipe::RenameAndDelete(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : path.substr(0, slash);
    // Never 0, so the name is only formed, not created; an existing file of that name
    // makes the move fail rather than be replaced.
    const uint32_t unique = uint32_t(uint64_t(currentSeconds()) % 4294967294u) + 1;
    char name[16];
    std::snprintf(name, sizeof name, "___%04X.TMP", unsigned(unique & 0xFFFFu));
    const std::string temp = platform::joinPath(folder, name);

    platform::FileStat st;
    if (!platform::statPath(path, st) || st.dev != m_dev || st.ino != m_ino) {
        logChanged(path);
        return false;
    }
    if (!platform::moveFile(path, temp)) {
        errorLine(errno, kStepMove);
        return false;
    }
    if (!platform::statPath(temp, st) || st.dev != m_dev || st.ino != m_ino) {
        logChanged(temp);
        return false;
    }
    if (!platform::deleteFile(temp)) {
        errorLine(errno, kStepDelete);
        return false;
    }
    return true;
}

bool QXSecureWipe::ShortSequence(const std::string& path) {
    uint32_t seed = 0;
    return FillPass(path, 0x00) && !cancelled() && FillPass(path, 0xFF) && !cancelled() &&
           RandomPass(path, &seed) && !cancelled() && VerifyRandomPass(path, seed);
}

bool QXSecureWipe::ProcessFile(const QXFileInfo& record) {
    if (!ok()) {
        m_host.raiseError();
        return false;
    }
    const std::string& path = record.nativePath();
    const platform::FileStat& recorded = record.stat();
    platform::FileStat now;
    if (!platform::stillSameFile(path, recorded) || !platform::statPath(path, now)) {
        logChanged(path);
        return false;
    }
    if (!now.isRegular()) {
        errorLine(now.isSymlink() ? ELOOP : EINVAL, kStepNotRegular);
        return false;
    }
    // Refused before anything is opened (permission and link count may have changed since
    // the search without touching the last-write time); every open checks again.
    if (refuse(now)) return false;
    m_dev = recorded.dev;
    m_ino = recorded.ino;

    bool ok = false;
    switch (m_mode) {
        case kModeFill00:
            ok = FillPass(path, 0x00);
            break;
        case kModeFillFF:
            ok = FillPass(path, 0xFF);
            break;
        case kModeRandom:
            ok = RandomPass(path, nullptr);
            break;
        case kModeDoDShort:
            ok = ShortSequence(path);
            break;
        case kModeDoD:
            ok = FillPass(path, 0xF6) && !cancelled() && ShortSequence(path) && !cancelled() &&
                 ShortSequence(path);
            break;
        default:
            break;
    }
    return ok && RenameAndDelete(path);
}

}  // namespace quenrix
