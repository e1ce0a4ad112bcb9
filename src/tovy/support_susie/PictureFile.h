// A picture file opened for reading its content, the one way every decoder of the
// program reads pictures: never through a final symbolic link, never blocking on a FIFO
// or device, only a regular file (and, when the caller knows which file it expects, the
// one with that device and inode), read with pread and never memory-mapped, so a file
// truncated meanwhile cannot bring the program down.
//
// Also the limits that keep a hostile picture from ending the program: no decoder is
// asked for a picture above kMaxPicturePixels, and no file above kMaxPictureFileBytes is
// read into memory as a whole.
//
// Not thread-safe: one object per call; distinct objects share nothing.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileStat.h"

namespace tovy::support_susie {

// 250 megapixels: a picture claiming more is treated as one no decoder reads.
constexpr uint64_t kMaxPicturePixels = 250000000;
// Files read into memory as a whole (OpenCV, the plug-ins) stop here.
constexpr uint64_t kMaxPictureFileBytes = uint64_t(1) << 30;
// The start of the file the plug-ins are shown to decide whether they read it.
constexpr size_t kHeaderBytes = 2048;

// True when a picture of that size is within kMaxPicturePixels (and both sides positive).
bool pictureSizeAllowed(int64_t width, int64_t height);

class PictureFile {
public:
    PictureFile() = default;
    ~PictureFile();
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;

    // Opens `nativePath`; false (and nothing open) unless it is a regular file, and when
    // `expected` is given, the file with its device and inode.
    bool open(const std::string& nativePath, const platform::FileStat* expected = nullptr);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    // The size fstat gave when the file was opened.
    uint64_t size() const { return m_size; }

    // Up to `len` bytes from `offset`, fewer at the end of the file; -1 on a read error.
    ssize_t readAt(uint64_t offset, void* buf, size_t len) const;
    // The first kHeaderBytes bytes, zero-filled past the end of a shorter file.
    bool readHeader(std::array<uint8_t, kHeaderBytes>& out) const;
    // The whole file; false when it is empty, larger than `limit`, changed size while it
    // was read, or cannot be read.
    bool readAll(std::vector<uint8_t>& out, uint64_t limit = kMaxPictureFileBytes) const;

    // Sequential reading (stb_image's callbacks): the next bytes from the current
    // position, which starts at 0.
    ssize_t readNext(void* buf, size_t len);
    void skip(int64_t n);
    void rewind() {
        m_pos = 0;
        m_atEnd = m_size == 0;
    }
    bool atEnd() const { return m_atEnd; }

private:
    int m_fd = -1;
    uint64_t m_size = 0;
    uint64_t m_pos = 0;
    bool m_atEnd = false;
};

}  // namespace tovy::support_susie
