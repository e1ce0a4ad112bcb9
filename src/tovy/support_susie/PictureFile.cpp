#include "tovy/support_susie/PictureFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace tovy::support_susie {

bool pictureSizeAllowed(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) return false;
    // Checked by division, so that no product can overflow.
    return uint64_t(width) <= kMaxPicturePixels / uint64_t(height);
}

PictureFile::~PictureFile() {
    close();
}

bool PictureFile::open(const std::string& nativePath, const platform::FileStat* expected) {
    close();
    if (nativePath.empty()) return false;
    int fd;
    do {
        fd = ::open(nativePath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok && expected) {
        ok = uint64_t(st.st_dev) == expected->dev && uint64_t(st.st_ino) == expected->ino;
    }
    if (!ok) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_size = uint64_t(st.st_size);
    m_pos = 0;
    m_atEnd = m_size == 0;
    return true;
}

void PictureFile::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_size = 0;
    m_pos = 0;
    m_atEnd = false;
}

ssize_t PictureFile::readAt(uint64_t offset, void* buf, size_t len) const {
    if (m_fd < 0) return -1;
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buf);
    while (done < len) {
        const ssize_t n = ::pread(m_fd, out + done, len - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    return ssize_t(done);
}

bool PictureFile::readHeader(std::array<uint8_t, kHeaderBytes>& out) const {
    out.fill(0);
    return readAt(0, out.data(), out.size()) >= 0;
}

bool PictureFile::readAll(std::vector<uint8_t>& out, uint64_t limit) const {
    out.clear();
    if (m_fd < 0 || m_size == 0 || m_size > limit) return false;
    try {
        out.resize(size_t(m_size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    // One byte more than expected tells a file that grew since it was opened.
    uint8_t extra;
    if (readAt(0, out.data(), out.size()) != ssize_t(out.size()) ||
        readAt(m_size, &extra, 1) != 0) {
        out.clear();
        return false;
    }
    return true;
}

ssize_t PictureFile::readNext(void* buf, size_t len) {
    const ssize_t n = readAt(m_pos, buf, len);
    if (n <= 0) {
        m_atEnd = true;
        return n < 0 ? -1 : 0;
    }
    m_pos += uint64_t(n);
    if (size_t(n) < len) m_atEnd = true;
    return n;
}

void PictureFile::skip(int64_t n) {
    if (n < 0 && uint64_t(-n) > m_pos) {
        m_pos = 0;
    } else {
        m_pos = uint64_t(int64_t(m_pos) + n);
    }
    m_atEnd = false;
}

}  // namespace tovy::support_susie
