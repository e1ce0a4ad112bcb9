#include "tovy/TovStream.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "tovy/TovUtf8.h"

namespace tovy {
namespace {

constexpr size_t kOutputBufferSize = 64 * 1024;

// read(2) until count bytes arrived, the end of the file, or an error. eof is set when
// the file ended before count bytes; error when the system reported one.
size_t readFully(int fd, void* buffer, size_t count, bool& eof, bool& error) {
    eof = false;
    error = false;
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        ssize_t n = ::read(fd, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = true;
            break;
        }
        if (n == 0) {
            eof = true;
            break;
        }
        done += size_t(n);
    }
    return done;
}

bool writeFully(int fd, const char* bytes, size_t count) {
    while (count > 0) {
        ssize_t n = ::write(fd, bytes, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += n;
        count -= size_t(n);
    }
    return true;
}

int64_t seekFd(int fd, int64_t offset, int origin) {
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(fd, off_t(offset), whence);
    return pos < 0 ? -1 : int64_t(pos);
}

}  // namespace

// --- TovInputFileStream ---

TovInputFileStream::~TovInputFileStream() {
    close();
}

bool TovInputFileStream::open(const std::string& path) {
    close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_remaining = st.st_size > 0 ? uint64_t(st.st_size) : 0;
    m_state = kStateGood;
    return true;
}

void TovInputFileStream::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_remaining = 0;
    m_state = kStateBad;
}

size_t TovInputFileStream::read(void* buffer, size_t count) {
    if (m_fd < 0) return 0;
    if (count == 0) return 0;
    bool eof = false;
    bool error = false;
    size_t n = readFully(m_fd, buffer, count, eof, error);
    m_remaining = n >= m_remaining ? 0 : m_remaining - n;
    if (error) {
        m_state = kStateBad;
    } else if (eof || (n > 0 && m_remaining == 0)) {
        // A file that grew since it was opened still ends here for us only when read(2)
        // says so; one that shrank ends when read(2) returns short.
        m_state = kStateEof;
        if (!eof) m_remaining = 0;
    } else {
        m_state = kStateGood;
    }
    return n;
}

// --- TovOutputFileStream ---

TovOutputFileStream::~TovOutputFileStream() {
    close();
}

bool TovOutputFileStream::open(const std::string& path) {
    close();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_state = kStateBad;
        return false;
    }
    m_fd = fd;
    m_state = kStateGood;
    return true;
}

size_t TovOutputFileStream::write(const void* bytes, size_t count) {
    if (m_fd < 0) return 0;
    m_buffer.append(static_cast<const char*>(bytes), count);
    if (m_buffer.size() >= kOutputBufferSize) flush();
    return count;
}

void TovOutputFileStream::flush() {
    if (m_fd < 0 || m_buffer.empty()) return;
    if (!writeFully(m_fd, m_buffer.data(), m_buffer.size())) m_state |= kStateBad;
    m_buffer.clear();
}

void TovOutputFileStream::close() {
    if (m_fd < 0) return;
    flush();
    if (::close(m_fd) != 0) m_state |= kStateFail;
    m_fd = -1;
}

int64_t TovOutputFileStream::seek(int64_t offset, int origin) {
    if (m_fd < 0) return -1;
    flush();
    return seekFd(m_fd, offset, origin);
}

int64_t TovOutputFileStream::tell() {
    if (m_fd < 0) return -1;
    off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    return pos < 0 ? -1 : int64_t(pos) + int64_t(m_buffer.size());
}

// --- memory streams ---

size_t TovOutputStringStream::write(const void* bytes, size_t count) {
    m_bytes.append(static_cast<const char*>(bytes), count);
    return count;
}

size_t TovInputMemoryStream::read(void* buffer, size_t count) {
    size_t n = std::min(count, m_bytes.size() - m_pos);
    if (n > 0) std::memcpy(buffer, m_bytes.data() + m_pos, n);
    m_pos += n;
    if (m_pos == m_bytes.size() && (n > 0 || count > 0)) m_state = kStateEof;
    return n;
}

// --- TovFile ---

TovFile::~TovFile() {
    close();
}

bool TovFile::openRead(const std::string& path) {
    close();
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return m_fd >= 0;
}

bool TovFile::openWrite(const std::string& path) {
    close();
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return m_fd >= 0;
}

void TovFile::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

