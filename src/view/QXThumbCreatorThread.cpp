#include "view/QXThumbCreatorThread.h"

#include <cstring>
#include <exception>
#include <new>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "core/QXFileInfo.h"
#include "core/QXImageLoader.h"
#include "core/QXLog.h"
#include "core/QXThumbHolder.h"
#include "tovy/support_susie/PluginManager.h"
#include "view/QXThumbQueue.h"

namespace quenrix {

namespace {

// An 8-bit three-channel matrix (blue, green, red) as a bitmap.
QXBitmap bitmapOfMat(const cv::Mat& mat) {
    QXBitmap out = QXBitmap::make(mat.cols, mat.rows);
    for (int32_t y = 0; y < out.height; ++y) {
        std::memcpy(out.row(y), mat.ptr(y), size_t(out.width) * 3);
    }
    return out;
}

QXThumbPicture keptPicture(const QXBitmap& source, QXThumbSize limit) {
    QXThumbPicture picture;
    picture.sourceWidth = source.width;
    picture.sourceHeight = source.height;
    picture.bitmap = scaleBitmap(source, shrinkToLimit(source.width, source.height, limit));
    return picture;
}

}  // namespace

QXBitmap scaleBitmap(const QXBitmap& bitmap, QXThumbSize size) {
    if (bitmap.empty() || size.width <= 0 || size.height <= 0) return {};
    if (size.width == bitmap.width && size.height == bitmap.height) return bitmap;
    // The bitmap's rows as OpenCV sees them; nothing is copied.
    const cv::Mat source(bitmap.height, bitmap.width, CV_8UC3,
                         const_cast<uint8_t*>(bitmap.bits.data()), size_t(bitmap.stride));
    cv::Mat scaled;
    cv::resize(source, scaled, cv::Size(size.width, size.height), 0, 0, cv::INTER_AREA);
    return bitmapOfMat(scaled);
}

std::optional<QXThumbPicture> makeThumbnail(const std::wstring& path,
                                            const platform::FileStat* expected, QXThumbSize limit) {
    if (std::optional<QXBitmap> decoded = DecodeToBitmap(path, expected);
        decoded && !decoded->empty()) {
        return keptPicture(*decoded, limit);
    }
    if (cv::Mat mat = ReadWithOpenCv(path, expected); !mat.empty() && mat.type() == CV_8UC3) {
        // Scaled as a matrix: the full-size picture is never copied into a bitmap.
        QXThumbPicture picture;
        picture.sourceWidth = mat.cols;
        picture.sourceHeight = mat.rows;
        const QXThumbSize kept = shrinkToLimit(mat.cols, mat.rows, limit);
        if (kept.width != mat.cols || kept.height != mat.rows) {
            cv::Mat scaled;
            cv::resize(mat, scaled, cv::Size(kept.width, kept.height), 0, 0, cv::INTER_AREA);
            mat = std::move(scaled);
        }
        picture.bitmap = bitmapOfMat(mat);
        if (!picture.bitmap.empty()) return picture;
    }
    if (std::optional<QXBitmap> plugged =
            tovy::support_susie::pluginHost().LoadPicture(path, nullptr, expected);
        plugged && !plugged->empty()) {
        return keptPicture(*plugged, limit);
    }
    return std::nullopt;
}

QXThumbCreatorThread::QXThumbCreatorThread(QXThumbQueue& queue, QXThumbSink& sink, int32_t dispSize,
                                           Loader loader)
    : m_queue(queue),
      m_sink(sink),
      m_loader(loader ? std::move(loader) : Loader(&makeThumbnail)),
      m_dispSize(dispSize) {}

QXThumbCreatorThread::~QXThumbCreatorThread() {
    stop();
}

void QXThumbCreatorThread::stop() {
    m_queue.clear();
    m_stop.set();
    wait();
}

uint32_t QXThumbCreatorThread::run() {
    while (std::optional<QXThumbRequest> request = m_queue.take(m_stop)) {
        try {
            serve(*request);
        } catch (const std::bad_alloc&) {
            QXLog::Write(L"Bad Alloc");
        } catch (const std::exception&) {
            // A file that breaks a decoder gets no picture, like one no decoder reads.
        }
    }
    return 0;
}

void QXThumbCreatorThread::serve(QXThumbRequest& request) {
    QXThumbHolder& holder = *request.holder;
    if (!holder.bitmapLoaded()) {
        // A record made without a directory entry (an import) has no identity to check.
        const platform::FileStat* expected =
            request.stat.dev == 0 && request.stat.ino == 0 ? nullptr : &request.stat;
        std::optional<QXThumbPicture> picture =
            m_loader(request.path, expected, thumbKeepLimit(m_dispSize.load()));
        if (picture) {
            holder.attach(std::move(picture->bitmap), picture->sourceWidth, picture->sourceHeight);
        }
    }
    if (holder.bitmapLoaded()) m_sink.thumbnailReady(request.file->id());
}

}  // namespace quenrix
