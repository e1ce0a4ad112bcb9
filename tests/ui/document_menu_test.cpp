#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/CMainFrame.h"
#include "doc/QXAppSettings.h"
#include "doc/QXRecentFiles.h"
#include "rule/QXFileExtRule.h"
#include "rule/QXFileSizeRule.h"
#include "rule/ui/CRuleListCtrl.h"
#include "support/TempDir.h"
#include "ui/UiTest.h"
#include "view/ui/CQuenrixView.h"

using quenrix::CMainFrame;
using quenrix::CRuleListCtrl;
using quenrix::QXAppSettings;
using quenrix::QXGeneralSettings;
using quenrix::QXRecentFiles;
using quenrix::QXRect;
using quenrix::QXTarget;
using quenrix::test::ModalHandler;
using quenrix::test::readFile;
using quenrix::test::TempDir;

namespace {

template <class W>
W* control(QWidget* parent, int id) {
    return parent->findChild<W*>(QStringLiteral("c%1").arg(id));
}

QAction* command(CMainFrame& frame, int number) {
    return frame.findChild<QAction*>(QStringLiteral("cmd%1").arg(number));
}

QString shown(const std::string& path) {
    return QString::fromStdString(path);
}

// The process-wide settings go back to what the other window tests had; meanwhile the
// settings file lives in the test's own folder.
class SettingsScope {
public:
    explicit SettingsScope(const TempDir& dir) : m_saved(QXAppSettings::instance()) {
        QXAppSettings::instance().setSettingsFolder(dir.createDir("settings"));
    }
    ~SettingsScope() { QXAppSettings::instance() = m_saved; }

private:
    QXAppSettings m_saved;
};

struct BoxSeen {
    bool shown = false;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Records the next message box and closes it.
std::unique_ptr<ModalHandler> answerNextBox(BoxSeen& seen) {
    return std::make_unique<ModalHandler>([&seen](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen = {true, box->text(), box->icon()};
            box->button(QMessageBox::Ok)->click();
        } else {
            modal->close();
        }
    });
}

// What the form shows of a document: targets, options, rules with their check marks.
struct FormState {
    QStringList targets;
    bool subfolders, hidden, system;
    int ruleOperator;
    QStringList rules;  // "description:checked"

    static FormState of(CMainFrame& frame) {
        FormState s;
        auto* list = control<QListWidget>(frame.mainForm(), 1000);
        for (int i = 0; i < list->count(); ++i) s.targets << list->item(i)->text();
        s.subfolders = control<QCheckBox>(frame.mainForm(), 1002)->isChecked();
        s.hidden = control<QCheckBox>(frame.mainForm(), 1021)->isChecked();
        s.system = control<QCheckBox>(frame.mainForm(), 1050)->isChecked();
        s.ruleOperator = control<QComboBox>(frame.mainForm(), 1124)->currentIndex();
        auto* rules = control<CRuleListCtrl>(frame.mainForm(), 1003);
        for (int i = 0; i < rules->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = rules->topLevelItem(i);
            s.rules << row->text(CRuleListCtrl::kDetailColumn) + QStringLiteral(":") +
                           (row->checkState(0) == Qt::Checked ? QStringLiteral("on")
                                                              : QStringLiteral("off"));
        }
        return s;
    }
    bool operator==(const FormState&) const = default;
};

// Sets up a frame with two targets, two options and two rules, one of them unticked.
void setUpSearch(CMainFrame& frame, const TempDir& dir) {
    auto* form = frame.mainForm();
    QVERIFY(form->appendTarget(QXTarget::fromPath(dir.createDir("photos"))));
    QVERIFY(form->appendTarget(QXTarget::fromPath(dir.createDir("日本語 & docs"))));
    control<QCheckBox>(form, 1021)->setChecked(true);
    control<QCheckBox>(form, 1050)->setChecked(true);
    control<QComboBox>(form, 1124)->setCurrentIndex(1);
    auto size = std::make_shared<quenrix::QXFileSizeRule>();
    size->setSize(1234);
    form->appendRule(size);
    auto ext = std::make_shared<quenrix::QXFileExtRule>();
    ext->setExtensions(L"tmp;bak");
    form->appendRule(ext);
    auto* rules = control<CRuleListCtrl>(form, 1003);
    QCOMPARE(rules->topLevelItemCount(), 2);
    rules->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
}

}  // namespace

