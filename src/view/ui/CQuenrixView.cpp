#include "view/ui/CQuenrixView.h"

#include <sys/stat.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QUrl>

#include <algorithm>

#include "core/QXLog.h"
#include "core/QXPrompt.h"
#include "core/ui/CRunningDlg.h"
#include "core/ui/QtText.h"
#include "digest/QXCacheServer.h"
#include "doc/CQuenrixDoc.h"
#include "doc/QXAppSettings.h"
#include "doc/QXFolderHistory.h"
#include "folder/ui/SearchEmptyFolderRun.h"
#include "platform/SpecialFolders.h"
#include "rule/QXRuleRegistry.h"
#include "rule/ui/CRuleListCtrl.h"
#include "tool/QXActionModes.h"
#include "tool/ui/CFileDeleteDlg.h"
#include "tovy/TovUtf8.h"
#include "view/QXCheckCommands.h"
#include "view/QXResultFormat.h"
#include "view/ui/CDupExtFolderDlg.h"
#include "view/ui/CExportCsvSettingDlg.h"
#include "view/ui/CInputPresetNameDlg.h"
#include "view/ui/CLabel.h"
#include "view/ui/CXFileDialog.h"
#include "view/ui/QXEditColumnDlg.h"
#include "view/ui/QXFileListCtrl.h"
#include "view/ui/QXIgnoreTargetDlg.h"
#include "view/ui/QXResultListModel.h"
#include "view/ui/QXThumbnails.h"

