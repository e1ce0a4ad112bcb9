// The thumbnail worker: runs beside the user interface for the main form's life, takes
// the requests of a QXThumbQueue one by one, decodes each file (stb_image, then OpenCV,
// then the picture plug-ins), keeps the picture scaled down to twice the largest cell the
// slider allows (thumbKeepLimit), and tells its sink which record has its picture.
//
// Threads: made, started, stopped and destroyed by the user-interface thread; run() and
// the sink's calls happen on the worker's own thread. The queue and the sink outlive it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/QXBitmap.h"
#include "platform/FileStat.h"
#include "tovy/TovMfcThread.h"
#include "tovy/TovSync.h"
#include "view/QXThumbLayout.h"

namespace quenrix {

class QXThumbQueue;
struct QXThumbRequest;

// Told about each record whose picture is ready.
class QXThumbSink {
public:
    virtual ~QXThumbSink() = default;
    // Called on the worker's thread, after the holder's picture has been attached.
    virtual void thumbnailReady(uint64_t fileId) = 0;
};

// A thumbnail as kept: the scaled-down bitmap and the size of the picture it came from.
struct QXThumbPicture {
    QXBitmap bitmap;
    int32_t sourceWidth = 0;
    int32_t sourceHeight = 0;
};

// Decodes the file and scales it down to fit within `limit`; none when no decoder reads
// it. `expected`, when given, is the file that was found (device and inode): another file
// at the path is not read. The decoders refuse pictures too large to be decoded safely.
std::optional<QXThumbPicture> makeThumbnail(const std::wstring& path,
                                            const platform::FileStat* expected, QXThumbSize limit);

// A bitmap scaled down to `size` (area averaging); a copy when the size is its own.
QXBitmap scaleBitmap(const QXBitmap& bitmap, QXThumbSize size);

class QXThumbCreatorThread : public tovy::TovMfcThread {
public:
    using Loader = std::function<std::optional<QXThumbPicture>(
        const std::wstring& path, const platform::FileStat* expected, QXThumbSize limit)>;

    // `loader` makes the pictures (makeThumbnail unless given). `dispSize` is the
    // ThumbnailDispSize the pictures are kept for.
    QXThumbCreatorThread(QXThumbQueue& queue, QXThumbSink& sink, int32_t dispSize,
                         Loader loader = {});
    ~QXThumbCreatorThread() override;

    // The display size later pictures are kept for (the options may change it).
    void setDisplaySize(int32_t dispSize) { m_dispSize.store(dispSize); }

    // Drops the waiting requests, asks the thread to end and waits until it has: a
    // picture being decoded is finished first. The thread cannot be started again.
    void stop();

protected:
    uint32_t run() override;

private:
    void serve(QXThumbRequest& request);

    QXThumbQueue& m_queue;
    QXThumbSink& m_sink;
    Loader m_loader;
    std::atomic<int32_t> m_dispSize;
    tovy::TovEvent m_stop;
};

}  // namespace quenrix
