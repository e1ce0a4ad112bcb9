#include "view/ui/CXFileDialog.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>

#include <sys/stat.h>

#include <string>

#include "platform/FileStat.h"
#include "platform/Path.h"

namespace quenrix {

namespace {

// The encoding of the last import of this session.
QXCsvEncoding g_lastEncoding = QXCsvEncoding::kSjis;

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// The native bytes of a path the dialog gives as text. A name that is not UTF-8 does not
// survive the trip through QString, so a component that does not exist as encoded is
// looked up among its folder's entries by the text the dialog showed for them.
std::string nativePath(const QString& chosen) {
    const std::string encoded = QFile::encodeName(chosen).toStdString();
    if (encoded.empty() || encoded.front() != '/' || exists(encoded)) return encoded;
    std::string folder = "/";
    for (const QString& part : chosen.split(u'/', Qt::SkipEmptyParts)) {
        std::string name = QFile::encodeName(part).toStdString();
        if (!exists(platform::joinPath(folder, name))) {
            platform::DirReader reader(folder, true);
            std::string entry;
            platform::FileStat st;
            while (reader.next(entry, st)) {
                if (QFile::decodeName(QByteArray::fromStdString(entry)) == part) {
                    name = entry;
                    break;
                }
            }
        }
        folder = platform::joinPath(folder, name);
    }
    return folder;
}

// Takes a chosen file by its native bytes, which the file dialog's own check (made on
// the text) would not find for a name that is not UTF-8.
class ImportFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    // The native path of the file taken, once accepted.
    std::string chosen;

protected:
    void accept() override {
        const QStringList files = selectedFiles();
        if (files.size() == 1) {
            const std::string native = nativePath(files.constFirst());
            struct stat st;
            if (::stat(native.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
                chosen = native;
                QDialog::accept();
                return;
            }
        }
        // Folders are entered, missing names reported, as usual.
        QFileDialog::accept();
    }
};

}  // namespace

bool CXFileDialog::getOpenFileName(QWidget* parent, std::string& path, QXCsvEncoding& encoding) {
    ImportFileDialog dialog(parent, QStringLiteral("インポート"));
    // The encoding choice lives in the dialog itself, which the platform's own dialog
    // would not offer.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("csv(*.csv)"), QStringLiteral("all(*.*)")});

    auto* combo = new QComboBox(&dialog);
    combo->setObjectName(QStringLiteral("c1120"));
    combo->addItems({QStringLiteral("SJIS"), QStringLiteral("UTF-8")});
    combo->setCurrentIndex(int(g_lastEncoding));
    auto* label = new QLabel(QStringLiteral("文字エンコーディング :"), &dialog);
    label->setBuddy(combo);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(combo, row, 1);
    } else if (QLayout* layout = dialog.layout()) {
        layout->addWidget(label);
        layout->addWidget(combo);
    }

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    path = !dialog.chosen.empty() ? dialog.chosen : nativePath(dialog.selectedFiles().constFirst());
    encoding = combo->currentIndex() == int(QXCsvEncoding::kUtf8) ? QXCsvEncoding::kUtf8
                                                                  : QXCsvEncoding::kSjis;
    g_lastEncoding = encoding;
    return !path.empty();
}

QXCsvEncoding CXFileDialog::lastEncoding() {
    return g_lastEncoding;
}

}  // namespace quenrix