namespace quenrix {

namespace {

constexpr int kDesignWidth = 432;   // dialog units
constexpr int kDesignHeight = 368;  // dialog units
constexpr int kBottomMargin = 8;    // pixels below the result list

// Native path bytes as shown in a list.
QString displayPath(const std::string& nativePath) {
    return toQtText(displayText(tovy::fromUtf8(nativePath)));
}

// A path the user gave (drop, clipboard, chooser) as the bytes the file system knows.
std::string nativeFromUser(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// A folder, or a link to one (a target may be a linked folder).
bool isFolder(const std::string& nativePath) {
    struct stat st;
    return !nativePath.empty() && ::stat(nativePath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The width a control needs to show its whole text.
int textWidth(QWidget* widget) {
    const QFontMetrics fm(widget->font());
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        const QStyle* style = button->style();
        return fm.horizontalAdvance(button->text()) +
               style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
               2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button) +
               fm.averageCharWidth();
    }
    if (auto* check = qobject_cast<QCheckBox*>(widget)) return check->sizeHint().width();
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return fm.horizontalAdvance(label->text()) + 2;
    }
    return 0;
}

// The folder of the presets file: the settings folder. Fallback, while the settings
// object has settled none (it is chosen on the first run): "Quenrix" in the per-user
// configuration folder.
std::string presetFolder() {
    const std::string& folder = QXAppSettings::instance().settingsFolder();
    if (!folder.empty()) return folder;
    return platform::configFolder() + "/Quenrix";
}

}  // namespace

CQuenrixView::CQuenrixView(CQuenrixDoc& doc, QXFolderHistory& history, QXPrompt& prompt,
                           QWidget* parent)
    : QWidget(parent),
      m_doc(doc),
      m_history(history),
      m_prompt(prompt),
      m_search(doc, m_state, *this, prompt, m_sink, history),
      m_deleteRun(doc, m_state, *this, prompt, m_actionSink) {
    setAcceptDrops(true);
    buildControls();
    placeControls();
    updateFromDocument();
    usePresetFolder(presetFolder());
    setUpActions();
    applyStartValues();
    m_formReady = true;
}

CQuenrixView::~CQuenrixView() = default;

template <class W>
W* CQuenrixView::addControl(W* widget, int id, int left, int top, int width, int height,
                            Stretch stretch) {
    if (id != 0) widget->setObjectName(QStringLiteral("c%1").arg(id));
    m_controls.push_back({widget, left, top, width, height, stretch, QRect()});
    return widget;
}

void CQuenrixView::buildControls() {
    auto button = [this](int id, const char* text, int left, int top, int width,
                         bool enabled = true) {
        auto* b =
            addControl(new QPushButton(QString::fromUtf8(text), this), id, left, top, width, 20);
        b->setAutoDefault(false);
        b->setEnabled(enabled);
        return b;
    };
    auto check = [this](int id, const char* text, int left, int top, int width) {
        return addControl(new QCheckBox(QString::fromUtf8(text), this), id, left, top, width, 10);
    };
    auto caption = [this](int id, const char* text, int top) {
        addControl(new CLabel(QString::fromUtf8(text), this), id, 4, top, 19, 12, kStretchWidth);
    };

    // Targets.
    caption(1091, " 対象 ", 8);
    m_targets = addControl(new QListWidget(this), 1000, 8, 24, 252, 32);
    m_targets->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* addTarget = button(1001, "追加...", 264, 24, 48);
    auto* paste = button(1011, "貼り付け", 316, 24, 48);
    auto* historyButton = button(1089, "履歴...", 368, 24, 48);
    auto* removeTarget = button(1095, "削除", 264, 48, 48);
    auto* clearTargets = button(1096, "クリア", 316, 48, 48);
    auto* ignore = button(1090, "除外...", 368, 48, 48);
    m_subfolders = check(1002, "サブフォルダも対象", 8, 60, 66);
    m_hidden = check(1021, "隠しファイル", 76, 60, 47);
    m_system = check(1050, "システムファイル", 124, 60, 57);

    // Rules.
    caption(1092, " 条件 ", 80);
    addControl(new QLabel(QStringLiteral("プリセット:"), this), 0, 8, 103, 26, 8);
    m_presetBox = addControl(new QComboBox(this), 1071, 36, 100, 124, 12);
    auto* registerPreset = button(1072, "新規登録", 164, 96, 48);
    auto* deletePreset = button(1073, "削除", 216, 96, 48);
    auto* addRule = button(1004, "条件追加", 8, 120, 48);
    auto* removeRules = button(1006, "条件削除", 60, 120, 48);
    auto* clearRules = button(1023, "条件クリア", 112, 120, 48);
    auto* groupAnd = button(1012, "グループ化(AND)", 164, 120, 56);
    auto* groupOr = button(1013, "グループ化(OR)", 224, 120, 56);
    auto* ungroup = button(1014, "グループ解除", 284, 120, 56);
    m_rules = addControl(new CRuleListCtrl(this), 1003, 8, 144, 252, 84, kStretchWidth);
    addControl(new QLabel(QStringLiteral("条件判定:"), this), 0, 8, 235, 30, 8);
    m_ruleOperator = addControl(new QComboBox(this), 1124, 40, 232, 120, 12);
    m_ruleOperator->addItem(QStringLiteral("すべての条件が成立"));
    m_ruleOperator->addItem(QStringLiteral("どれか１つの条件が成立"));

    // Actions.
    caption(1093, " 処理 ", 252);
    auto* search = button(1009, "検索", 8, 268, 40);
    auto* reSearch = button(1010, "再検索", 52, 268, 40);
    m_listButton = button(1007, "リスト", 96, 268, 40);
    auto* action = addControl(new QComboBox(this), 1135, 140, 272, 94, 12);
    action->setEnabled(false);
    button(1008, "実行", 240, 268, 40, false);
    auto* thumbnails = check(1129, "サムネイル", 285, 272, 44);
    m_controls.back().stretch = kFollowRight;
    auto* slider =
        addControl(new QSlider(Qt::Horizontal, this), 1128, 325, 266, 100, 20, kFollowRight);

    m_resultModel = new QXResultListModel(m_doc, this);
    m_results = addControl(new QXFileListCtrl(this), 1005, 8, 291, 307, 53, kStretchBoth);
    m_results->setResultModel(m_resultModel);
    m_results->setShowGrid(QXAppSettings::instance().showGrid != 0);
    loadColumnLayout();
    // After the columns: the thumbnail column gets its width from the layout.
    m_thumbnails = new QXThumbnails(*m_results, *m_resultModel, *thumbnails, *slider, this);

    connect(addTarget, &QPushButton::clicked, this, &CQuenrixView::onAddTarget);
    connect(paste, &QPushButton::clicked, this, &CQuenrixView::onPasteTargets);
    connect(historyButton, &QPushButton::clicked, this, &CQuenrixView::onHistory);
    connect(removeTarget, &QPushButton::clicked, this, &CQuenrixView::onRemoveTarget);
    connect(clearTargets, &QPushButton::clicked, this, &CQuenrixView::onClearTargets);
    connect(ignore, &QPushButton::clicked, this, &CQuenrixView::onIgnore);
    connect(m_subfolders, &QCheckBox::toggled, this,
            [this](bool on) { m_doc.includeSubfolders = on; });
    connect(m_hidden, &QCheckBox::toggled, this, [this](bool on) { m_doc.includeHidden = on; });
    connect(m_system, &QCheckBox::toggled, this, [this](bool on) { m_doc.includeSystem = on; });

    connect(m_presetBox, &QComboBox::activated, this, &CQuenrixView::onPresetChosen);
    connect(registerPreset, &QPushButton::clicked, this, &CQuenrixView::onRegisterPreset);
    connect(deletePreset, &QPushButton::clicked, this, &CQuenrixView::onDeletePreset);
    connect(addRule, &QPushButton::clicked, this, &CQuenrixView::onAddRule);
    connect(removeRules, &QPushButton::clicked, this, &CQuenrixView::onRemoveRules);
    connect(clearRules, &QPushButton::clicked, this, &CQuenrixView::onClearRules);
    connect(groupAnd, &QPushButton::clicked, this, [this] { onGroup(QXRuleGroup::kAnd); });
    connect(groupOr, &QPushButton::clicked, this, [this] { onGroup(QXRuleGroup::kOr); });
    connect(ungroup, &QPushButton::clicked, this, &CQuenrixView::onUngroup);
    connect(m_rules, &CRuleListCtrl::ruleActivated, this, &CQuenrixView::onRuleActivated);
    connect(m_ruleOperator, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) m_doc.ruleOperator = index;
    });

    connect(search, &QPushButton::clicked, this, &CQuenrixView::onSearch);
    connect(reSearch, &QPushButton::clicked, this, &CQuenrixView::onReSearch);
    connect(m_resultModel, &QXResultListModel::ticksChanged, this, &CQuenrixView::updateStatus);
    connect(m_listButton, &QPushButton::clicked, this, &CQuenrixView::onListMenu);
    connect(m_results, &QXFileListCtrl::headerClicked, this, &CQuenrixView::sortByColumn);
    connect(m_results, &QXFileListCtrl::headerDragged, this, &CQuenrixView::onHeaderDragged);
    connect(m_results, &QXFileListCtrl::headerMenuRequested, this, &CQuenrixView::onHeaderMenu);
}

