// The main form: the target panel, the rule panel, the search buttons and the result
// list, laid out as one dialog whose lists stretch with the window. It owns the list
// widgets, the all-files list of the last enumeration and the search commands.
// User-interface thread only.
#pragma once

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "core/QXSearch.h"
#include "core/ui/QXQtProgressSink.h"
#include "doc/CQuenrixDoc.h"
#include "doc/QXRulePreset.h"

class QCheckBox;
class QComboBox;
class QListWidget;
class QTableView;

namespace quenrix {

class CRuleListCtrl;
class QXFolderHistory;
class QXPrompt;
class QXResultListModel;

class CQuenrixView : public QWidget, public QXDocumentView, private QXSearchHost {
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
    const QXSearchState& searchState() const { return m_state; }

    // The rule presets behind the プリセット selector. The view loads them from the
    // settings folder when it is made; usePresetFolder switches to (and loads) the
    // presets of another folder.
    QXRulePresets& presets() { return m_presets; }
    void usePresetFolder(const std::string& folder);

    // The design size, 432 x 368 dialog units in the form's font.
    QSize sizeHint() const override;

public slots:
    void onSearch();    // 検索, F5
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
    QTableView* m_results = nullptr;
    QXResultListModel* m_resultModel = nullptr;
    QString m_statusText;
    // Set once the form is built and has its start values; a new document before that
    // keeps them.
    bool m_formReady = false;
};

}  // namespace quenrix
