#include "view/ui/QXThumbnails.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QSlider>
#include <QStyledItemDelegate>
#include <QTimer>

#include <vector>

#include "core/QXFileExtras.h"
#include "core/QXLog.h"
#include "core/QXThumbHolder.h"
#include "doc/QXAppSettings.h"
#include "view/QXColumns.h"
#include "view/QXThumbLayout.h"
#include "view/QXThumbQueue.h"
#include "view/ui/QXFileListCtrl.h"
#include "view/ui/QXResultListModel.h"

namespace quenrix {

namespace {

// Draws the cells of the thumbnail column: the kept picture scaled into the cell, or a
// request for it. Every other cell is drawn as usual.
class QXThumbDelegate : public QStyledItemDelegate {
public:
    QXThumbDelegate(QXThumbnails& owner, QObject* parent)
        : QStyledItemDelegate(parent), m_owner(&owner) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        const auto* model = qobject_cast<const QXResultListModel*>(index.model());
        if (!m_owner || !model || index.row() >= model->rowCount() ||
            index.column() >= int(model->layout().size()) ||
            model->layout()[size_t(index.column())] != kColThumbnail) {
            return;
        }
        const QXAppSettings& settings = QXAppSettings::instance();
        if (settings.showThumbnail == 0) return;
        const QXFileInfoPtr& file = model->record(index.row());
        const std::shared_ptr<QXThumbHolder> holder = QXThumbQueue::holderOf(*file);
        if (holder->bitmapLoaded()) {
            drawPicture(painter, option.rect, *holder, settings);
        } else if (!holder->queued()) {
            m_owner->request(file);
        }
    }

private:
    static void drawPicture(QPainter* painter, const QRect& cell, const QXThumbHolder& holder,
                            const QXAppSettings& settings) {
        const QXBitmap& bitmap = holder.bitmap();
        const QXThumbSize size =
            fitThumbnail(holder.sourceWidth(), holder.sourceHeight(), cell.width(), cell.height(),
                         settings.thumbnailMargin, settings.enableZoomIn != 0);
        if (size.width <= 0 || size.height <= 0) return;
        // Centred in the whole cell, margins or not.
        const QRect target(cell.left() + (cell.width() - size.width) / 2,
                           cell.top() + (cell.height() - size.height) / 2, size.width, size.height);
        const QImage image(bitmap.bits.data(), bitmap.width, bitmap.height, bitmap.stride,
                           QImage::Format_BGR888);
        painter->save();
        painter->setClipRect(cell);
        if (size.width == bitmap.width && size.height == bitmap.height) {
            painter->drawImage(target.topLeft(), image);
        } else {
            painter->setRenderHint(QPainter::SmoothPixmapTransform);
            painter->drawImage(target, image);
        }
        painter->setPen(QColor(32, 32, 32));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(target.adjusted(-1, -1, 0, 0));
        painter->restore();
    }

    QPointer<QXThumbnails> m_owner;
};

}  // namespace

QXThumbnails::QXThumbnails(QXFileListCtrl& list, QXResultListModel& model, QCheckBox& toggle,
                           QSlider& slider, QObject* parent)
    : QObject(parent),
      m_list(list),
      m_model(model),
      m_toggle(toggle),
      m_slider(slider),
      m_queue(std::make_unique<QXThumbQueue>()) {
    m_fontRowHeight = m_list.verticalHeader()->defaultSectionSize();
    m_list.setItemDelegate(new QXThumbDelegate(*this, &m_list));

    const QXAppSettings& settings = QXAppSettings::instance();
    m_toggle.setChecked(settings.showThumbnail != 0);
    m_toggle.setEnabled(true);
    m_slider.setRange(kThumbSliderMin, kThumbSliderMax);
    m_slider.setValue(kThumbSliderStart);
    m_slider.setTickPosition(QSlider::TicksBelow);
    m_slider.setTickInterval((kThumbSliderMax - kThumbSliderMin) / 2);
    m_slider.setEnabled(true);

    connect(&m_toggle, &QCheckBox::toggled, this, [this](bool on) {
        QXAppSettings::instance().showThumbnail = on ? 1 : 0;
        applyLayout();
    });
    connect(&m_slider, &QSlider::valueChanged, this, [this] { applyLayout(); });
    // New results or columns: the waiting requests are for rows that are gone.
    connect(&m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_queue->clear(); });
    connect(m_list.verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { schedulePromotion(); });

    applyLayout();
}

