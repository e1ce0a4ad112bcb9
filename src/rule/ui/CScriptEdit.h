// The script rule's edit control: a plain multi-line edit in a monospace font with
// Japanese glyphs at 10 points, without a length limit, in which Tab inserts a tab
// character and Enter a line break (neither moves the focus nor presses OK). Its text has
// LF line breaks; the dialog turns them into CR LF. User-interface thread only.
#pragma once

#include <QPlainTextEdit>

namespace quenrix {

class CScriptEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CScriptEdit(QWidget* parent = nullptr);
};

}  // namespace quenrix
