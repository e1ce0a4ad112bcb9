// The thumbnail of one record: asked for by the result list when it draws the row, made
// by the thumbnail worker, drawn by the result list. The picture is kept scaled down to
// the size the list can use at most (QXThumbCreatorThread), with the size of the picture
// it was made from, so that a cell is laid out as if the whole picture were drawn.
//
// Shared between the record (QXFileExtras::thumb) and a waiting request; thread-safe as
// follows: the user-interface thread marks and unmarks requests; the worker attaches the
// picture once; anyone may read the picture after bitmapLoaded() has returned true (it
// never changes afterwards).
#pragma once

#include <atomic>
#include <cstdint>

#include "core/QXBitmap.h"

namespace quenrix {

struct QXThumbHolder {
public:
    QXThumbHolder() = default;
    QXThumbHolder(const QXThumbHolder&) = delete;
    QXThumbHolder& operator=(const QXThumbHolder&) = delete;

    // Whether the picture has been made (bitmap() is valid).
    bool bitmapLoaded() const { return loaded.load(std::memory_order_acquire); }

    // REQUIRES: bitmapLoaded().
    const QXBitmap& bitmap() const { return m_bitmap; }
    int32_t sourceWidth() const { return m_sourceWidth; }
    int32_t sourceHeight() const { return m_sourceHeight; }

    // Attaches the picture made from a sourceWidth × sourceHeight image. Only the first
    // call has an effect; false for the later ones and for an empty bitmap.
    bool attach(QXBitmap bitmap, int32_t sourceWidth, int32_t sourceHeight) {
        if (bitmap.empty() || bitmapLoaded()) return false;
        if (m_writing.exchange(true, std::memory_order_acquire)) return false;
        m_bitmap = std::move(bitmap);
        m_sourceWidth = sourceWidth;
        m_sourceHeight = sourceHeight;
        loaded.store(true, std::memory_order_release);
        return true;
    }

    // A request for the picture is waiting or has been served. A file no decoder reads
    // stays requested, so its row is not asked for again.
    bool queued() const { return m_queued.load(std::memory_order_acquire); }
    // Marks the holder as requested; false when it already was.
    bool markQueued() { return !m_queued.exchange(true, std::memory_order_acq_rel); }
    // A waiting request was dropped before it was served: the picture may be asked for
    // again.
    void unmarkQueued() { m_queued.store(false, std::memory_order_release); }

    // The made flag, set by attach() once the picture is in place. Setting it without a
    // picture stands for a picture that draws as nothing (the decoder tests do).
    std::atomic<bool> loaded{false};

private:
    std::atomic<bool> m_writing{false};
    std::atomic<bool> m_queued{false};
    QXBitmap m_bitmap;
    int32_t m_sourceWidth = 0;
    int32_t m_sourceHeight = 0;
};

}  // namespace quenrix