class DocumentMenuTest : public QObject {
    Q_OBJECT
private slots:
    void savesNewAndOpensAgain() {
        TempDir dir;
        SettingsScope scope(dir);
        const std::string path = dir / "weekly.qnrx";
        CMainFrame frame;
        frame.setFileNameChooser([&](bool) { return shown(path); });
        setUpSearch(frame, dir);
        const FormState before = FormState::of(frame);
        QVERIFY(!before.subfolders && before.hidden && before.system);

        command(frame, 57604)->trigger();
        QVERIFY(!readFile(path).empty());
        QCOMPARE(frame.recentFiles(), std::vector<std::string>{path});
        QCOMPARE(command(frame, 57616)->text(), QStringLiteral("&1 ") + shown(path));
        QVERIFY(command(frame, 57616)->isEnabled());

        command(frame, 57600)->trigger();
        const FormState empty = FormState::of(frame);
        QVERIFY(empty.targets.isEmpty() && empty.rules.isEmpty());
        QVERIFY(!empty.subfolders && !empty.hidden && !empty.system);
        QVERIFY(frame.document().targets.empty() && frame.document().rules.empty());

        command(frame, 57601)->trigger();
        QCOMPARE(FormState::of(frame), before);
        QCOMPARE(frame.document().rules.size(), size_t(2));
        QVERIFY(frame.document().rules[0]->enabled() != frame.document().rules[1]->enabled());
        QCOMPARE(frame.windowTitle(), QStringLiteral("Quenrix"));

        // The recent entry opens it too, and the list outlives the window.
        command(frame, 57600)->trigger();
        command(frame, 57616)->trigger();
        QTRY_COMPARE(FormState::of(frame), before);
        CMainFrame second;
        QCOMPARE(second.recentFiles(), std::vector<std::string>{path});

        // A document that is gone is said so and leaves the list.
        QVERIFY(std::remove(path.c_str()) == 0);
        BoxSeen seen;
        auto handler = answerNextBox(seen);
        command(second, 57616)->trigger();
        QTRY_VERIFY(seen.shown);
        QVERIFY(seen.text.contains(QStringLiteral("設定ファイルを開けませんでした。")));
        QVERIFY(seen.text.contains(shown(path)));
        QTRY_VERIFY(second.recentFiles().empty());
        QAction* placeholder = command(second, 57616);
        QVERIFY(placeholder && !placeholder->isEnabled());
        QCOMPARE(placeholder->text(), QStringLiteral("最近使ったファイル"));
        QCOMPARE(CMainFrame().recentFiles().size(), size_t(0));
    }

    void refusedSaveKeepsTheOldFile() {
        TempDir dir;
        SettingsScope scope(dir);
        const std::string path = dir / "kept.qnrx";
        CMainFrame frame;
        frame.setFileNameChooser([&](bool) { return shown(path); });
        setUpSearch(frame, dir);
        command(frame, 57604)->trigger();
        const std::string saved = readFile(path);
        QVERIFY(!saved.empty());

        QVERIFY(frame.mainForm()->appendTarget(QXTarget::fromPath(dir.createDir("two\nlines"))));
        BoxSeen seen;
        auto handler = answerNextBox(seen);
        command(frame, 57604)->trigger();
        QVERIFY(seen.shown);
        QVERIFY(!frame.document().refusedValue().empty());
        QCOMPARE(seen.text, QString::fromStdWString(frame.document().refusedValue()));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(readFile(path), saved);
        QCOMPARE(frame.recentFiles(), std::vector<std::string>{path});
    }

    void recentListKeepsEightDistinctPaths() {
        TempDir dir;
        SettingsScope scope(dir);
        QXRecentFiles recent;
        for (int i = 1; i <= 10; ++i) QVERIFY(recent.add("/docs/" + std::to_string(i)));
        QVERIFY(recent.add("/docs/7"));
        QVERIFY(!recent.add(""));
        QVERIFY(!recent.add("/docs/two\nlines"));
        QVERIFY(!recent.add("/docs/cr\r"));
        const std::vector<std::string> expected{"/docs/7", "/docs/10", "/docs/9", "/docs/8",
                                                "/docs/6", "/docs/5",  "/docs/4", "/docs/3"};
        QCOMPARE(recent.entries(), expected);
        QVERIFY(recent.save(QXAppSettings::instance()));
        QXRecentFiles again;
        again.load(QXAppSettings::instance());
        QCOMPARE(again.entries(), expected);

        // Hand-edited keys: empty values and repeats are skipped.
        const QXAppSettings& settings = QXAppSettings::instance();
        QVERIFY(settings.writeProfileString(QXRecentFiles::kSection, "File2", ""));
        QVERIFY(settings.writeProfileString(QXRecentFiles::kSection, "File3", "/docs/7"));
        again.load(settings);
        QCOMPARE(again.entries().size(), size_t(6));
        QCOMPARE(again.entries()[1], std::string("/docs/8"));
        QVERIFY(again.remove("/docs/8"));
        QVERIFY(!again.remove("/docs/8"));
    }

