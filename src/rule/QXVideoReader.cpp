#include "rule/QXVideoReader.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <mutex>
#include <string>

// OpenCV's inline headers mix enumeration types, which C++20 deprecates.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-enum-enum-conversion"
#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#pragma GCC diagnostic pop

#include "core/QXCodecModule.h"
#include "platform/UniqueFd.h"

namespace quenrix {

namespace {

// A property OpenCV reports as a double, cut to a signed 32-bit integer; 0 for a value
// that is no number.
int32_t truncated(double value) {
    if (!std::isfinite(value)) return 0;
    if (value >= double(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    if (value <= double(std::numeric_limits<int32_t>::min())) {
        return std::numeric_limits<int32_t>::min();
    }
    return int32_t(value);
}

// OpenCV otherwise reports every file that is no video on standard error. Set through
// the call, not the environment: another thread may be reading the environment.
void quietOpenCv() {
    static std::once_flag once;
    std::call_once(once,
                   [] { cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_ERROR); });
}

// The record's file opened for reading its content, or -1.
int openRecorded(const QXFileInfo& file) {
    int fd;
    do {
        fd = ::open(file.nativePath().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    // A record made without a directory entry (an import) knows no inode.
    const platform::FileStat& recorded = file.stat();
    if (ok && recorded.ino != 0) {
        ok = uint64_t(st.st_dev) == recorded.dev && uint64_t(st.st_ino) == recorded.ino;
    }
    if (!ok) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool ReadVideoFile(const QXFileInfo& file, QXVideoHolder& holder) {
    quietOpenCv();
    // Without the codec module no file can be read as a video.
    if (!CodecModule()) return false;
    platform::UniqueFd fd(openRecorded(file));
    if (!fd.ok()) return false;
    // FFmpeg opens the descriptor's own file, whatever happens to the name meanwhile.
    const std::string path = "/proc/self/fd/" + std::to_string(fd.get());
    QXCodecVideo video;
    if (!CodecReadVideo(path, video)) return false;
    holder.framesPerSecond = truncated(video.framesPerSecond);
    holder.frameCount = truncated(video.frameCount);
    if (video.width > 0 && video.height > 0) {
        holder.width = video.width;
        holder.height = video.height;
        holder.ready = true;
    }
    return holder.ready;
}

}  // namespace quenrix
