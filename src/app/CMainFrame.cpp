#include "app/CMainFrame.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QTableView>
#include <QUrl>

#include <sys/stat.h>
#include <new>

#include "app/CAboutDlg.h"
#include "app/CLogFrm.h"
#include "app/COptionSheet.h"
#include "app/QXAutoRun.h"
#include "core/QXLog.h"
#include "core/ui/QtText.h"
#include "digest/QXCacheServer.h"
#include "doc/QXAppSettings.h"
#include "platform/SpecialFolders.h"
#include "tovy/TovUtf8.h"
#include "view/QXResultFormat.h"
#include "view/ui/CQuenrixView.h"
#include "view/ui/QXResultListModel.h"

namespace quenrix {

namespace {

constexpr int kCmdFileNew = 57600;
constexpr int kCmdFileOpen = 57601;
constexpr int kCmdFileSaveAs = 57604;
constexpr int kCmdExport = 32796;
constexpr int kCmdImport = 32800;
constexpr int kCmdRecentFile = 57616;
constexpr int kCmdExit = 57665;
constexpr int kCmdSearch = 32783;
constexpr int kCmdReSearch = 32784;
constexpr int kCmdStatusBar = 59393;
constexpr int kCmdLog = 32798;
constexpr int kCmdCacheCompact = 32805;
constexpr int kCmdCacheClear = 32803;
constexpr int kCmdOptions = 32772;
constexpr int kCmdHelpIndex = 57666;
constexpr int kCmdHomePage = 32776;
constexpr int kCmdAbout = 57664;

// The manual, installed beside the executable.
constexpr const char* kHelpFileName = "help/index.html";
constexpr const char* kHomePage = "https://talvor-software.example/quenrix/";

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isFolderPath(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A native path as a message shows it.
std::wstring shownPath(const std::string& path) {
    return displayText(tovy::fromUtf8(path));
}

// The file dialogs of the File menu list every file and add no extension; the save
// dialog asks before it overwrites a file.
QString askFileName(QWidget* owner, bool forSave, const std::string& lastPath) {
    const QString filter = QStringLiteral("すべてのファイル (*)");
    QString folder;
    if (!lastPath.empty()) {
        folder = QFileInfo(QFile::decodeName(QByteArray::fromStdString(lastPath))).absolutePath();
    }
    if (forSave) {
        return QFileDialog::getSaveFileName(owner, QStringLiteral("設定ファイルを保存"), folder,
                                            filter);
    }
    return QFileDialog::getOpenFileName(owner, QStringLiteral("設定ファイルを開く"), folder,
                                        filter);
}

// The result list's background and grid lines after the settings.
void applyListSettings(CQuenrixView* form, const QXGeneralSettings& settings) {
    auto* list = form ? form->findChild<QTableView*>(QStringLiteral("c1005")) : nullptr;
    if (!list) return;
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, toQColor(settings.colorBack));
    list->setPalette(palette);
    list->setShowGrid(settings.showGrid != 0);
    list->viewport()->update();
}

// ツール > オプション...: the options sheet over the stored settings; OK applies and
// saves them at once.
void runOptions(CMainFrame* frame) {
    QXAppSettings& settings = QXAppSettings::instance();
    COptionSheet sheet(settings.general(), frame);
    if (sheet.exec() != QDialog::Accepted) return;
    settings.folderHistory = frame->folderHistory().entries();
    applyOptions(settings, sheet.settings());
    applyListSettings(frame->mainForm(), settings);
    if (frame->mainForm()) frame->resultPane()->setText(frame->mainForm()->statusText());
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), m_prompt(this) {
    setWindowTitle(QStringLiteral("Quenrix"));

    m_view = new CQuenrixView(m_doc, m_history, m_prompt, this);
    setCentralWidget(m_view);
    createMenus();
    createStatusBar();
    fitToMainForm();

    QXAppSettings& settings = QXAppSettings::instance();
    applyListSettings(m_view, settings);
    // The folder history stored with the settings, in its stored order.
    for (const std::string& path : settings.folderHistory) m_history.loadAppend(path);
    m_recent.load(settings);
    rebuildRecentMenu();

    m_doc.setView(m_view);
}

CMainFrame::~CMainFrame() {
    m_doc.setView(nullptr);
    // The main form refers to the document and the history, which are members and go
    // before the child widgets would.
    delete m_view;
    delete m_log.data();
}

QAction* CMainFrame::addCommand(QMenu* menu, int command, const QString& text,
                                const QKeySequence& shortcut) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QStringLiteral("cmd%1").arg(command));
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    return action;
}