int TovFile::state() const {
    return remaining() > 0 ? kStateGood : kStateEof;
}

uint64_t TovFile::remaining() const {
    if (m_fd < 0) return 0;
    off_t cur = ::lseek(m_fd, 0, SEEK_CUR);
    struct stat st {};
    if (cur < 0 || ::fstat(m_fd, &st) != 0) return 0;
    return st.st_size > cur ? uint64_t(st.st_size - cur) : 0;
}

size_t TovFile::read(void* buffer, size_t count) {
    m_lastTransfer = 0;
    if (m_fd < 0) return 0;
    bool eof = false;
    bool error = false;
    size_t n = readFully(m_fd, buffer, count, eof, error);
    m_lastTransfer = error ? 0 : n;
    return m_lastTransfer;
}

size_t TovFile::write(const void* bytes, size_t count) {
    m_lastTransfer = 0;
    if (m_fd < 0) return 0;
    if (!writeFully(m_fd, static_cast<const char*>(bytes), count)) return 0;
    m_lastTransfer = count;
    return count;
}

int64_t TovFile::seek(int64_t offset, int origin) {
    if (m_fd < 0) return -1;
    if (origin < 0 || origin > 2) return 0;
    return seekFd(m_fd, offset, origin);
}

int64_t TovFile::tell() {
    if (m_fd < 0) return -1;
    return seekFd(m_fd, 0, 1);
}

// --- text streams ---

int TovInputTextStream::state() const {
    if (m_pushed >= 0) return m_state & ~kStateEof;
    return m_state;
}

void TovInputTextStream::attach(ITovInputStream* stream) {
    m_stream = stream;
    m_pushed = -1;
    m_state = stream ? stream->state() : kStateBad;
}

void TovInputTextStream::detach() {
    m_stream = nullptr;
    m_pushed = -1;
    m_state = kStateBad;
}

int TovInputTextStream::readByte() {
    if (m_pushed >= 0) {
        int b = m_pushed;
        m_pushed = -1;
        return b;
    }
    if (m_state != kStateGood || !m_stream) return -1;
    unsigned char b = 0;
    size_t n = m_stream->read(&b, 1);
    m_state = m_stream->state();
    if (n == 0) {
        // A stream that delivers nothing must not leave us good, or a reader would wait
        // forever for the next byte.
        if (m_state == kStateGood) m_state = kStateEof;
        return -1;
    }
    return b;
}

int TovInputTextStream::peekByte() {
    if (m_pushed >= 0) return m_pushed;
    int b = readByte();
    m_pushed = b;
    return b;
}

size_t TovInputTextStream::readLine(std::wstring& out) {
    std::string bytes;
    for (;;) {
        int b = readByte();
        if (b < 0 || b == '\n') break;
        if (b == '\r') {
            if (peekByte() == '\n') readByte();
            break;
        }
        bytes.push_back(char(b));
    }
    out = decode(bytes);
    return out.size();
}

std::wstring TovInputUtf8TextStream::decode(std::string_view bytes) {
    return fromUtf8(bytes);
}

