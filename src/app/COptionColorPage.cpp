#include "app/COptionColorPage.h"

#include <QColorDialog>
#include <QEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPainter>

#include "app/COptionSheet.h"
#include "core/QXPrompt.h"

namespace quenrix {

namespace {

// The rows as the result list shows them: the background with an odd and an even band.
class ColorPreview : public QWidget {
public:
    ColorPreview(const QXGeneralSettings& settings, QWidget* parent)
        : QWidget(parent), m_settings(settings) {
        setMinimumSize(160, 80);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect frame = rect();
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
        const QRect inside = frame.adjusted(1, 1, -1, -1);
        painter.fillRect(inside, toQColor(m_settings.colorBack));
        const QRect bands = inside.adjusted(4, 4, -4, -4);
        if (bands.isEmpty()) return;
        const QRect odd(bands.left(), bands.top(), bands.width(), bands.height() / 2);
        const QRect even(bands.left(), odd.bottom() + 1, bands.width(),
                         bands.height() - odd.height());
        painter.fillRect(odd, toQColor(m_settings.colorBackOdd));
        painter.fillRect(even, toQColor(m_settings.colorBackEven));
        painter.setPen(toQColor(m_settings.colorText));
        const int flags = Qt::AlignCenter | Qt::TextSingleLine;
        painter.drawText(odd, flags, QStringLiteral("奇数行"));
        painter.drawText(even, flags, QStringLiteral("偶数行"));
    }

private:
    const QXGeneralSettings& m_settings;
};

bool systemColorChooser(QWidget* parent, uint32_t& color) {
    const QColor chosen = QColorDialog::getColor(toQColor(color), parent);
    if (!chosen.isValid()) return false;
    color = fromQColor(chosen);
    return true;
}

}  // namespace

COptionColorPage::COptionColorPage(QXGeneralSettings& settings, QXPrompt& prompt, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_prompt(prompt), m_chooser(systemColorChooser) {
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("c1033"));
    for (const char* item : {"文字", "背景", "背景（奇数）", "背景（偶数）"}) {
        m_list->addItem(QString::fromUtf8(item));
    }
    m_list->setCurrentRow(0);
    m_list->viewport()->installEventFilter(this);

    m_preview = new ColorPreview(m_settings, this);
    m_preview->setObjectName(QStringLiteral("c1035"));

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_preview, 1);
}

uint32_t* COptionColorPage::colorOfRow(int row) {
    switch (row) {
        case 0:
            return &m_settings.colorText;
        case 1:
            return &m_settings.colorBack;
        case 2:
            return &m_settings.colorBackOdd;
        case 3:
            return &m_settings.colorBackEven;
        default:
            return nullptr;
    }
}

void COptionColorPage::changeSelectedColor() {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    uint32_t* color = selected.isEmpty() ? nullptr : colorOfRow(m_list->row(selected.front()));
    if (!color) {
        m_prompt.messageBox(L"リストから変更したい項目を選んでください。", L"INFORMATION",
                            QXIcon::Information);
        return;
    }
    uint32_t chosen = *color;
    if (m_chooser && m_chooser(this, chosen)) {
        *color = chosen;
        m_preview->update();
    }
}

bool COptionColorPage::eventFilter(QObject* watched, QEvent* event) {
    // The press before the double click has already moved the selection.
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        changeSelectedColor();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace quenrix