QXThumbnails::~QXThumbnails() {
    stop();
}

void QXThumbnails::applyLayout() {
    const QXAppSettings& settings = QXAppSettings::instance();
    const int top = m_list.rowAt(0);
    m_list.setUpdatesEnabled(false);

    m_rowHeight =
        thumbRowHeight(settings.showThumbnail != 0, m_slider.value(), settings.thumbnailDispSize);
    QHeaderView* rows = m_list.verticalHeader();
    rows->setMinimumSectionSize(std::min(rows->minimumSectionSize(), kThumbMinRowHeight));
    rows->setDefaultSectionSize(m_rowHeight > 0 ? m_rowHeight : m_fontRowHeight);
    // The scroll range follows the new height now, not at the next event.
    m_list.doItemsLayout();
    if (top >= 0 && top < m_model.rowCount()) {
        m_list.scrollTo(m_model.index(top, 0), QAbstractItemView::PositionAtTop);
    }

    const int column = m_model.columnOfType(kColThumbnail);
    if (column >= 0) m_list.setColumnWidth(column, thumbColumnWidth(m_rowHeight));
    if (m_worker) m_worker->setDisplaySize(settings.thumbnailDispSize);

    m_list.setUpdatesEnabled(true);
    m_list.viewport()->update();
}

void QXThumbnails::request(const QXFileInfoPtr& file) {
    if (!m_queue->request(file)) return;
    if (!m_worker) {
        QXThumbSink& sink = *this;
        m_worker = std::make_unique<QXThumbCreatorThread>(
            *m_queue, sink, QXAppSettings::instance().thumbnailDispSize, m_loader);
        if (!m_worker->start()) {
            QXLog::Write(L"QXThumbnails : Could not create thread.");
            m_worker.reset();
            m_queue->clear();
            return;
        }
    }
    schedulePromotion();
}

void QXThumbnails::stop() {
    if (m_worker) m_worker->stop();
    m_worker.reset();
    m_queue->clear();
}

size_t QXThumbnails::waitingRequests() const {
    return m_queue->size();
}

void QXThumbnails::thumbnailReady(uint64_t fileId) {
    // Dropped by Qt if this object is gone by then; it outlives the worker anyway.
    QMetaObject::invokeMethod(
        this, [this, fileId] { showReady(fileId); }, Qt::QueuedConnection);
}

void QXThumbnails::showReady(uint64_t fileId) {
    // Only a row on screen needs drawing again; any other draws its picture when it comes
    // into view.
    int first, last;
    visibleRows(first, last);
    for (int row = first; row <= last; ++row) {
        if (m_model.record(row)->id() != fileId) continue;
        for (int j = 0; j < m_model.columnCount(); ++j) {
            if (m_model.layout()[size_t(j)] == kColThumbnail) m_list.update(m_model.index(row, j));
        }
        break;
    }
    emit thumbnailShown(fileId);
}

void QXThumbnails::visibleRows(int& first, int& last) const {
    first = 0;
    last = -1;
    const int count = m_model.rowCount();
    if (count == 0) return;
    const int top = m_list.rowAt(0);
    if (top < 0) return;
    int bottom = m_list.rowAt(m_list.viewport()->height() - 1);
    if (bottom < 0) bottom = count - 1;
    first = top;
    last = bottom;
}

void QXThumbnails::schedulePromotion() {
    if (m_promotionScheduled || !m_worker) return;
    m_promotionScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_promotionScheduled = false;
        promoteVisible();
    });
}

void QXThumbnails::promoteVisible() {
    if (m_queue->size() == 0) return;
    int first, last;
    visibleRows(first, last);
    std::vector<const QXThumbHolder*> holders;
    for (int row = first; row <= last; ++row) {
        const QXFileExtras* extras = m_model.record(row)->extrasIfAny();
        if (extras && extras->thumb && !extras->thumb->bitmapLoaded()) {
            holders.push_back(extras->thumb.get());
        }
    }
    m_queue->promote(holders);
}

}  // namespace quenrix