// Dialog units: a horizontal unit is a quarter of the average character width, a
// vertical unit an eighth of the font height.
int CQuenrixView::unitsX(int units) const {
    return (units * QFontMetrics(font()).averageCharWidth() + 2) / 4;
}

int CQuenrixView::unitsY(int units) const {
    return (units * QFontMetrics(font()).height() + 4) / 8;
}

QSize CQuenrixView::sizeHint() const {
    return m_designSize;
}

void CQuenrixView::placeControls() {
    m_designSize = QSize(unitsX(kDesignWidth), unitsY(kDesignHeight));
    const int maxGap = unitsX(4);
    for (size_t i = 0; i < m_controls.size(); ++i) {
        Control& c = m_controls[i];
        // A text never gets cut: the control grows to the right instead.
        const int text = textWidth(c.widget);
        int height = unitsY(c.height);
        if (qobject_cast<QComboBox*>(c.widget)) {
            height = std::max(height, c.widget->sizeHint().height());
        }
        QRect r(unitsX(c.left), unitsY(c.top), std::max(unitsX(c.width), text), height);
        // A neighbour on the left that grew would cover this control. One with a text of
        // its own moves right; one without gives up width on its left instead.
        for (size_t j = 0; j < i; ++j) {
            const Control& left = m_controls[j];
            if (left.stretch == kStretchWidth || left.stretch == kStretchBoth) continue;
            if (left.left >= c.left || left.design.bottom() < r.top() ||
                left.design.top() > r.bottom()) {
                continue;
            }
            const int gap = std::clamp(unitsX(c.left) - unitsX(left.left + left.width), 0, maxGap);
            const int shift = left.design.right() + 1 + gap - r.left();
            if (shift <= 0) continue;
            if (text > 0) {
                r.translate(shift, 0);
            } else {
                r.setLeft(r.left() + std::min(shift, r.width() / 2));
            }
        }
        c.design = r;
    }
    updateGeometry();
    stretchControls();
}

void CQuenrixView::stretchControls() {
    const int w = width();
    const int h = height();
    for (const auto& c : m_controls) {
        QRect r = c.design;
        switch (c.stretch) {
            case kFixed:
                break;
            case kStretchWidth:
                r.setWidth(std::max(0, w - 2 * r.left()));
                break;
            case kStretchBoth:
                r.setWidth(std::max(0, w - 2 * r.left()));
                r.setHeight(std::max(0, h - r.top() - kBottomMargin));
                break;
            case kFollowRight:
                if (w > m_designSize.width()) r.moveLeft(r.left() + w - m_designSize.width());
                break;
        }
        c.widget->setGeometry(r);
    }
}

void CQuenrixView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    stretchControls();
}

void CQuenrixView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && !m_controls.empty()) placeControls();
}

void CQuenrixView::updateFromDocument() {
    rebuildTargets();
    m_subfolders->setChecked(m_doc.includeSubfolders);
    m_hidden->setChecked(m_doc.includeHidden);
    m_system->setChecked(m_doc.includeSystem);
    m_ruleOperator->setCurrentIndex(m_doc.ruleOperator == CQuenrixDoc::kRuleOr ? 1 : 0);
    sortForDisplay(m_doc.rules);
    m_rules->setRules(m_doc.rules);
    m_resultModel->reload();
    m_extensions = extensionList(m_doc.results);
}

void CQuenrixView::applyStartValues() {
    const QXAppSettings& settings = QXAppSettings::instance();
    // The box writes the document's option as it changes.
    m_subfolders->setChecked(settings.checkSubFolder == 1);
    auto* action = findChild<QComboBox*>(QStringLiteral("c1135"));
    const int index = settings.defaultRunMode - 1;
    if (action && index >= 0 && index < action->count()) action->setCurrentIndex(index);
}

void CQuenrixView::storeIntoDocument() {
    m_rules->copyChecks();
    readOptions(m_doc.includeSubfolders, m_doc.includeHidden, m_doc.includeSystem);
    m_doc.ruleOperator = readRuleOperator();
}

void CQuenrixView::showReadOptions() {
    m_subfolders->setChecked(m_doc.includeSubfolders);
    m_hidden->setChecked(m_doc.includeHidden);
    m_system->setChecked(m_doc.includeSystem);
    m_ruleOperator->setCurrentIndex(m_doc.ruleOperator == CQuenrixDoc::kRuleOr ? 1 : 0);
}

void CQuenrixView::documentEmptied() {
    if (!m_formReady) return;
    m_subfolders->setChecked(false);
    m_hidden->setChecked(false);
    m_system->setChecked(false);
    rebuildTargets();
}

void CQuenrixView::documentReplaced() {
    fillPresets();
    updateFromDocument();
    m_resultModel->clear();
    m_extensions.clear();
    m_duplicateSearch = false;
    m_resultModel->setGroupColouring(false);
    updateStatus();
}

