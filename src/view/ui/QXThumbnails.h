// The thumbnails of the result list: the main form's サムネイル check box (1129) and
// slider (1128), the row height and thumbnail-column width they give, the delegate that
// draws each picture into its cell of the サムネイル column, and the request queue with
// the worker that makes the pictures.
//
// A cell whose picture is missing asks for it once and stays empty until the worker
// reports it ready; the rows on screen are served first. Drawing only scales the kept
// picture, so the user-interface thread never decodes a file and never waits for the
// worker except when the form closes (stop()), while the worker finishes the picture it
// is on. A reset of the list (new results, a new layout) drops the waiting requests.
//
// Owned by the main form. User-interface thread only; the worker's reports arrive as
// queued calls.
#pragma once

#include <QObject>

#include <cstdint>
#include <memory>

#include "core/QXFileInfo.h"
#include "view/QXThumbCreatorThread.h"

class QCheckBox;
class QSlider;

namespace quenrix {

class QXFileListCtrl;
class QXResultListModel;
class QXThumbQueue;

class QXThumbnails : public QObject, private QXThumbSink {
    Q_OBJECT
public:
    // Takes over the check box and the slider (their range, start values and signals),
    // puts its delegate on the list and applies the layout for the stored settings.
    QXThumbnails(QXFileListCtrl& list, QXResultListModel& model, QCheckBox& toggle, QSlider& slider,
                 QObject* parent = nullptr);
    ~QXThumbnails() override;

    // Row height and thumbnail-column width after the ShowThumbnail setting and the
    // slider; the first visible row stays at the top.
    void applyLayout();
    // The fixed row height in use, -1 when the font decides.
    int rowHeight() const { return m_rowHeight; }

    // Asks for the record's picture (once per record); starts the worker when needed.
    void request(const QXFileInfoPtr& file);

    // The form closes: drops the waiting requests and waits for the worker to end. A
    // later request starts a new worker.
    void stop();

    // Test seams: the worker's loader (taken by the next worker started), and the state
    // of the queue.
    void setLoader(QXThumbCreatorThread::Loader loader) { m_loader = std::move(loader); }
    bool workerRunning() const { return m_worker != nullptr; }
    size_t waitingRequests() const;

signals:
    // A picture arrived and its row, if on screen, was redrawn.
    void thumbnailShown(quint64 fileId);

private:
    // QXThumbSink, on the worker's thread.
    void thumbnailReady(uint64_t fileId) override;
    void showReady(uint64_t fileId);
    // The visible rows: [first, last], or first > last when none.
    void visibleRows(int& first, int& last) const;
    // Once the current events are handled: the requests of the rows on screen go first.
    void schedulePromotion();
    void promoteVisible();

    QXFileListCtrl& m_list;
    QXResultListModel& m_model;
    QCheckBox& m_toggle;
    QSlider& m_slider;
    std::unique_ptr<QXThumbQueue> m_queue;
    std::unique_ptr<QXThumbCreatorThread> m_worker;
    QXThumbCreatorThread::Loader m_loader;
    int m_fontRowHeight = 0;
    int m_rowHeight = -1;
    bool m_promotionScheduled = false;
};

}  // namespace quenrix
