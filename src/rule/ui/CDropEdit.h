// An edit box for the path of one file that also takes files dropped on it: of the
// dropped items, the first that exists and is not a folder replaces the text. It holds
// the path as the program's wide text (native bytes through the lossless codec), so a
// name whose bytes are not valid UTF-8, which shows with a replacement glyph, comes back
// with its own bytes as long as the text shown for it is not edited. Other drops (plain
// text) are handled as by any edit box. User-interface thread only.
#pragma once

#include <QLineEdit>

#include <string>

namespace quenrix {

class CDropEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CDropEdit(QWidget* parent = nullptr);

    // Shows `path` (wide text of native bytes).
    void setPath(const std::wstring& path);
    // The path shown: the one last set while its text is unchanged, else the text typed.
    std::wstring path() const;
    // path() as the bytes the file system knows.
    std::string nativePath() const;

    // True when `nativePath` names something that exists (links followed).
    static bool exists(const std::string& nativePath);
    // True when `nativePath` names something that exists and is not a folder.
    static bool isFile(const std::string& nativePath);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    std::wstring m_path;
    QString m_shown;
};

}  // namespace quenrix