// ---- targets ----

bool CQuenrixView::appendTarget(QXTargetPtr target) {
    if (!target) return false;
    m_targets->addItem(displayPath(target->path));
    m_doc.targets.push_back(std::move(target));
    return true;
}

void CQuenrixView::rebuildTargets() {
    m_targets->clear();
    for (const auto& target : m_doc.targets) m_targets->addItem(displayPath(target->path));
}

int CQuenrixView::appendFolders(const std::vector<std::string>& nativePaths) {
    int added = 0;
    for (const auto& path : nativePaths) {
        if (isFolder(path) && appendTarget(QXTarget::fromPath(path))) ++added;
    }
    return added;
}

void CQuenrixView::onAddTarget() {
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("フォルダを選択してください"), QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return;
    appendTarget(QXTarget::fromPath(nativeFromUser(folder)));
}

void CQuenrixView::onPasteTargets() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime) return;
    std::vector<std::string> paths;
    if (mime->hasUrls()) {
        for (const QUrl& url : mime->urls()) {
            if (url.isLocalFile()) paths.push_back(nativeFromUser(url.toLocalFile()));
        }
    } else if (mime->hasText()) {
        QString text = mime->text();
        while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r'))) text.chop(1);
        paths.push_back(nativeFromUser(text));
    }
    appendFolders(paths);
}

void CQuenrixView::onHistory() {
    const auto& entries = m_history.entries();
    if (entries.empty()) return;
    QMenu menu(this);
    for (size_t i = 0; i < entries.size(); ++i) {
        QAction* action =
            menu.addAction(QStringLiteral("%1 %2").arg(i + 1).arg(displayPath(entries[i])));
        action->setData(qulonglong(i));
    }
    QAction* chosen = menu.exec(QCursor::pos());
    if (!chosen) return;
    const size_t index = chosen->data().toULongLong();
    // The menu ran an event loop: look the entry up again rather than keep a reference.
    if (index < m_history.entries().size()) {
        appendTarget(QXTarget::fromPath(m_history.entries()[index]));
    }
}

void CQuenrixView::onRemoveTarget() {
    const int row = m_targets->currentRow();
    if (row < 0 || size_t(row) >= m_doc.targets.size() || !m_targets->item(row)->isSelected()) {
        return;
    }
    m_doc.targets.erase(m_doc.targets.begin() + row);
    delete m_targets->takeItem(row);
    if (m_targets->count() > 0) m_targets->setCurrentRow(std::min(row, m_targets->count() - 1));
}

void CQuenrixView::onClearTargets() {
    m_doc.targets.clear();
    m_targets->clear();
}

void CQuenrixView::onIgnore() {
    QXIgnoreTargetDlg dlg(m_doc.ignoreList, this);
    if (dlg.exec() == QDialog::Accepted) m_doc.ignoreList = dlg.patterns();
}

void CQuenrixView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) {
        event->acceptProposedAction();
    }
}

void CQuenrixView::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasFormat(QStringLiteral("text/uri-list"))) {
        event->acceptProposedAction();
    }
}

void CQuenrixView::dropEvent(QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    if (!mime->hasUrls()) return;
    std::vector<std::string> paths;
    for (const QUrl& url : mime->urls()) {
        // toLocalFile gives the percent-decoded path; encodeName restores its bytes.
        if (url.isLocalFile()) paths.push_back(nativeFromUser(url.toLocalFile()));
    }
    appendFolders(paths);
    event->acceptProposedAction();
}

// ---- rules ----

void CQuenrixView::appendRule(QXRulePtr rule) {
    if (!rule) return;
    m_rules->copyChecks();
    m_doc.rules.push_back(std::move(rule));
    redisplayRules();
}

void CQuenrixView::redisplayRules() {
    m_rules->copyChecks();
    sortForDisplay(m_doc.rules);
    m_rules->setRules(m_doc.rules);
}

// ---- rule presets ----

void CQuenrixView::usePresetFolder(const std::string& folder) {
    m_presets = QXRulePresets(folder);
    m_presets.load();
    fillPresets();
}

// The selector lists the names sorted; the file keeps registration order.
void CQuenrixView::fillPresets() {
    QStringList names;
    for (const auto& preset : m_presets.list()) names.push_back(toQtText(preset->name));
    names.sort();
    m_presetBox->clear();
    m_presetBox->addItems(names);
    m_presetBox->setCurrentIndex(-1);
}

void CQuenrixView::onPresetChosen(int index) {
    if (index < 0) return;
    QXRulePresetPtr preset = m_presets.find(m_presetBox->itemText(index).toStdWString());
    if (!preset) return;
    QXRulePresets::applyTo(*preset, m_doc.rules);
    m_doc.ruleOperator =
        preset->ruleOpe == CQuenrixDoc::kRuleOr ? CQuenrixDoc::kRuleOr : CQuenrixDoc::kRuleAnd;
    m_ruleOperator->setCurrentIndex(m_doc.ruleOperator);
    // The rows show the old rules, whose check boxes no longer matter.
    sortForDisplay(m_doc.rules);
    m_rules->setRules(m_doc.rules);
}

