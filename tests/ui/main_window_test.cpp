#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "digest/QXCacheServer.h"
#include "platform/SpecialFolders.h"
#include "support/TempDir.h"
#include "ui/UiTest.h"
#include "view/ui/CQuenrixView.h"

using quenrix::CMainFrame;
using quenrix::QXAnswer;
using quenrix::QXButtons;
using quenrix::QXIcon;

Q_DECLARE_METATYPE(QXIcon)
Q_DECLARE_METATYPE(QXButtons)
Q_DECLARE_METATYPE(QXAnswer)

using quenrix::test::ModalHandler;

namespace {

struct BoxSeen {
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Records the next message box and presses `press` (NoButton: Esc).
std::unique_ptr<ModalHandler> answerNextBox(BoxSeen& seen,
                                            QMessageBox::StandardButton press = QMessageBox::Ok) {
    return std::make_unique<ModalHandler>([&seen, press](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) {
            modal->close();
            return;
        }
        seen = {true, box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        if (press == QMessageBox::NoButton) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            box->button(press)->click();
        }
    });
}

QAction* command(CMainFrame& frame, int number) {
    return frame.findChild<QAction*>(QStringLiteral("cmd%1").arg(number));
}

// Catches what the program hands to the desktop to open, for one URL scheme.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(const QString& scheme) : m_scheme(scheme) {
        QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(m_scheme); }
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url); }

private:
    QString m_scheme;
};

struct MenuItem {
    int command;  // 0: a separator
    const char* text;
    const char* shortcut;
    bool enabled;
};

struct MenuCase {
    const char* title;
    std::vector<MenuItem> items;
};