namespace {

const iconv_t kNoConverter = iconv_t(-1);

iconv_t openSjis() {
    return iconv_open("WCHAR_T", "CP932");
}

// A byte that does not decode: kept as U+DC80 + byte like the UTF-8 codec does (ASCII
// bytes stay themselves).
wchar_t escapedByte(unsigned char b) {
    return b < 0x80 ? wchar_t(b) : wchar_t(0xDC00 + b);
}

std::wstring decodeSjis(iconv_t cd, std::string_view bytes) {
    std::wstring out;
    if (cd == kNoConverter) {
        // Without the converter ASCII still reads; every other byte stays recoverable.
        for (unsigned char b : bytes) {
            if (b == 0) break;
            out.push_back(escapedByte(b));
        }
        return out;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const char* in = bytes.data();
    size_t inLeft = bytes.size();
    wchar_t chunk[256];
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(chunk);
        size_t outLeft = sizeof(chunk);
        size_t r = iconv(cd, const_cast<char**>(&in), &inLeft, &outPtr, &outLeft);
        size_t produced = (sizeof(chunk) - outLeft) / sizeof(wchar_t);
        out.append(chunk, produced);
        if (r == size_t(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ, or EINVAL for a lead byte at the very end: keep the byte and go on
            // with the next one.
            out.push_back(escapedByte(static_cast<unsigned char>(*in)));
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    size_t zero = out.find(L'\0');
    if (zero != std::wstring::npos) out.resize(zero);
    return out;
}

}  // namespace

TovInputSjisTextStream::~TovInputSjisTextStream() {
    if (m_converter) iconv_close(static_cast<iconv_t>(m_converter));
}

std::wstring TovInputSjisTextStream::decode(std::string_view bytes) {
    if (bytes.empty()) return {};
    if (!m_converter) {
        iconv_t cd = openSjis();
        if (cd == kNoConverter) return decodeSjis(cd, bytes);
        m_converter = cd;
    }
    return decodeSjis(static_cast<iconv_t>(m_converter), bytes);
}

std::wstring fromSjis(std::string_view bytes) {
    if (bytes.empty()) return {};
    iconv_t cd = openSjis();
    std::wstring out = decodeSjis(cd, bytes);
    if (cd != kNoConverter) iconv_close(cd);
    return out;
}

namespace {

// One descriptor per direction and thread, kept for the thread's life: an export asks
// for every cell of every row.
struct SjisConverters {
    iconv_t encoder = iconv_open("CP932", "WCHAR_T");
    iconv_t decoder = openSjis();
    ~SjisConverters() {
        if (encoder != kNoConverter) iconv_close(encoder);
        if (decoder != kNoConverter) iconv_close(decoder);
    }
};

// Encodes without checking the way back; false when iconv refuses a character.
bool encodeSjis(iconv_t cd, std::wstring_view text, std::string& out) {
    out.clear();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const char* in = reinterpret_cast<const char*>(text.data());
    size_t inLeft = text.size() * sizeof(wchar_t);
    char chunk[512];
    while (inLeft > 0) {
        char* outPtr = chunk;
        size_t outLeft = sizeof(chunk);
        size_t r = iconv(cd, const_cast<char**>(&in), &inLeft, &outPtr, &outLeft);
        out.append(chunk, sizeof(chunk) - outLeft);
        if (r == size_t(-1) && errno != E2BIG) return false;
    }
    char* outPtr = chunk;
    size_t outLeft = sizeof(chunk);
    if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == size_t(-1)) return false;
    out.append(chunk, sizeof(chunk) - outLeft);
    return true;
}

bool sjisRoundTrips(const SjisConverters& cv, std::wstring_view text, std::string& out) {
    if (text.find(L'\0') != std::wstring_view::npos) return false;
    if (!encodeSjis(cv.encoder, text, out)) return false;
    return decodeSjis(cv.decoder, out) == text;
}

}  // namespace

bool toSjis(std::wstring_view text, std::string& out, size_t* badAt) {
    out.clear();
    bool ascii = true;
    for (wchar_t c : text) {
        if (c == 0 || c >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        for (wchar_t c : text) out.push_back(char(c));
        return true;
    }
    thread_local SjisConverters cv;
    if (cv.encoder == kNoConverter || cv.decoder == kNoConverter) {
        if (badAt) *badAt = 0;
        return false;
    }
    if (sjisRoundTrips(cv, text, out)) return true;
    if (badAt) {
        // Rare: find the character to name, one at a time.
        std::string one;
        *badAt = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] >= 0x80 || text[i] == 0) {
                if (!sjisRoundTrips(cv, text.substr(i, 1), one)) {
                    *badAt = i;
                    break;
                }
            }
        }
    }
    return false;
}

// --- atomic replacement ---

bool writeFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty()) return false;
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".")
                         : slash == 0               ? std::string("/")
                                                    : path.substr(0, slash);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) return false;

    mode_t mode = 0644;
    struct stat old {};
    bool hadOld = ::stat(path.c_str(), &old) == 0;
    if (hadOld) {
        if (!S_ISREG(old.st_mode)) return false;
        mode = old.st_mode & 07777;
    }

    std::random_device rd;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof(suffix), ".%08x.tmp", unsigned(rd()));
        // Keep the name within the usual 255-byte limit of a name.
        std::string stem = base.size() > 200 ? base.substr(0, 200) : base;
        temp = folder + "/." + stem + suffix;
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    bool ok = writeFully(fd, bytes.data(), bytes.size());
    // A new file got 0644 less the umask from open(); an old one keeps its own mode.
    if (hadOld) ok = ok && ::fchmod(fd, mode) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

}  // namespace tovy