    void placementFromSettings_data() {
        QTest::addColumn<int>("show");
        QTest::addColumn<QRect>("stored");  // left, top, right, bottom as x, y, w, h below
        QTest::addColumn<int>("expectedShow");
        QTest::addColumn<bool>("useRect");
        using P = CMainFrame::Placement;
        const int max = QXGeneralSettings::kWindowMaximized;
        const int min = QXGeneralSettings::kWindowMinimized;
        // stored holds (left, top, right, bottom).
        QTest::newRow("defaults") << -1 << QRect(-1, -1, -2, -2) << int(P::kNormal) << false;
        QTest::newRow("normal") << 0 << QRect(10, 20, 410, 320) << int(P::kNormal) << true;
        QTest::newRow("no state stored")
            << -1 << QRect(10, 20, 410, 320) << int(P::kNormal) << true;
        QTest::newRow("maximized")
            << max << QRect(-8, -8, 1000, 800) << int(P::kMaximized) << false;
        QTest::newRow("minimized, negative")
            << min << QRect(-50, 10, 300, 200) << int(P::kMinimized) << true;
        QTest::newRow("normal, negative")
            << 0 << QRect(-50, 10, 300, 200) << int(P::kNormal) << false;
        QTest::newRow("both bits, negative")
            << (max | min) << QRect(10, -1, 300, 200) << int(P::kNormal) << false;
        QTest::newRow("both bits")
            << (max | min) << QRect(10, 20, 300, 200) << int(P::kMaximized) << false;
        QTest::newRow("empty rectangle") << 0 << QRect(10, 20, 10, 20) << int(P::kNormal) << false;
    }

    void placementFromSettings() {
        QFETCH(int, show);
        QFETCH(QRect, stored);
        QFETCH(int, expectedShow);
        QFETCH(bool, useRect);
        QXGeneralSettings settings;
        settings.frameWindowShow = show;
        settings.frameWindow = {stored.x(), stored.y(), stored.width(), stored.height()};
        const CMainFrame::Placement placement = CMainFrame::placementFrom(settings);
        QCOMPARE(int(placement.show), expectedShow);
        QCOMPARE(placement.useRect, useRect);
        if (useRect) {
            QCOMPARE(placement.rect, QRect(QPoint(stored.x(), stored.y()),
                                           QPoint(stored.width() - 1, stored.height() - 1)));
        }
    }

    void placementStoredAtCloseAndApplied() {
        TempDir dir;
        SettingsScope scope(dir);
        QXAppSettings& settings = QXAppSettings::instance();
        {
            CMainFrame frame;
            frame.show();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            frame.setGeometry(60, 70, 520, 430);
            QTRY_COMPARE(frame.geometry().topLeft(), QPoint(60, 70));
            const QRect at = frame.geometry();
            QVERIFY(frame.close());
            QCOMPARE(settings.frameWindow,
                     (QXRect{at.left(), at.top(), at.left() + at.width(), at.top() + at.height()}));
            QCOMPARE(settings.frameWindowShow, 0);
        }
        {
            CMainFrame frame;
            frame.placeFromSettings(settings);
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            QCOMPARE(frame.geometry(), QRect(60, 70, 520, 430));
            QVERIFY(!frame.isMaximized() && !frame.isMinimized());

            // Maximized and then minimized: it comes back maximized, over the normal place.
            frame.showMaximized();
            QTRY_VERIFY(frame.isMaximized());
            frame.setWindowState(frame.windowState() | Qt::WindowMinimized);
            QXGeneralSettings stored;
            frame.storePlacement(stored);
            QCOMPARE(stored.frameWindowShow, QXGeneralSettings::kWindowMaximized);
            frame.setWindowState(Qt::WindowMinimized);
            frame.storePlacement(stored);
            QCOMPARE(stored.frameWindowShow, QXGeneralSettings::kWindowMinimized);
        }
        settings.frameWindowShow = QXGeneralSettings::kWindowMaximized;
        CMainFrame frame;
        frame.placeFromSettings(settings);
        QTRY_VERIFY(frame.isMaximized());
    }

    void startValuesFromTheSettings() {
        TempDir dir;
        SettingsScope scope(dir);
        for (int start : {0, 1}) {
            QXAppSettings::instance().checkSubFolder = start;
            QXAppSettings::instance().showGrid = start;
            CMainFrame frame;
            QCOMPARE(control<QTableView>(frame.mainForm(), 1005)->showGrid(), start == 1);
            auto* box = control<QCheckBox>(frame.mainForm(), 1002);
            QCOMPARE(box->isChecked(), start == 1);
            QCOMPARE(frame.document().includeSubfolders, start == 1);
            command(frame, 57600)->trigger();
            QVERIFY(!box->isChecked());
            QVERIFY(!frame.document().includeSubfolders);
        }
    }
};

QX_UI_TEST(DocumentMenuTest);

#include "document_menu_test.moc"