const MenuCase kMenuBar[] = {
    {"ファイル(&F)",
     {{57600, "新規", "Ctrl+N", true},
      {57601, "設定ファイルを開く...", "Ctrl+O", true},
      {57604, "設定ファイルを保存...", "Ctrl+S", true},
      {0, "", "", true},
      {32796, "エクスポート...", "", false},
      {32800, "インポート...", "", true},
      {0, "", "", true},
      {57616, "最近使ったファイル", "", false},
      {0, "", "", true},
      {57665, "アプリケーションの終了(&X)", "", true}}},
    {"編集(&E)", {{32783, "検索", "F5", true}, {32784, "再検索", "F6", true}}},
    {"表示(&V)", {{59393, "ステータス バー(&S)", "", true}, {32798, "ログ", "", true}}},
    {"ツール(&T)",
     {{32805, "キャッシュを小さくする", "", true},
      {32803, "キャッシュを初期化", "", true},
      {0, "", "", true},
      {32772, "オプション...", "", true}}},
    {"ヘルプ(&H)",
     {{57666, "ヘルプ目次", "", true},
      {32776, "Talvor software Home Page", "", true},
      {0, "", "", true},
      {57664, "バージョン情報 Quenrix(&A)...", "", true}}},
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithTitleAtTheFormsSize() {
        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Quenrix"));
        QCOMPARE(frame.centralWidget(), frame.mainForm());
        // The window starts at the form's design size, or the screen's when that is smaller.
        const QSize screen = frame.screen()->availableGeometry().size();
        const QSize hint = frame.mainForm()->sizeHint();
        QVERIFY(hint.isValid());
        if (frame.width() < screen.width() && frame.height() < screen.height()) {
            QCOMPARE(frame.mainForm()->size(), hint);
        }
        if (frame.width() < screen.width()) QVERIFY(frame.mainForm()->width() >= hint.width());
        if (frame.height() < screen.height()) QVERIFY(frame.mainForm()->height() >= hint.height());
        QVERIFY(frame.width() <= screen.width());
        QVERIFY(frame.height() <= screen.height());
    }

    void menuBarHasEveryCommand() {
        CMainFrame frame;
        const QList<QAction*> menus = frame.menuBar()->actions();
        QCOMPARE(menus.size(), int(std::size(kMenuBar)));
        for (size_t m = 0; m < std::size(kMenuBar); ++m) {
            const MenuCase& expected = kMenuBar[m];
            QCOMPARE(menus[m]->text(), QString::fromUtf8(expected.title));
            const QList<QAction*> items = menus[m]->menu()->actions();
            QCOMPARE(items.size(), int(expected.items.size()));
            for (size_t i = 0; i < expected.items.size(); ++i) {
                const MenuItem& want = expected.items[i];
                const QAction* got = items[i];
                const QByteArray where =
                    QByteArray(expected.title) + " item " + QByteArray::number(qulonglong(i));
                if (want.command == 0) {
                    QVERIFY2(got->isSeparator(), where);
                    continue;
                }
                QVERIFY2(!got->isSeparator(), where);
                QCOMPARE(got->objectName(), QStringLiteral("cmd%1").arg(want.command));
                QCOMPARE(got->text(), QString::fromUtf8(want.text));
                QCOMPARE(got->shortcut().toString(QKeySequence::PortableText),
                         QString::fromUtf8(want.shortcut));
                QVERIFY2(got->isEnabled() == want.enabled, where);
            }
        }
        QVERIFY(command(frame, 59393)->isCheckable());
        QVERIFY(command(frame, 59393)->isChecked());
    }

    void statusBarPanes() {
        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QStatusBar* bar = frame.statusBar();
        QVERIFY(bar->isVisible());
        QCOMPARE(frame.readyPane()->text(), QStringLiteral("レディ"));
        QVERIFY(frame.readyPane()->isVisible());
        QCOMPARE(frame.resultPane()->width(), 350);
        QVERIFY(frame.readyPane()->x() < frame.resultPane()->x());
        QCOMPARE(frame.resultPane()->text(), frame.mainForm()->statusText());
        emit frame.mainForm()->statusTextChanged(QStringLiteral("12 件のファイル"));
        QCOMPARE(frame.resultPane()->text(), QStringLiteral("12 件のファイル"));

        // A menu prompt covers pane 0 and "レディ" returns after it; pane 1 stays.
        bar->showMessage(QStringLiteral("prompt"));
        QVERIFY(!frame.readyPane()->isVisible());
        QVERIFY(frame.resultPane()->isVisible());
        bar->clearMessage();
        QVERIFY(frame.readyPane()->isVisible());

        command(frame, 59393)->trigger();
        QVERIFY(!bar->isVisible());
        command(frame, 59393)->trigger();
        QVERIFY(bar->isVisible());
    }

    void helpWithoutManualSaysSo() {
        const std::string manual = platform::executableFolder() + "/help/index.html";
        if (QFileInfo::exists(QString::fromStdString(manual))) QSKIP("a manual is installed");
        CMainFrame frame;
        UrlCatcher files(QStringLiteral("file"));
        BoxSeen seen;
        auto answer = answerNextBox(seen);
        command(frame, 57666)->trigger();
        QVERIFY(seen.shown);
        QCOMPARE(seen.text, QStringLiteral("ヘルプファイルが見つかりませんでした"));
        QCOMPARE(seen.title, QStringLiteral("Quenrix"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(files.urls.isEmpty());
    }

    void helpOpensTheManual() {
        const std::string manual = platform::executableFolder() + "/help/index.html";
        const QString manualPath = QString::fromStdString(manual);
        if (QFileInfo::exists(manualPath)) QSKIP("a manual is installed");
        const QString helpFolder = QFileInfo(manualPath).absolutePath();
        const bool madeFolder = !QFileInfo::exists(helpFolder);
        QVERIFY(QDir().mkpath(helpFolder));
        {
            QFile file(manualPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        struct Remove {
            std::string path;
            QString folder;
            ~Remove() {
                std::remove(path.c_str());
                if (!folder.isEmpty()) QDir().rmdir(folder);
            }
        } remove{manual, madeFolder ? helpFolder : QString()};
        CMainFrame frame;
        UrlCatcher files(QStringLiteral("file"));
        command(frame, 57666)->trigger();
        QCOMPARE(files.urls.size(), 1);
        QCOMPARE(files.urls[0], QUrl::fromLocalFile(manualPath));
    }

    void homePageOpensInTheBrowser() {
        CMainFrame frame;
        UrlCatcher web(QStringLiteral("https"));
        command(frame, 32776)->trigger();
        QCOMPARE(web.urls.size(), 1);
        QCOMPARE(web.urls[0], QUrl(QStringLiteral("https://talvor-software.example/quenrix/")));
    }

    void aboutBox() {
        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        bool shown = false;
        QString title, text;
        bool hasIcon = false;
        ModalHandler handler([&](QWidget* modal) {
            shown = qobject_cast<quenrix::CAboutDlg*>(modal) != nullptr;
            title = modal->windowTitle();
            if (auto* label = modal->findChild<QLabel*>(QStringLiteral("aboutText"))) {
                text = label->text();
            }
            if (auto* icon = modal->findChild<QLabel*>(QStringLiteral("aboutIcon"))) {
                hasIcon = !icon->pixmap().isNull();
            }
            auto* buttons = modal->findChild<QDialogButtonBox*>();
            if (buttons && buttons->button(QDialogButtonBox::Ok)) {
                buttons->button(QDialogButtonBox::Ok)->click();
            } else {
                modal->close();
            }
        });
        command(frame, 57664)->trigger();
        QVERIFY(shown);
        QCOMPARE(title, QStringLiteral("バージョン情報 Quenrix"));
        QCOMPARE(text, QStringLiteral("Quenrix Version 1.20.2"));
        QVERIFY(hasIcon);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void exitCommandClosesTheWindow() {
        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        command(frame, 57665)->trigger();
        QVERIFY(!frame.isVisible());
    }

    void promptBoxes_data() {
        QTest::addColumn<QXIcon>("icon");
        QTest::addColumn<QXButtons>("buttons");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("shownIcon");
        QTest::addColumn<int>("shownButtons");
        QTest::addColumn<int>("press");
        QTest::addColumn<QXAnswer>("answer");

        QTest::newRow("error, empty caption")
            << QXIcon::Error << QXButtons::Ok << QString() << "Quenrix"
            << int(QMessageBox::Critical) << int(QMessageBox::Ok) << int(QMessageBox::Ok)
            << QXAnswer::Ok;
        QTest::newRow("warning, ok/cancel, Esc")
            << QXIcon::Warning << QXButtons::OkCancel << "注意"
            << "注意" << int(QMessageBox::Warning) << int(QMessageBox::Ok | QMessageBox::Cancel)
            << int(QMessageBox::NoButton) << QXAnswer::Cancel;
        QTest::newRow("information, ok/cancel, ok")
            << QXIcon::Information << QXButtons::OkCancel << "情報"
            << "情報" << int(QMessageBox::Information) << int(QMessageBox::Ok | QMessageBox::Cancel)
            << int(QMessageBox::Ok) << QXAnswer::Ok;
        QTest::newRow("question, yes/no, no")
            << QXIcon::Question << QXButtons::YesNo << "確認"
            << "確認" << int(QMessageBox::Question) << int(QMessageBox::Yes | QMessageBox::No)
            << int(QMessageBox::No) << QXAnswer::No;
        QTest::newRow("none, yes/no/cancel, yes")
            << QXIcon::None << QXButtons::YesNoCancel << "確認"
            << "確認" << int(QMessageBox::NoIcon)
            << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)
            << int(QMessageBox::Yes) << QXAnswer::Yes;
        QTest::newRow("yes/no/cancel, Esc")
            << QXIcon::Question << QXButtons::YesNoCancel << "確認"
            << "確認" << int(QMessageBox::Question)
            << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)
            << int(QMessageBox::NoButton) << QXAnswer::Cancel;
    }

    void promptBoxes() {
        QFETCH(QXIcon, icon);
        QFETCH(QXButtons, buttons);
        QFETCH(QString, caption);
        QFETCH(QString, title);
        QFETCH(int, shownIcon);
        QFETCH(int, shownButtons);
        QFETCH(int, press);
        QFETCH(QXAnswer, answer);

        CMainFrame frame;
        BoxSeen seen;
        auto answerer = answerNextBox(seen, QMessageBox::StandardButton(press));
        const QXAnswer got =
            frame.prompt().messageBox(L"本文の行", caption.toStdWString(), icon, buttons);
        QVERIFY(seen.shown);
        QCOMPARE(seen.text, QStringLiteral("本文の行"));
        QCOMPARE(seen.title, title);
        QCOMPARE(int(seen.icon), shownIcon);
        QCOMPARE(int(seen.buttons), shownButtons);
        QCOMPARE(got, answer);
    }

    // A worker's question is shown on the user-interface thread and the worker waits for
    // the answer.
    void promptFromWorkerThread() {
        CMainFrame frame;
        BoxSeen seen;
        bool onUiThread = false;
        ModalHandler handler([&](QWidget* modal) {
            onUiThread = modal->thread() == QThread::currentThread() &&
                         QThread::currentThread() == QCoreApplication::instance()->thread();
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) return modal->close(), void();
            seen = {true, box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
            box->button(QMessageBox::No)->click();
        });
        std::atomic<bool> done{false};
        QXAnswer answer = QXAnswer::Ok;
        std::thread worker([&] {
            answer =
                frame.prompt().messageBox(L"続けますか", L"", QXIcon::Question, QXButtons::YesNo);
            done = true;
        });
        const bool finished = QTest::qWaitFor([&] { return done.load(); }, 10000);
        if (!finished) {
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        }
        worker.join();
        QVERIFY(finished);
        QVERIFY(seen.shown);
        QVERIFY(onUiThread);
        QCOMPARE(seen.text, QStringLiteral("続けますか"));
        QCOMPARE(seen.title, QStringLiteral("Quenrix"));
        QCOMPARE(answer, QXAnswer::No);
    }

    // キャッシュを初期化 asks first; No keeps the store, Yes empties it and says so.
    void cacheClearAsksAndReports() {
        quenrix::test::TempDir dir;
        quenrix::QXCacheServer& cache = quenrix::QXCacheServer::instance();
        QVERIFY(cache.open(dir.path()));
        cache.store("/x", "crc32", "abc", "stamp");
        CMainFrame frame;
        for (auto press : {QMessageBox::No, QMessageBox::Yes}) {
            BoxSeen question, notice;
            std::unique_ptr<ModalHandler> next;
            ModalHandler first([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box);
                question = {true, box->windowTitle(), box->text(), box->icon(),
                            box->standardButtons()};
                next = answerNextBox(notice);
                box->button(press)->click();
            });
            command(frame, 32803)->trigger();
            QCOMPARE(question.text, QStringLiteral("キャッシュを初期化します。よろしいですか？"));
            QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No);
            if (press == QMessageBox::No) {
                QVERIFY(!notice.shown);
                QVERIFY(cache.lookup("/x", "crc32").found);
            } else {
                QTRY_VERIFY(notice.shown);
                QCOMPARE(notice.text, QStringLiteral("キャッシュを初期化しました。"));
                QVERIFY(!cache.lookup("/x", "crc32").found);
            }
        }
        cache.close();
    }
};
QX_UI_TEST(MainWindowTest);

#include "main_window_test.moc"
