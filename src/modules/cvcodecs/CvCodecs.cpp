// libcvcodecs.so: OpenCV's picture decoders and video reader behind the C entry points of
// core/QXCodecModule.h. Every exception stays in here.
#include <climits>
#include <cmath>

// OpenCV's inline headers mix enumeration types, which C++20 deprecates.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-enum-enum-conversion"
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>
#pragma GCC diagnostic pop

#include "core/QXCodecModule.h"

#define QX_CODEC_EXPORT extern "C" __attribute__((visibility("default")))

QX_CODEC_EXPORT int QXCodecInterface() {
    return quenrix::kCodecInterface;
}

QX_CODEC_EXPORT int QXCodecDecodePicture(const uint8_t* data, size_t size, cv::Mat* image) {
    if (!image) return 0;
    image->release();
    if (!data || size == 0 || size > size_t(INT_MAX)) return 0;
    try {
        *image = cv::imdecode(cv::_InputArray(data, int(size)), cv::IMREAD_COLOR);
    } catch (...) {
        // The caller's size limit on matrices, memory, or a decoder's own error.
        image->release();
        return 0;
    }
    return image->empty() ? 0 : 1;
}

QX_CODEC_EXPORT int QXCodecReadVideo(const char* path, quenrix::QXCodecVideo* video) {
    if (!path || !video) return 0;
    *video = quenrix::QXCodecVideo();
    try {
        cv::VideoCapture capture;
        if (!capture.open(path, cv::CAP_FFMPEG) || !capture.isOpened()) return 0;
        const double fourcc = capture.get(cv::CAP_PROP_FOURCC);
        // A container that names no codec (the code cuts to 0) is no video to us.
        if (!std::isfinite(fourcc) || std::trunc(fourcc) == 0) return 0;
        cv::Mat frame;
        capture.read(frame);
        quenrix::QXCodecVideo read;
        read.fourcc = fourcc;
        read.framesPerSecond = capture.get(cv::CAP_PROP_FPS);
        read.frameCount = capture.get(cv::CAP_PROP_FRAME_COUNT);
        if (!frame.empty() && frame.data) {
            read.width = frame.cols;
            read.height = frame.rows;
        }
        *video = read;
    } catch (...) {
        *video = quenrix::QXCodecVideo();
        return 0;
    }
    return 1;
}