void CQuenrixView::onRegisterPreset() {
    if (m_doc.rules.empty()) return;
    std::wstring name;
    for (;;) {
        CInputPresetNameDlg dlg(this);
        if (dlg.exec() != QDialog::Accepted) return;
        name = dlg.name();
        if (name.find_first_of(L"\r\n") != std::wstring::npos) {
            m_prompt.messageBox(L"プリセット名に改行は使えません。", L"INFO", QXIcon::Information);
            continue;
        }
        if (m_presets.find(name)) {
            m_prompt.messageBox(L"そのプリセット名はすでに使われています", L"INFO",
                                QXIcon::Information);
            continue;
        }
        break;
    }
    m_rules->copyChecks();
    QXRulePresetPtr preset = QXRulePresets::make(name, readRuleOperator(), m_doc.rules);
    // A line break inside a rule's text would split the presets file's lines.
    if (auto text = QXRulePresets::lineBreakIn(*preset)) {
        m_prompt.messageBox(L"改行を含む条件はプリセットに登録できません。\n" + *text, L"INFO",
                            QXIcon::Warning);
        return;
    }
    m_presets.append(preset);
    if (!m_presets.save()) {
        QXLog::Write(L"CQuenrixView : registerPreset : Failed to save presets. (%s)",
                     tovy::fromUtf8(m_presets.filePath()).c_str());
    }
    const QString item = toQtText(name);
    int row = 0;
    while (row < m_presetBox->count() && m_presetBox->itemText(row) < item) ++row;
    m_presetBox->insertItem(row, item);
    m_presetBox->setCurrentIndex(row);
    m_prompt.messageBox(L"プリセット「" + name + L"」を登録しました。", L"INFO",
                        QXIcon::Information);
}

void CQuenrixView::onDeletePreset() {
    const int row = m_presetBox->currentIndex();
    if (row < 0) return;
    const std::wstring name = m_presetBox->itemText(row).toStdWString();
    if (m_prompt.messageBox(L"プリセット「" + name + L"」を削除してもよろしいですか？", L"INFO",
                            QXIcon::Question, QXButtons::YesNo) != QXAnswer::Yes) {
        return;
    }
    m_presets.remove(name);
    if (!m_presets.save()) {
        QXLog::Write(L"CQuenrixView : deletePreset : Failed to save presets. (%s)",
                     tovy::fromUtf8(m_presets.filePath()).c_str());
    }
    m_presetBox->removeItem(row);
    m_prompt.messageBox(L"プリセット「" + name + L"」を削除しました。", L"INFO",
                        QXIcon::Information);
}

void CQuenrixView::onAddRule() {
    QMenu menu(this);
    for (int32_t id = 0; id < ruletype::kCount; ++id) {
        const QXRuleKind* kind = ruleKind(id);
        QAction* action = menu.addAction(toQtText(kind->menuLabel));
        action->setData(id);
        action->setEnabled(kind->create != nullptr);
    }
    QAction* chosen = menu.exec(QCursor::pos());
    if (chosen) addRuleOfKind(chosen->data().toInt());
}

void CQuenrixView::addRuleOfKind(int32_t typeId) {
    QXRulePtr rule = createRule(typeId);
    if (!rule) return;
    // The archive check has no settings to ask for.
    if (typeId != ruletype::kCheckArchive && !rule->edit(static_cast<QWidget*>(this))) return;
    appendRule(std::move(rule));
}

void CQuenrixView::onRemoveRules() {
    m_rules->copyChecks();
    const QXRuleList selected = m_rules->selectedRules();
    if (selected.empty()) return;
    std::erase_if(m_doc.rules, [&](const QXRulePtr& rule) {
        return std::find(selected.begin(), selected.end(), rule) != selected.end();
    });
    redisplayRules();
}

void CQuenrixView::onClearRules() {
    m_doc.rules.clear();
    m_rules->setRules(m_doc.rules);
}

void CQuenrixView::onGroup(int32_t type) {
    const QXRuleList selected = m_rules->selectedRules();
    if (selected.empty()) return;
    groupRules(selected, type);
    redisplayRules();
}

void CQuenrixView::onUngroup() {
    const QXRuleList selected = m_rules->selectedRules();
    if (selected.empty()) return;
    ungroupRules(selected);
    redisplayRules();
}

void CQuenrixView::onRuleActivated(int row) {
    QXRulePtr rule = m_rules->ruleAt(row);
    if (!rule) return;
    m_rules->copyChecks();
    if (rule->edit(static_cast<QWidget*>(this))) m_rules->refreshRow(row);
}

// ---- search ----

void CQuenrixView::useCacheSetting() {
    QXCacheServer& cache = QXCacheServer::instance();
    // The command line's /Cache switches the cache on for this run.
    const QXAppSettings& settings = QXAppSettings::instance();
    const bool wanted = settings.cache != 0 || settings.cmdCache != 0;
    m_search.setCache(wanted && cache.isOpen() ? &cache : nullptr);
}

bool CQuenrixView::onSearch() {
    useCacheSetting();
    m_unlisted.clear();
    return m_search.search();
}

void CQuenrixView::onReSearch() {
    useCacheSetting();
    m_search.reSearch();
}

