// The image-size dialog (137): a new rule's inputs, the two refusals that keep it open,
// the confirmed values, and キャンセル after changes. Also the options' plug-in folder:
// OK with a changed folder reloads the picture plug-ins.
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <string>

#include "app/CMainFrame.h"
#include "app/COptionSheet.h"
#include "core/QXLog.h"
#include "doc/QXAppSettings.h"
#include "rule/QXImageSizeRule.h"
#include "rule/QXRuleRegistry.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"
#include "tovy/support_susie/PluginManager.h"
#include "ui/UiTest.h"

using namespace quenrix;
using quenrix::test::control;
using quenrix::test::refusedOk;
using quenrix::test::whenModal;

namespace {

void type(QWidget* dlg, int id, const QString& text) {
    auto* edit = control<QLineEdit>(dlg, id);
    edit->clear();
    QTest::keyClicks(edit, text);
}

}  // namespace

class ImageSizeDialogTest : public QObject {
    Q_OBJECT
private slots:
    void newRuleRefusalsAndConfirmedValues() {
        QWidget owner;
        QXRulePtr rule = createRule(ruletype::kImageSize);
        QVERIFY(rule);
        bool ran = false;
        whenModal([&](QWidget* dlg) {
            ran = true;
            QCOMPARE(dlg->windowTitle(), QStringLiteral("条件：画像サイズ"));
            QCOMPARE(control<QLineEdit>(dlg, 1029)->text(), QStringLiteral("0"));
            QCOMPARE(control<QLineEdit>(dlg, 1019)->text(), QStringLiteral("0"));
            auto* function = control<QComboBox>(dlg, 1030);
            QCOMPARE(function->count(), 4);
            QCOMPARE(function->itemText(0), QStringLiteral("一致"));
            QCOMPARE(function->itemText(3), QStringLiteral("より小さい"));
            QCOMPARE(function->currentIndex(), 2);
            bool hint = false;
            for (auto* label : dlg->findChildren<QLabel*>()) {
                hint = hint ||
                       label->text() ==
                           QStringLiteral(
                               "（幅または高さのどちらかを無視する場合は０を入力してください）");
            }
            QVERIFY(hint);

            QCOMPARE(refusedOk(dlg),
                     QStringLiteral("INFORMATION|画像サイズを正しく入力してください|1"));
            type(dlg, 1029, QStringLiteral("64x0"));  // digits only
            QCOMPARE(control<QLineEdit>(dlg, 1029)->text(), QStringLiteral("640"));
            control<QLineEdit>(dlg, 1019)->clear();
            QCOMPARE(refusedOk(dlg), QStringLiteral("INFORMATION|画像サイズを入力してください|1"));
            type(dlg, 1019, QStringLiteral("0"));
            function->setCurrentIndex(3);
            control<QPushButton>(dlg, 1)->click();
            if (dlg->isVisible()) static_cast<QDialog*>(dlg)->reject();
        });
        QVERIFY(rule->edit(&owner));
        QVERIFY(ran);
        const auto& sized = dynamic_cast<const QXImageSizeRule&>(*rule);
        QCOMPARE(sized.width(), 640);
        QCOMPARE(sized.height(), 0);
        QCOMPARE(sized.function(), QXImageSizeRule::kAtMost);
        QCOMPARE(QString::fromStdWString(rule->description()), QStringLiteral("幅 640 より小さい"));

        // Reopened it shows the rule; changes and キャンセル keep it.
        whenModal([&](QWidget* dlg) {
            QCOMPARE(control<QLineEdit>(dlg, 1029)->text(), QStringLiteral("640"));
            QCOMPARE(control<QComboBox>(dlg, 1030)->currentIndex(), 3);
            type(dlg, 1019, QStringLiteral("480"));
            control<QPushButton>(dlg, 2)->click();
        });
        QVERIFY(!rule->edit(&owner));
        QCOMPARE(sized.height(), 0);
        QCOMPARE(QString::fromStdWString(rule->description()), QStringLiteral("幅 640 より小さい"));
    }

    void changedPluginFolderReloadsThePlugins() {
        QXAppSettings& settings = QXAppSettings::instance();
        const QXAppSettings saved = settings;
        quenrix::test::TempDir dir;
        settings.setSettingsFolder(dir.path());
        settings.susiePath = QUENRIX_TEST_PLUGIN_DIR;
        auto& host = tovy::support_susie::pluginHost();
        host.Create();
        host.UnloadAll();
        host.LoadFolder(tovy::fromUtf8(settings.susiePath));
        QCOMPARE(host.pluginCount(), size_t(1));

        CMainFrame frame;
        auto setFolder = [&](const QString& folder) {
            bool handled = false;
            quenrix::test::ModalHandler edit([&](QWidget* modal) {
                auto* sheet = qobject_cast<COptionSheet*>(modal);
                if (!sheet) {
                    modal->close();
                    return;
                }
                handled = true;
                control<QLineEdit>(sheet, 1031)->setText(folder);
                sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            });
            frame.findChild<QAction*>(QStringLiteral("cmd32772"))->trigger();
            QVERIFY(handled);
        };
        setFolder(QString::fromStdString(dir.path()));
        QCOMPARE(host.pluginCount(), size_t(0));
        setFolder(QStringLiteral(QUENRIX_TEST_PLUGIN_DIR));
        QCOMPARE(host.pluginCount(), size_t(1));

        host.UnloadAll();
        settings = saved;
        QXLog::setEnabled(true);
    }
};

QX_UI_TEST(ImageSizeDialogTest);

#include "image_size_dialog_test.moc"
