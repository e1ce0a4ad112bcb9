// The main form: the target panel, the rule panel, the search buttons and the result
// list, laid out as one dialog whose lists stretch with the window. It owns the list
// widgets, the all-files list of the last enumeration and the search commands.
// User-interface thread only.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/QXSearch.h"
#include "core/ui/QXQtProgressSink.h"
#include "doc/CQuenrixDoc.h"
#include "doc/QXRulePreset.h"
#include "tool/QXDeleteRun.h"
#include "view/QXColumns.h"
#include "view/QXCsv.h"

class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;

namespace quenrix {

class CRuleListCtrl;
class QXFileListCtrl;
class QXFolderHistory;
class QXPrompt;
class QXResultListModel;
class QXThumbnails;

class CQuenrixView : public QWidget,
                     public QXDocumentView,
                     private QXSearchHost,
                     private QXDeleteRunHost {
    Q_OBJECT
public:
    CQuenrixView(CQuenrixDoc& doc, QXFolderHistory& history, QXPrompt& prompt,
                 QWidget* parent = nullptr);
    ~CQuenrixView() override;

    // Rebuilds every panel from the document (after new/open).
    void updateFromDocument();

    // QXDocumentView: the document's requests around new, open and save.
    void storeIntoDocument() override;
    void showReadOptions() override;
    void documentEmptied() override;
    void documentReplaced() override;

    // Appends a target to the document and the target list; false for a null target.
    bool appendTarget(QXTargetPtr target);
    // Appends a rule to the document and the rule list.
    void appendRule(QXRulePtr rule);

    // The result summary last sent with statusTextChanged.
    QString statusText() const { return m_statusText; }
    QXResultListModel* resultModel() const { return m_resultModel; }
    QXFileListCtrl* resultList() const { return m_results; }
    QXThumbnails* thumbnails() const { return m_thumbnails; }
    const QXSearchState& searchState() const { return m_state; }

    // Shows records in the result list (after a search, 再検索 or an import): the rows,
    // their ticks (the default rule, or the file's own when imported), the widths of the
    // name and path columns, the status line and the extension list. duplicateSearch
    // enables the duplicate commands and the group colours.
    void showResults(const QXFileList& records, bool duplicateSearch, bool imported);
    // Whether the last search or import gave duplicate groups.
    bool duplicateSearch() const { return m_duplicateSearch; }
    // The distinct lower-case extensions of the results, in ordinal order.
    const std::vector<std::wstring>& extensions() const { return m_extensions; }

    // The column layout after the settings ("Columns", "ColumnWidth").
    void loadColumnLayout();
    // Rebuilds the list's columns from the model's layout and the remembered widths.
    void buildColumns();
    // Writes the shown columns' widths into "ColumnWidth".
    void saveColumnWidths();
    // Writes the shown columns' keys, in the header's visual order, into "Columns".
    void saveColumnOrder();
    // A click on the header section (logical index): the same section again flips the
    // direction, another one sorts ascending by it.
    void sortByColumn(int section);
    int sortSection() const { return m_sortSection; }
    bool sortAscending() const { return m_sortAscending; }
    // The header's 編集... command: the column editor, then the new layout.
    void editColumns();

    // The check commands of the リスト menu: 1 to 7, 10 + k (tick by the k-th extension)
    // and 10 + n + k (untick by it), n being the number of extensions.
    void runCheckCommand(int command);

    // ファイル > エクスポート... and インポート....
    void onExport();
    void onImport();
    // Test seams for the two file dialogs: the export's save dialog gives the file name
    // (empty for cancel); the import's open dialog gives the native path and the
    // encoding, false for cancel. By default the dialogs are shown.
    using ExportFileChooser = std::function<QString()>;
    using ImportFileChooser = std::function<bool(std::string& path, QXCsvEncoding& encoding)>;
    void setExportFileChooser(ExportFileChooser chooser) {
        m_chooseExportFile = std::move(chooser);
    }
    void setImportFileChooser(ImportFileChooser chooser) {
        m_chooseImportFile = std::move(chooser);
    }

    // The window closes: the column widths and order go into the settings.
    void aboutToClose();

    // The rule presets behind the プリセット selector. The view loads them from the
    // settings folder when it is made; usePresetFolder switches to (and loads) the
    // presets of another folder.
    QXRulePresets& presets() { return m_presets; }
    void usePresetFolder(const std::string& folder);

    // The design size, 432 x 368 dialog units in the form's font.
    QSize sizeHint() const override;

    // 実行 (button 1008): stores the chosen action as DefaultRunMode and runs it.
    void onRun();
    // Runs the action `mode` (1 to 12) on the ticked records, as 実行 and the unattended
    // run do; true when it ran to its end, cancelled or not (see QXDeleteRun).
    bool RunDelete(int32_t mode);
    // Test seams: the destination of the copy and move modes (native bytes, false for
    // cancel), and the empty-folder flow of mode 12. By default the folder chooser and
    // the flow's dialogs are shown.
    using DestinationChooser = std::function<bool(std::string& folder)>;
    using EmptyFolderRunner = std::function<bool()>;
    void setDestinationChooser(DestinationChooser chooser) {
        m_chooseDestination = std::move(chooser);
    }
    void setEmptyFolderRunner(EmptyFolderRunner runner) { m_runEmptyFolders = std::move(runner); }

    // The folders the last search could not list (a target or a folder below one).
    const std::vector<std::string>& unlistedFolders() const { return m_unlisted; }

public slots:
    // 検索, F5; true when the search ran to its end (not refused, not cancelled).
    bool onSearch();
    void onReSearch();  // 再検索, F6

signals:
    // The result summary for pane 1 of the status bar.
    void statusTextChanged(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // QXSearchHost
    void copyRuleChecks() override;
    void readOptions(bool& subfolders, bool& hidden, bool& system) override;
    int32_t readRuleOperator() override;
    void clearResultList() override;
    void runProgress(QXHandleThread& worker) override;
    void fillResultList(const QXFileList& matches, bool hasDuplicateRule) override;

    // How a control follows the form's size.
    enum Stretch {
        kFixed,
        kStretchWidth,  // width = form width - 2 x left
        kStretchBoth,   // and height = form height - top - 8
        kFollowRight,   // keeps its distance from the right edge beyond the design width
    };
    // One control of the form with its place in dialog units.
    struct Control {
        QWidget* widget;
        int left, top, width, height;
        Stretch stretch;
        QRect design;  // in pixels, widened to fit its text
    };

    template <class W>
    W* addControl(W* widget, int id, int left, int top, int width, int height,
                  Stretch stretch = kFixed);
    void buildControls();
    // Recomputes the pixel places from the font, then applies the stretching.
    void placeControls();
    void stretchControls();
    int unitsX(int units) const;
    int unitsY(int units) const;

    // Target panel.
    void onAddTarget();
    void onPasteTargets();
    void onHistory();
    void onRemoveTarget();
    void onClearTargets();
    void onIgnore();
    // Adds every path that names a folder; returns how many were added.
    int appendFolders(const std::vector<std::string>& nativePaths);
    void rebuildTargets();

    // Rule panel.
    void onAddRule();
    void addRuleOfKind(int32_t typeId);
    void onRemoveRules();
    void onClearRules();
    void onGroup(int32_t type);
    void onUngroup();
    void onRuleActivated(int row);
    // Sorts the document's rules for display and rebuilds the rows (check boxes kept).
    void redisplayRules();

    // Rule presets.
    void fillPresets();
    void onPresetChosen(int index);
    void onRegisterPreset();
    void onDeletePreset();

    void updateStatus();
    // The リスト button's menu.
    void onListMenu();
    // Column 0 and the path column wide enough for the widest name and folder.
    void fitNameColumns();
    void onHeaderMenu(const QPoint& globalPos);
    void onHeaderDragged();
    // The start values from the settings: サブフォルダも対象 and the preselected action.
    void applyStartValues();
    // Hands the cache store to the search when the cache setting is on.
    void useCacheSetting();

    CQuenrixDoc& m_doc;
    QXFolderHistory& m_history;
    QXPrompt& m_prompt;
    QXQtProgressSink m_sink;
    QXSearchState m_state;
    QXSearch m_search;
    std::vector<std::string> m_unlisted;

    std::vector<Control> m_controls;
    QSize m_designSize;

    QListWidget* m_targets = nullptr;
    QCheckBox* m_subfolders = nullptr;
    QCheckBox* m_hidden = nullptr;
    QCheckBox* m_system = nullptr;
    CRuleListCtrl* m_rules = nullptr;
    QComboBox* m_ruleOperator = nullptr;
    QComboBox* m_presetBox = nullptr;
    QXRulePresets m_presets;
    QXFileListCtrl* m_results = nullptr;
    QXResultListModel* m_resultModel = nullptr;
    QXThumbnails* m_thumbnails = nullptr;  // the サムネイル box, the slider and the worker
    QPushButton* m_listButton = nullptr;
    bool m_duplicateSearch = false;
    std::vector<std::wstring> m_extensions;
    int m_sortSection = 0;
    bool m_sortAscending = true;
    ExportFileChooser m_chooseExportFile;
    ImportFileChooser m_chooseImportFile;
    QString m_statusText;
    // Set once the form is built and has its start values; a new document before that
    // keeps them.
    bool m_formReady = false;

    // Actions: the 処理 selector and 実行.
    void setUpActions();
    // QXDeleteRunHost
    bool chooseDestination(std::string& folder) override;
    bool runProgress(QXDeleteThreadInterface& worker, int32_t mode) override;
    bool runEmptyFolders() override;
    void resultsChanged() override;

    QComboBox* m_action = nullptr;
    QXQtProgressSink m_actionSink;
    QXDeleteRun m_deleteRun;
    DestinationChooser m_chooseDestination;
    EmptyFolderRunner m_runEmptyFolders;
};

}  // namespace quenrix