void CQuenrixView::copyRuleChecks() {
    m_rules->copyChecks();
}

void CQuenrixView::readOptions(bool& subfolders, bool& hidden, bool& system) {
    subfolders = m_subfolders->isChecked();
    hidden = m_hidden->isChecked();
    system = m_system->isChecked();
}

int32_t CQuenrixView::readRuleOperator() {
    return m_ruleOperator->currentIndex() == 1 ? CQuenrixDoc::kRuleOr : CQuenrixDoc::kRuleAnd;
}

void CQuenrixView::clearResultList() {
    m_resultModel->clear();
}

void CQuenrixView::runProgress(QXHandleThread& worker) {
    CRunningDlg dlg(worker, m_sink, this);
    dlg.exec();
    m_unlisted = worker.unlistedFolders();
}

void CQuenrixView::fillResultList(const QXFileList& matches, bool hasDuplicateRule) {
    showResults(matches, hasDuplicateRule, false);
}

void CQuenrixView::showResults(const QXFileList& records, bool duplicateSearch, bool imported) {
    m_duplicateSearch = duplicateSearch;
    m_resultModel->setGroupColouring(duplicateSearch);
    m_results->setUpdatesEnabled(false);
    m_resultModel->fill(records, imported);
    // The rows are in group and name order now, whatever the header showed.
    m_results->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    fitNameColumns();
    m_results->setUpdatesEnabled(true);
    m_extensions = extensionList(m_doc.results);
    updateStatus();
    if (records.empty() && !imported) {
        if (QXAppSettings::instance().cmdAutoDel == 0) {
            m_prompt.messageBox(L"ファイルが見つかりませんでした。", L"Information",
                                QXIcon::Information, QXButtons::Ok);
        }
        QXLog::Write(L"削除対象のファイルは見つかりませんでした");
    }
}

void CQuenrixView::fitNameColumns() {
    const int nameColumn = m_resultModel->columnOfType(kColFileName);
    const int pathColumn = m_resultModel->columnOfType(kColPath);
    if (nameColumn < 0 && pathColumn < 0) return;
    // Measuring every text of a million rows would take seconds: the texts likely to be
    // widest (by a width estimate that counts wide characters twice) are measured.
    constexpr size_t kMeasured = 32;
    auto estimate = [](std::wstring_view text) {
        size_t units = 0;
        for (wchar_t c : text) units += c >= 0x1100 ? 2 : 1;
        return units;
    };
    using Candidate = std::pair<size_t, std::wstring>;
    auto keep = [](std::vector<Candidate>& best, size_t weight, std::wstring text) {
        auto smaller = [](const Candidate& a, const Candidate& b) { return a.first > b.first; };
        if (best.size() < kMeasured) {
            best.emplace_back(weight, std::move(text));
            std::push_heap(best.begin(), best.end(), smaller);
        } else if (weight > best.front().first) {
            std::pop_heap(best.begin(), best.end(), smaller);
            best.back() = {weight, std::move(text)};
            std::push_heap(best.begin(), best.end(), smaller);
        }
    };
    std::vector<Candidate> names;
    std::vector<Candidate> folders;
    for (const auto& file : m_doc.results) {
        std::wstring name = file->fileName();
        const size_t nameWeight = estimate(name);
        keep(names, nameWeight, std::move(name));
        std::wstring path = file->fullPath().substr(0, 255);
        const size_t slash = path.rfind(L'/');
        path.resize(slash == std::wstring::npos ? 0 : slash);
        const size_t pathWeight = estimate(path);
        keep(folders, pathWeight, std::move(path));
    }
    const QFontMetrics fm(m_results->font());
    auto widest = [&fm](const std::vector<Candidate>& texts) {
        int width = 0;
        for (const auto& [weight, text] : texts) {
            width = std::max(width, fm.horizontalAdvance(toQtText(displayText(text))));
        }
        return width;
    };
    // The cell's own margins and, in the first column, its check box and icon.
    auto extra = [this](int column) {
        int margin = 2 * (m_results->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
        if (column == 0 && m_resultModel->rowCount() > 0) margin += m_results->checkArea(0).width();
        return margin;
    };
    if (nameColumn >= 0 && !m_doc.results.empty()) {
        m_results->setColumnWidth(nameColumn, widest(names) + 10 + extra(nameColumn));
    }
    if (pathColumn >= 0 && !m_doc.results.empty()) {
        m_results->setColumnWidth(pathColumn, widest(folders) + 10 + extra(pathColumn));
    }
}

void CQuenrixView::updateStatus() {
    m_statusText = toQtText(formatStatusLine(m_state.totalCount, size_t(m_resultModel->rowCount()),
                                             m_resultModel->ticks(),
                                             QXAppSettings::instance().showTotalFileSize != 0));
    emit statusTextChanged(m_statusText);
}

// ---- columns ----

void CQuenrixView::loadColumnLayout() {
    m_resultModel->setLayout(parseColumnLayout(QXAppSettings::instance().columns));
    buildColumns();
}

void CQuenrixView::buildColumns() {
    // The columns come back in layout order: whatever the user dragged is in the layout.
    m_results->restoreLogicalOrder();
    const QXColumnWidths widths = parseColumnWidths(QXAppSettings::instance().columnWidth);
    const QFontMetrics fm(m_results->font());
    const QXColumnLayout& layout = m_resultModel->layout();
    for (size_t j = 0; j < layout.size(); ++j) {
        const int32_t type = layout[j];
        int width = type >= 0 && type < kShownColumnTypes ? widths[size_t(type)] : -1;
        if (width == -1) {
            const std::wstring_view sample = columnWidthSample(type);
            width = sample.empty() ? 100 : fm.horizontalAdvance(toQtText(sample)) + 10;
        }
        m_results->setColumnWidth(int(j), std::max(width, 0));
    }
}

void CQuenrixView::saveColumnWidths() {
    QXAppSettings& settings = QXAppSettings::instance();
    QXColumnWidths widths = parseColumnWidths(settings.columnWidth);
    const QXColumnLayout& layout = m_resultModel->layout();
    for (size_t j = 0; j < layout.size(); ++j) {
        const int32_t type = layout[j];
        if (type >= 0 && type < kShownColumnTypes) {
            widths[size_t(type)] = m_results->columnWidth(int(j));
        }
    }
    settings.columnWidth = formatColumnWidths(widths);
}

void CQuenrixView::saveColumnOrder() {
    const QHeaderView* header = m_results->horizontalHeader();
    const QXColumnLayout& layout = m_resultModel->layout();
    QXColumnLayout ordered;
    for (int visual = 0; visual < int(layout.size()); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical >= 0 && logical < int(layout.size()))
            ordered.push_back(layout[size_t(logical)]);
    }
    QXAppSettings::instance().columns = formatColumnLayout(ordered);
}

