#include "rule/ui/CScriptEdit.h"

#include <QFont>
#include <QFontMetrics>

namespace quenrix {

CScriptEdit::CScriptEdit(QWidget* parent) : QPlainTextEdit(parent) {
    QFont font(QStringLiteral("Noto Sans Mono CJK JP"), 10);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    setFont(font);
    setTabChangesFocus(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabStopDistance(QFontMetricsF(font).horizontalAdvance(QLatin1Char(' ')) * 4);
    // Room for a script of some lines without scrolling.
    const QFontMetrics metrics(font);
    setMinimumSize(metrics.horizontalAdvance(QLatin1Char('x')) * 72, metrics.lineSpacing() * 20);
}

}  // namespace quenrix
