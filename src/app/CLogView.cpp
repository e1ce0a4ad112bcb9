#include "app/CLogView.h"

#include <QFontDatabase>
#include <QTimer>

#include "core/QXLog.h"
#include "core/ui/QtText.h"

namespace quenrix {

namespace {

// A fixed-pitch font that has Japanese glyphs; the system's fixed font otherwise (the
// font fallback then finds the glyphs elsewhere).
QFont logFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QString cjkMono = QStringLiteral("Noto Sans Mono CJK JP");
    if (QFontDatabase::hasFamily(cjkMono)) font.setFamilies({cjkMono, font.family()});
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPointSize(9);
    return font;
}

}  // namespace

CLogView::CLogView(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("logList"));
    setFont(logFont());
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    m_timer = new QTimer(this);
    m_timer->setInterval(kPollMs);
    connect(m_timer, &QTimer::timeout, this, &CLogView::takeQueuedLines);
    m_timer->start();
    // What waited in the queue shows at once, not half a second later.
    takeQueuedLines();
}

void CLogView::takeQueuedLines() {
    const std::vector<std::wstring> lines = QXLog::takeQueued();
    if (lines.empty()) return;
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::wstring& line : lines) texts.push_back(toQtText(line));
    addItems(texts);
    scrollToBottom();
}

}  // namespace quenrix