void CQuenrixView::onHeaderDragged() {
    saveColumnWidths();
    saveColumnOrder();
    loadColumnLayout();
}

void CQuenrixView::aboutToClose() {
    // The worker ends before the widths are saved (it finishes the picture it is on).
    m_thumbnails->stop();
    saveColumnWidths();
    saveColumnOrder();
}

void CQuenrixView::sortByColumn(int section) {
    const QXColumnLayout& layout = m_resultModel->layout();
    if (section < 0 || section >= int(layout.size())) return;
    if (section == m_sortSection) {
        m_sortAscending = !m_sortAscending;
    } else {
        m_sortSection = section;
        m_sortAscending = true;
    }
    m_resultModel->sortBy(layout[size_t(section)], m_sortAscending);
    m_results->horizontalHeader()->setSortIndicator(
        section, m_sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
    m_results->viewport()->update();
}

void CQuenrixView::onHeaderMenu(const QPoint& globalPos) {
    QMenu menu(this);
    QAction* edit = menu.addAction(QStringLiteral("編集..."));
    if (menu.exec(globalPos) == edit) editColumns();
}

void CQuenrixView::editColumns() {
    QXEditColumnDlg dlg(m_resultModel->layout(), this);
    if (dlg.exec() != QDialog::Accepted) return;
    saveColumnWidths();
    m_resultModel->setLayout(dlg.layout());
    buildColumns();
}

// ---- check commands ----

namespace {

enum CheckCommand {
    kCheckAll = 1,
    kUncheckAll = 2,
    kCheckSelected = 3,
    kUncheckSelected = 4,
    kKeepNewest = 5,
    kKeepOldest = 6,
    kFolderPriority = 7,
    kByExtension = 10,
};

}  // namespace

void CQuenrixView::onListMenu() {
    QMenu menu(this);
    auto add = [](QMenu& into, const char* text, int command, bool enabled = true) {
        QAction* action = into.addAction(QString::fromUtf8(text));
        action->setData(command);
        action->setEnabled(enabled);
    };
    add(menu, "全てチェックする", kCheckAll);
    add(menu, "全てチェックをはずす", kUncheckAll);
    menu.addSeparator();
    add(menu, "選択されたファイルをチェックする", kCheckSelected);
    add(menu, "選択されたファイルのチェックをはずす", kUncheckSelected);
    menu.addSeparator();
    add(menu, "重複：最も新しいファイルを残す", kKeepNewest, m_duplicateSearch);
    add(menu, "重複：最も古いファイルを残す", kKeepOldest, m_duplicateSearch);
    add(menu, "重複拡張：優先するフォルダを指定...", kFolderPriority, m_duplicateSearch);
    if (!m_extensions.empty()) {
        menu.addSeparator();
        const int n = int(m_extensions.size());
        QMenu* check = menu.addMenu(QStringLiteral("拡張子でチェックする"));
        QMenu* uncheck = menu.addMenu(QStringLiteral("拡張子でチェックをはずす"));
        for (int k = 0; k < n; ++k) {
            const QString ext = toQtText(displayText(m_extensions[size_t(k)]));
            check->addAction(ext)->setData(kByExtension + k);
            uncheck->addAction(ext)->setData(kByExtension + n + k);
        }
    }
    QAction* chosen = menu.exec(QCursor::pos());
    if (chosen && chosen->data().isValid()) runCheckCommand(chosen->data().toInt());
}

void CQuenrixView::runCheckCommand(int command) {
    QXFileList& files = m_doc.results;
    const int n = int(m_extensions.size());
    switch (command) {
        case kCheckAll:
            checkAll(files);
            break;
        case kUncheckAll:
            uncheckAll(files);
            break;
        case kCheckSelected:
        case kUncheckSelected:
            checkRows(files, m_results->selectedRows(), command == kCheckSelected);
            break;
        case kKeepNewest:
        case kKeepOldest:
            if (!m_duplicateSearch) return;
            keepByDate(files, command == kKeepNewest);
            break;
        case kFolderPriority: {
            if (!m_duplicateSearch) return;
            std::vector<std::string> targets;
            for (const auto& target : m_doc.targets) targets.push_back(target->path);
            CDupExtFolderDlg dlg(std::move(targets), this);
            if (dlg.exec() != QDialog::Accepted) return;
            applyFolderPriority(files, dlg.priority());
            break;
        }
        default:
            if (command >= kByExtension && command < kByExtension + 2 * n) {
                const int k = command - kByExtension;
                checkByExtension(files, m_extensions[size_t(k % n)], k < n);
                break;
            }
            return;
    }
    m_resultModel->refreshChecks();
    m_results->viewport()->update();
}

// ---- CSV ----

void CQuenrixView::onExport() {
    if (m_doc.results.empty()) return;
    CExportCsvSettingDlg settingsDlg(this);
    if (settingsDlg.exec() != QDialog::Accepted) return;
    const QXCsvExportSettings settings = settingsDlg.settings();

    QString name;
    if (m_chooseExportFile) {
        name = m_chooseExportFile();
    } else {
        QFileDialog dlg(this, QStringLiteral("エクスポート先を指定してください"));
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setNameFilters({QStringLiteral("csv(*.csv)"), QStringLiteral("all(*.*)")});
        dlg.setDefaultSuffix(QStringLiteral("csv"));
        if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty()) {
            name = dlg.selectedFiles().front();
        }
    }
    if (name.isEmpty()) return;
    const QXCsvExportResult result = exportCsv(nativeFromUser(name), m_doc.results, settings);
    if (!result.ok) {
        const std::wstring text =
            result.message.empty() ? L"ファイルの書き込みに失敗しました。" : result.message;
        m_prompt.messageBox(text, L"Error", QXIcon::Error);
    }
}

