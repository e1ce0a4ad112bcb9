// The search settings the user edits: targets, ignore patterns, the three search options,
// the rules and the rule operator, and the records of the last result. Saved and opened
// as a document ("設定ファイル"). User-interface thread only; a search works on copies.
//
// A document file is a cst file (tovy/TovCstReader.h) with the header
// "qnrx0101txt 03  " and the sections Target, Rules (one Rule section per rule) and
// SearchEmptyFolder (the two lists of the empty-folder search, which are application
// settings; the document carries a copy of them). Files are replaced atomically, so a
// failed save leaves the previous file as it was. Documents of version 1.00 and 1.01 are
// read, in encoding 03 (UTF-8, escaped values) and 00 (Shift_JIS, plain values).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/QXFileInfo.h"
#include "core/QXTarget.h"
#include "rule/QXRule.h"

namespace quenrix {

// What the main form does when the document asks it to (the view updates). Every
// operation has an empty default, so a document without a form works on its own.
class QXDocumentView {
public:
    virtual ~QXDocumentView() = default;
    // Before a save: the form stores its check marks and selections into the document
    // (the three options, the rule operator, each rule row's check into the rule's
    // enabled flag).
    virtual void storeIntoDocument() {}
    // After an open: the form shows the three options and the rule operator read.
    virtual void showReadOptions() {}
    // After new: the form unticks the three options and refreshes its target list.
    virtual void documentEmptied() {}
    // After new or a successful open: the form rebuilds every panel from the document
    // (presets, targets, options, rules) and empties the result list.
    virtual void documentReplaced() {}
};

class CQuenrixDoc {
public:
    static constexpr int32_t kRuleAnd = 0;  // "すべての条件が成立"
    static constexpr int32_t kRuleOr = 1;   // "どれか１つの条件が成立"

    // Empties every list and switches the options off (a new document).
    void clear();

    // The main form, or null.
    void setView(QXDocumentView* view) { m_view = view; }

    // 新規: empties the document, then documentEmptied() and documentReplaced().
    bool onNewDocument();
    // Opens the document file at path (native bytes). False when the path does not
    // exist or the file cannot be read (logged; from the point the file could be opened
    // the previous content is gone). A folder gives true and changes nothing. A header
    // that is not accepted gives an empty document and true. On success the settings
    // file path is the path, targets whose folder no longer exists are left out, and
    // the empty-folder lists of the application settings are replaced when the file
    // holds them.
    bool onOpenDocument(const std::string& path);
    // Writes the document to path, replacing the file atomically. False when the file
    // cannot be written (logged) or when a value would hold a line break; then
    // refusedValue() names that value and nothing is written.
    bool onSaveDocument(const std::string& path);

    // The message for the user when the last save was refused for a value holding a
    // line break; empty otherwise.
    const std::wstring& refusedValue() const { return m_refusedValue; }

    // The path of the document file last opened; empty until one was.
    const std::string& settingsFilePath() const { return m_settingsFilePath; }

    std::vector<QXTargetPtr> targets;
    std::vector<std::wstring> ignoreList;  // PathMatchSpec patterns for folders
    bool includeSubfolders = false;        // "サブフォルダも対象"
    bool includeHidden = false;            // "隠しファイル"
    bool includeSystem = false;            // "システムファイル"
    QXRuleList rules;
    int32_t ruleOperator = kRuleAnd;
    QXFileList results;  // records of the last result-list fill

private:
    QXDocumentView* m_view = nullptr;
    std::string m_settingsFilePath;
    std::wstring m_refusedValue;
};

}  // namespace quenrix
