#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

#include <functional>
#include <memory>
#include <string>

#include "app/CMainFrame.h"
#include "app/CMakeConfigDlg.h"
#include "app/COptionColorPage.h"
#include "app/COptionSheet.h"
#include "core/QXLog.h"
#include "doc/QXAppSettings.h"
#include "doc/QXIniFile.h"
#include "support/TempDir.h"
#include "ui/UiTest.h"
#include "view/ui/CQuenrixView.h"

using quenrix::CMainFrame;
using quenrix::CMakeConfigDlg;
using quenrix::COptionSheet;
using quenrix::QXAppSettings;
using quenrix::QXIniFile;
using quenrix::test::readFile;
using quenrix::test::TempDir;

using quenrix::test::ModalHandler;

namespace {

template <class W>
W* control(QWidget* parent, int id) {
    return parent->findChild<W*>(QStringLiteral("c%1").arg(id));
}

// Keeps the process-wide settings of the other window tests as they were.
class SettingsScope {
public:
    SettingsScope() : m_saved(QXAppSettings::instance()) {}
    ~SettingsScope() {
        QXAppSettings::instance() = m_saved;
        quenrix::QXLog::setEnabled(true);
    }

private:
    QXAppSettings m_saved;
};

// Double-clicks a row of the colour list as the user does.
void doubleClickRow(QListWidget* list, int row) {
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class OptionsTest : public QObject {
    Q_OBJECT
private slots:
    void firstRunDialogShowsTheFolderOfTheTickedChoice() {
        TempDir dir;
        const QXAppSettings::Places places{dir / "exe", "alice", dir / "config"};
        CMakeConfigDlg dialog(places);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("初期設定 - Quenrix"));
        auto* folder = control<QLineEdit>(&dialog, 1040);
        QVERIFY(folder && folder->isReadOnly());
        QCOMPARE(dialog.choice(), int32_t(QXAppSettings::kUserConfig));
        QCOMPARE(folder->text(), QString::fromStdString(dir / "config/Talvor/Quenrix/"));

        static const struct {
            int id;
            int32_t choice;
            const char* folder;
        } cases[] = {
            {1039, QXAppSettings::kExeFolder, "exe/"},
            {1038, QXAppSettings::kExeFolderLogon, "exe/alice/"},
            {1037, QXAppSettings::kUserConfig, "config/Talvor/Quenrix/"},
        };
        for (const auto& c : cases) {
            QTest::mouseClick(control<QRadioButton>(&dialog, c.id), Qt::LeftButton);
            QCOMPARE(dialog.choice(), c.choice);
            QCOMPARE(folder->text(), QString::fromStdString(dir / c.folder));
        }

        // Closed without OK: the preselected choice.
        ModalHandler closer([](QWidget* modal) { modal->close(); });
        QCOMPARE(CMakeConfigDlg::ask(places), int32_t(QXAppSettings::kUserConfig));
    }

    void okAppliesAndSavesAtOnce() {
        SettingsScope scope;
        TempDir dir;
        QXAppSettings& settings = QXAppSettings::instance();
        settings.resetToDefaults();
        settings.setSettingsFolder(dir.path());
        settings.enableZoomIn = 1;
        settings.showGrid = 0;
        settings.folderHistory = {"/stored"};

        CMainFrame frame;
        QCOMPARE(frame.folderHistory().entries(), std::vector<std::string>{"/stored"});
        frame.folderHistory().enter("/searched");
        auto* options = frame.findChild<QAction*>(QStringLiteral("cmd32772"));
        QVERIFY(options && options->isEnabled());

        bool handled = false;
        ModalHandler edit([&](QWidget* modal) {
            auto* sheet = qobject_cast<COptionSheet*>(modal);
            if (!sheet) {
                modal->close();
                return;
            }
            handled = true;
            QCOMPARE(sheet->windowTitle(), QStringLiteral("オプション"));
            QCOMPARE(sheet->tabs()->tabText(0), QStringLiteral("一般"));
            QCOMPARE(sheet->tabs()->tabText(1), QStringLiteral("配色"));
            auto* noZoomIn = control<QCheckBox>(sheet, 1132);
            QVERIFY(!noZoomIn->isChecked());
            noZoomIn->setChecked(true);
            control<QCheckBox>(sheet, 1075)->setChecked(false);
            control<QCheckBox>(sheet, 1036)->setChecked(true);
            auto* width = control<QLineEdit>(sheet, 1131);
            width->clear();
            QTest::keyClicks(width, QStringLiteral("7x7"));  // digits only
            sheet->tabs()->setCurrentIndex(1);
            sheet->colorPage()->setColorChooser([](QWidget*, uint32_t& color) {
                color = 0x00336699;
                return true;
            });
            doubleClickRow(control<QListWidget>(sheet, 1033), 1);  // 背景
            sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        options->trigger();
        QVERIFY(handled);

        QCOMPARE(settings.enableZoomIn, 0);
        QCOMPARE(settings.logging, 0);
        QCOMPARE(settings.thumbnailSize, 77);
        QCOMPARE(settings.colorBack, 0x00336699u);
        QVERIFY(!quenrix::QXLog::enabled());
        const QXIniFile ini(readFile(dir / "Quenrix.ini"));
        QCOMPARE(ini.getInt("General", "EnableZoomIn", -1), 0);
        QCOMPARE(ini.getInt("General", "Logging", -1), 0);
        QCOMPARE(ini.getInt("General", "ShowGrid", -1), 1);
        QCOMPARE(ini.getInt("General", "ThumbnailSize", -1), 77);
        QCOMPARE(ini.getInt("General", "ColorBack", -1), 0x00336699);
        QCOMPARE(ini.getString("Target MRU list", "Dir1"), std::string("/searched"));
        QCOMPARE(ini.getString("Target MRU list", "Dir2"), std::string("/stored"));

        auto* list = control<QTableView>(frame.mainForm(), 1005);
        QVERIFY(list->showGrid());
        QCOMPARE(list->palette().color(QPalette::Base), QColor(0x99, 0x66, 0x33));
    }

    void cancelChangesNothing() {
        SettingsScope scope;
        TempDir dir;
        QXAppSettings& settings = QXAppSettings::instance();
        settings.resetToDefaults();
        settings.setSettingsFolder(dir.path());
        const quenrix::QXGeneralSettings before = settings.general();

        CMainFrame frame;
        ModalHandler cancel([](QWidget* modal) {
            control<QCheckBox>(modal, 1036)->setChecked(false);
            control<QLineEdit>(modal, 1031)->setText(QStringLiteral("/elsewhere"));
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        frame.findChild<QAction*>(QStringLiteral("cmd32772"))->trigger();
        QVERIFY(settings.general() == before);
        QVERIFY(!quenrix::test::pathExists(dir / "Quenrix.ini"));
    }

    void colorPageAsksForAnItem() {
        quenrix::QXGeneralSettings settings;
        COptionSheet sheet(settings);
        auto* list = control<QListWidget>(&sheet, 1033);
        QCOMPARE(list->count(), 4);
        QCOMPARE(list->currentRow(), 0);
        list->clearSelection();
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        ModalHandler answer([&](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                caption = box->windowTitle();
                text = box->text();
                icon = box->icon();
            }
            modal->close();
        });
        sheet.colorPage()->changeSelectedColor();
        QCOMPARE(caption, QStringLiteral("INFORMATION"));
        QCOMPARE(text, QStringLiteral("リストから変更したい項目を選んでください。"));
        QCOMPARE(icon, QMessageBox::Information);
        QVERIFY(sheet.settings() == settings);
    }
};

QX_UI_TEST(OptionsTest);

#include "options_test.moc"