void CMainFrame::createMenus() {
    QMenuBar* bar = menuBar();

    QMenu* file = bar->addMenu(QStringLiteral("ファイル(&F)"));
    m_fileMenu = file;
    connect(
        addCommand(file, kCmdFileNew, QStringLiteral("新規"), QKeySequence(Qt::CTRL | Qt::Key_N)),
        &QAction::triggered, this, &CMainFrame::onFileNew);
    connect(addCommand(file, kCmdFileOpen, QStringLiteral("設定ファイルを開く..."),
                       QKeySequence(Qt::CTRL | Qt::Key_O)),
            &QAction::triggered, this, &CMainFrame::onFileOpen);
    connect(addCommand(file, kCmdFileSaveAs, QStringLiteral("設定ファイルを保存..."),
                       QKeySequence(Qt::CTRL | Qt::Key_S)),
            &QAction::triggered, this, &CMainFrame::onFileSave);
    file->addSeparator();
    QAction* exportCsv = addCommand(file, kCmdExport, QStringLiteral("エクスポート..."));
    connect(exportCsv, &QAction::triggered, m_view, &CQuenrixView::onExport);
    connect(addCommand(file, kCmdImport, QStringLiteral("インポート...")), &QAction::triggered,
            m_view, &CQuenrixView::onImport);
    // An export needs at least one row.
    auto updateExport = [this, exportCsv] {
        exportCsv->setEnabled(m_view->resultModel()->rowCount() > 0);
    };
    QAbstractItemModel* results = m_view->resultModel();
    connect(results, &QAbstractItemModel::modelReset, exportCsv, updateExport);
    connect(results, &QAbstractItemModel::rowsInserted, exportCsv, updateExport);
    connect(results, &QAbstractItemModel::rowsRemoved, exportCsv, updateExport);
    updateExport();
    file->addSeparator();
    // The recent documents go before this separator (rebuildRecentMenu).
    m_recentEnd = file->addSeparator();
    connect(addCommand(file, kCmdExit, QStringLiteral("アプリケーションの終了(&X)")),
            &QAction::triggered, this, &QWidget::close);

    QMenu* edit = bar->addMenu(QStringLiteral("編集(&E)"));
    connect(addCommand(edit, kCmdSearch, QStringLiteral("検索"), QKeySequence(Qt::Key_F5)),
            &QAction::triggered, this, &CMainFrame::onSearchCommand);
    connect(addCommand(edit, kCmdReSearch, QStringLiteral("再検索"), QKeySequence(Qt::Key_F6)),
            &QAction::triggered, m_view, &CQuenrixView::onReSearch);

    QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
    QAction* statusBarCommand =
        addCommand(view, kCmdStatusBar, QStringLiteral("ステータス バー(&S)"));
    statusBarCommand->setCheckable(true);
    statusBarCommand->setChecked(true);
    connect(statusBarCommand, &QAction::toggled, this,
            [this](bool on) { statusBar()->setVisible(on); });
    connect(addCommand(view, kCmdLog, QStringLiteral("ログ")), &QAction::triggered, this,
            &CMainFrame::onLog);

    QMenu* tools = bar->addMenu(QStringLiteral("ツール(&T)"));
    connect(addCommand(tools, kCmdCacheCompact, QStringLiteral("キャッシュを小さくする")),
            &QAction::triggered, this, &CMainFrame::onCacheCompact);
    connect(addCommand(tools, kCmdCacheClear, QStringLiteral("キャッシュを初期化")),
            &QAction::triggered, this, &CMainFrame::onCacheClear);
    tools->addSeparator();
    connect(addCommand(tools, kCmdOptions, QStringLiteral("オプション...")), &QAction::triggered,
            this, [this] { runOptions(this); });

    QMenu* help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    connect(addCommand(help, kCmdHelpIndex, QStringLiteral("ヘルプ目次")), &QAction::triggered,
            this, &CMainFrame::onHelpIndex);
    connect(addCommand(help, kCmdHomePage, QStringLiteral("Talvor software Home Page")),
            &QAction::triggered, this, &CMainFrame::onHomePage);
    help->addSeparator();
    connect(addCommand(help, kCmdAbout, QStringLiteral("バージョン情報 Quenrix(&A)...")),
            &QAction::triggered, this, &CMainFrame::onAbout);
}

void CMainFrame::createStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setSizeGripEnabled(true);
    // Pane 0 is an ordinary status-bar widget: while a menu item's prompt is shown as the
    // bar's temporary message it is hidden, and it comes back when the message clears.
    m_readyPane = new QLabel(QStringLiteral("レディ"), bar);
    m_readyPane->setObjectName(QStringLiteral("pane0"));
    bar->addWidget(m_readyPane, 1);
    m_resultPane = new QLabel(bar);
    m_resultPane->setObjectName(QStringLiteral("pane1"));
    m_resultPane->setFixedWidth(kResultPaneWidth);
    bar->addPermanentWidget(m_resultPane);
    m_resultPane->setText(m_view->statusText());
    connect(m_view, &CQuenrixView::statusTextChanged, m_resultPane, &QLabel::setText);
}

