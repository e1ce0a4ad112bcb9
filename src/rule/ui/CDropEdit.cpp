#include "rule/ui/CDropEdit.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <sys/stat.h>

#include "core/ui/QtText.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

// The bytes of a local file's URL as the file system knows them. The path is taken in
// its percent-encoded form so that bytes which are not UTF-8 survive.
std::string nativeFromUrl(const QUrl& url) {
    if (!url.isLocalFile()) return std::string();
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

bool dropsFiles(const QMimeData* mime) {
    return mime && mime->hasUrls();
}

}  // namespace

CDropEdit::CDropEdit(QWidget* parent) : QLineEdit(parent) {
    setAcceptDrops(true);
}

void CDropEdit::setPath(const std::wstring& path) {
    m_path = path;
    m_shown = toQtText(path);
    setText(m_shown);
}

std::wstring CDropEdit::path() const {
    const QString shown = text();
    return shown == m_shown ? m_path : shown.toStdWString();
}

std::string CDropEdit::nativePath() const {
    return tovy::toUtf8(path());
}

bool CDropEdit::exists(const std::string& nativePath) {
    struct stat st;
    return !nativePath.empty() && ::stat(nativePath.c_str(), &st) == 0;
}

bool CDropEdit::isFile(const std::string& nativePath) {
    struct stat st;
    return !nativePath.empty() && ::stat(nativePath.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void CDropEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (dropsFiles(event->mimeData())) {
        event->acceptProposedAction();
        return;
    }
    QLineEdit::dragEnterEvent(event);
}

void CDropEdit::dragMoveEvent(QDragMoveEvent* event) {
    if (dropsFiles(event->mimeData())) {
        event->acceptProposedAction();
        return;
    }
    QLineEdit::dragMoveEvent(event);
}

void CDropEdit::dropEvent(QDropEvent* event) {
    if (!dropsFiles(event->mimeData())) {
        QLineEdit::dropEvent(event);
        return;
    }
    event->acceptProposedAction();
    for (const QUrl& url : event->mimeData()->urls()) {
        const std::string native = nativeFromUrl(url);
        if (!isFile(native)) continue;
        setPath(tovy::fromUtf8(native));
        return;
    }
}

}  // namespace quenrix