void CQuenrixView::onImport() {
    std::string path;
    QXCsvEncoding encoding = CXFileDialog::lastEncoding();
    const bool chosen = m_chooseImportFile ? m_chooseImportFile(path, encoding)
                                           : CXFileDialog::getOpenFileName(this, path, encoding);
    if (!chosen || path.empty()) return;
    QXCsvImportResult result = importCsv(path, encoding);
    switch (result.status) {
        case QXCsvImportResult::kOk:
            break;
        case QXCsvImportResult::kEmpty:
            m_prompt.messageBox(L"ファイルが空です。", L"", QXIcon::Error);
            return;
        case QXCsvImportResult::kNoMemory:
            m_prompt.messageBox(L"メモリが足りません", L"", QXIcon::Error);
            return;
        case QXCsvImportResult::kReadError:
            m_prompt.messageBox(
                L"ファイルを読み込めませんでした。\n" + displayText(tovy::fromUtf8(path)), L"",
                QXIcon::Error);
            return;
    }
    showResults(result.records, result.duplicateSearch, true);
}

// ---- actions ----

void CQuenrixView::setUpActions() {
    m_action = findChild<QComboBox*>(QStringLiteral("c1135"));
    auto* run = findChild<QPushButton*>(QStringLiteral("c1008"));
    for (int32_t mode = 1; mode <= kActionModeCount; ++mode) {
        m_action->addItem(QString::fromWCharArray(actionMode(mode)->label));
    }
    m_action->setEnabled(true);
    run->setEnabled(true);
    connect(run, &QPushButton::clicked, this, &CQuenrixView::onRun);
}

void CQuenrixView::onRun() {
    const int index = m_action->currentIndex();
    if (index < 0) return;
    QXAppSettings::instance().defaultRunMode = index + 1;
    RunDelete(index + 1);
}

bool CQuenrixView::RunDelete(int32_t mode) {
    return m_deleteRun.RunDelete(mode);
}

bool CQuenrixView::chooseDestination(std::string& folder) {
    if (m_chooseDestination) return m_chooseDestination(folder);
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("フォルダを選択してください"), QString(), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty()) return false;
    folder = nativeFromUser(chosen);
    return true;
}

bool CQuenrixView::runProgress(QXDeleteThreadInterface& worker, int32_t mode) {
    CFileDeleteDlg dlg(worker, m_actionSink, mode, m_prompt, this);
    return dlg.exec() == QDialog::Accepted || dlg.done();
}

bool CQuenrixView::runEmptyFolders() {
    if (m_runEmptyFolders) return m_runEmptyFolders();
    std::vector<std::string> targets;
    for (const auto& target : m_doc.targets) targets.push_back(target->path);
    return runEmptyFolderJob(this, targets, m_prompt);
}

void CQuenrixView::resultsChanged() {
    // The list keeps its scroll position where the rows it showed are still there.
    const int scrolled = m_results->verticalScrollBar()->value();
    m_resultModel->reload();
    m_results->verticalScrollBar()->setValue(scrolled);
    m_extensions = extensionList(m_doc.results);
    updateStatus();
}

}  // namespace quenrix