void CMainFrame::fitToMainForm() {
    QSize size = sizeHint();
    if (const QScreen* screen = this->screen()) {
        size = size.boundedTo(screen->availableGeometry().size());
    }
    resize(size);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (!event->isAccepted()) return;
    m_view->aboutToClose();
    if (m_everShown) storePlacement(QXAppSettings::instance());
    if (m_log) m_log->close();
    // An unattended run does not rely on its last window closing: without a display no
    // window was ever shown. Closed before the run has ended, the run has failed.
    if (QXAppSettings::instance().cmdAutoRun != 0) {
        QCoreApplication::exit(m_autoRunDone ? m_autoRunStatus : QXAutoRun::kFailed);
    }
}

void CMainFrame::showEvent(QShowEvent* event) {
    m_everShown = true;
    QMainWindow::showEvent(event);
}

void CMainFrame::onSearchCommand() {
    QXAppSettings& settings = QXAppSettings::instance();
    if (settings.cmdAutoRun == 0 || m_autoRunStarted) {
        m_view->onSearch();
        return;
    }
    m_autoRunStarted = true;
    QXAutoRun run(*this, settings);
    m_autoRunStatus = run.run();
    m_autoRunDone = true;
    close();
    QCoreApplication::exit(m_autoRunStatus);
}

// ---- window placement ----

CMainFrame::Placement CMainFrame::placementFrom(const QXGeneralSettings& settings) {
    constexpr int32_t kMaximized = QXGeneralSettings::kWindowMaximized;
    constexpr int32_t kMinimized = QXGeneralSettings::kWindowMinimized;
    const int32_t show = settings.frameWindowShow;
    const QXRect& r = settings.frameWindow;
    Placement placement;
    const bool exactState = show == kMaximized || show == kMinimized;
    if (!exactState && (r.left < 0 || r.top < 0 || r.right < 0 || r.bottom < 0)) {
        return placement;
    }
    // A missing value (-1) has every bit set; it is no stored state.
    if (show > 0 && (show & kMaximized)) {
        placement.show = Placement::kMaximized;
    } else if (show > 0 && (show & kMinimized)) {
        placement.show = Placement::kMinimized;
    }
    if (placement.show != Placement::kMaximized && r.right > r.left && r.bottom > r.top) {
        placement.useRect = true;
        placement.rect = QRect(QPoint(r.left, r.top), QSize(r.right - r.left, r.bottom - r.top));
    }
    return placement;
}

void CMainFrame::placeFromSettings(const QXGeneralSettings& settings) {
    const Placement placement = placementFrom(settings);
    if (placement.useRect) {
        // A rectangle on a screen that is no longer there would hide the window.
        bool onScreen = false;
        for (const QScreen* screen : QGuiApplication::screens()) {
            onScreen = onScreen || screen->availableGeometry().intersects(placement.rect);
        }
        if (onScreen) setGeometry(placement.rect);
    }
    switch (placement.show) {
        case Placement::kMaximized:
            showMaximized();
            break;
        case Placement::kMinimized:
            showMinimized();
            break;
        case Placement::kNormal:
            show();
            break;
    }
}

void CMainFrame::storePlacement(QXGeneralSettings& settings) const {
    const Qt::WindowStates state = windowState();
    const bool restored =
        !(state & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
    QRect r = restored ? geometry() : normalGeometry();
    if (!r.isValid()) r = geometry();
    settings.frameWindow = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    int32_t show = 0;
    if (state & Qt::WindowMinimized) {
        // A window minimized from the maximized state comes back maximized.
        show = (state & Qt::WindowMaximized) ? QXGeneralSettings::kWindowMaximized
                                             : QXGeneralSettings::kWindowMinimized;
    } else if (state & Qt::WindowMaximized) {
        show = QXGeneralSettings::kWindowMaximized;
    }
    settings.frameWindowShow = show;
}

// ---- File menu ----

void CMainFrame::onFileNew() {
    m_doc.onNewDocument();
}

void CMainFrame::onFileOpen() {
    const QString name = m_chooseFileName ? m_chooseFileName(false)
                                          : askFileName(this, false, m_doc.settingsFilePath());
    if (name.isEmpty()) return;
    openDocumentFile(QFile::encodeName(name).toStdString());
}

bool CMainFrame::openDocumentFile(const std::string& path) {
    if (m_doc.onOpenDocument(path)) {
        // A folder opens as an empty success and is no document to come back to.
        if (!isFolderPath(path) && m_recent.add(path)) recentChanged();
        return true;
    }
    // A file that could be opened but not read has emptied the document: the form
    // shows it so.
    if (m_doc.targets.empty() && m_doc.rules.empty() && m_doc.results.empty()) {
        m_view->documentReplaced();
    }
    m_prompt.messageBox(L"設定ファイルを開けませんでした。\n" + shownPath(path), L"",
                        QXIcon::Warning);
    return false;
}

void CMainFrame::onFileSave() {
    const QString name = m_chooseFileName ? m_chooseFileName(true)
                                          : askFileName(this, true, m_doc.settingsFilePath());
    if (name.isEmpty()) return;
    const std::string path = QFile::encodeName(name).toStdString();
    if (m_doc.onSaveDocument(path)) {
        if (m_recent.add(path)) recentChanged();
        return;
    }
    if (!m_doc.refusedValue().empty()) {
        m_prompt.messageBox(m_doc.refusedValue(), L"", QXIcon::Error);
    } else {
        m_prompt.messageBox(L"設定ファイルを保存できませんでした。\n" + shownPath(path), L"",
                            QXIcon::Error);
    }
}

void CMainFrame::onRecentFile(size_t index) {
    if (index >= m_recent.entries().size()) return;
    // Copied: the list changes below.
    const std::string path = m_recent.entries()[index];
    if (openDocumentFile(path)) return;
    // A document that is gone (or unreadable) leaves the list.
    if (m_recent.remove(path)) recentChanged();
}

void CMainFrame::recentChanged() {
    if (!m_recent.save(QXAppSettings::instance())) {
        QXLog::Write(L"CMainFrame : Failed to save the recent file list.");
    }
    rebuildRecentMenu();
}

void CMainFrame::rebuildRecentMenu() {
    if (!m_fileMenu || !m_recentEnd) return;
    for (QAction* action : m_recentActions) delete action;
    m_recentActions.clear();
    const auto& entries = m_recent.entries();
    if (entries.empty()) {
        auto* placeholder = new QAction(QStringLiteral("最近使ったファイル"), m_fileMenu);
        placeholder->setObjectName(QStringLiteral("cmd%1").arg(kCmdRecentFile));
        placeholder->setEnabled(false);
        m_fileMenu->insertAction(m_recentEnd, placeholder);
        m_recentActions.push_back(placeholder);
        return;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        QString shown = toQtText(shownPath(entries[i]));
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), m_fileMenu);
        action->setObjectName(QStringLiteral("cmd%1").arg(kCmdRecentFile + int(i)));
        // Run after the menu closed: opening rebuilds these very actions.
        connect(
            action, &QAction::triggered, this, [this, i] { onRecentFile(i); },
            Qt::QueuedConnection);
        m_fileMenu->insertAction(m_recentEnd, action);
        m_recentActions.push_back(action);
    }
}

void CMainFrame::onHelpIndex() {
    const std::string folder = platform::executableFolder();
    const std::string path = folder + "/" + kHelpFileName;
    if (folder.empty() || !isRegularFile(path)) {
        m_prompt.messageBox(L"ヘルプファイルが見つかりませんでした", L"", QXIcon::None);
        return;
    }
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path))));
}

void CMainFrame::onHomePage() {
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePage)));
}

void CMainFrame::onCacheClear() {
    QXCacheServer& cache = QXCacheServer::instance();
    if (m_prompt.messageBox(QXCacheServer::kClearQuestion, L"確認", QXIcon::Question,
                            QXButtons::YesNo) != QXAnswer::Yes) {
        return;
    }
    // The notice comes also when the file could not be deleted (the old one is reopened).
    cache.clear();
    m_prompt.messageBox(QXCacheServer::kClearDone, L"", QXIcon::None);
}

void CMainFrame::onCacheCompact() {
    QXCacheServer& cache = QXCacheServer::instance();
    if (m_prompt.messageBox(QXCacheServer::kCompactQuestion, L"確認", QXIcon::Question,
                            QXButtons::YesNo) != QXAnswer::Yes) {
        return;
    }
    cache.compact();
    m_prompt.messageBox(QXCacheServer::kCompactDone, L"", QXIcon::None);
}

void CMainFrame::onAbout() {
    CAboutDlg dialog(this);
    dialog.exec();
}

void CMainFrame::onLog() {
    const QString title = QString::fromLatin1(CLogFrm::kTitle);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        // A log window that was closed is hidden until its deletion runs; it does not count.
        if (window->isVisible() && window->windowTitle() == title) {
            if (window->isMinimized()) window->showNormal();
            window->raise();
            window->activateWindow();
            return;
        }
    }
    auto* log = new (std::nothrow) CLogFrm;
    if (!log) {
        m_prompt.messageBox(L"ログウィンドウの生成に失敗しました。", L"ERROR", QXIcon::Error);
        return;
    }
    connect(log, &CLogFrm::exitRequested, this, &QWidget::close);
    m_log = log;
    log->show();
}

}  // namespace quenrix
