// The action workers of modes 8 to 11: copy or move every ticked file into a destination
// folder, flat or keeping the folder tree below the file's search target. An existing
// file is never replaced: a taken name gets the next free numbered one ("a(2).txt",
// "README(1)", "archive.tar(1).gz", "(1).profile"). A move across file systems keeps the
// source until the copy is on the disk. Same thread rules as QXDeleteThreadInterface.
#pragma once

#include <string>
#include <vector>

#include "core/QXTarget.h"
#include "tool/QXDeleteThreadInterface.h"

namespace quenrix {

// The common part: the destination folder (native bytes, without a trailing slash
// except for "/" itself) and whether the file is moved or copied.
class QXDeleteToFolderThread : public QXDeleteThreadInterface {
public:
    QXDeleteToFolderThread(QXProgressSink& sink, bool autoDel, std::string destination, bool move);

    const std::string& destination() const { return m_destination; }

protected:
    bool removesFile() const override { return m_move; }
    // Copies or moves the record's file into `folder` under the first free name for
    // `name`; an error line on failure.
    bool placeInto(const QXFileInfo& record, const std::string& folder, const std::string& name);

private:
    std::string m_destination;
    bool m_move;
};

// Modes 8 and 9: destination + the file's name.
class QXDeleteFlatThread : public QXDeleteToFolderThread {
public:
    using QXDeleteToFolderThread::QXDeleteToFolderThread;

protected:
    bool ProcessFile(QXFileInfo& record) override;
};

class QXDeleteCopyThread : public QXDeleteFlatThread {
public:
    QXDeleteCopyThread(QXProgressSink& sink, bool autoDel, std::string destination)
        : QXDeleteFlatThread(sink, autoDel, std::move(destination), false) {}
};

class QXDeleteMoveThread : public QXDeleteFlatThread {
public:
    QXDeleteMoveThread(QXProgressSink& sink, bool autoDel, std::string destination)
        : QXDeleteFlatThread(sink, autoDel, std::move(destination), true) {}
};

// Modes 10 and 11: the file's place below its target (the entry of the copied target list
// at the record's target index) is kept below the destination, its folders made where
// missing: target /photos, file /photos/2019/a.jpg and destination /backup give
// /backup/2019/a.jpg. The target is taken off only as a leading part ending at a folder
// boundary, so no name is cut and nothing can climb out of the destination. A record that
// lies below no target (records read from CSV carry target index 0) fails with an error
// line.
class QXDeleteKeepTreeThread : public QXDeleteToFolderThread {
public:
    QXDeleteKeepTreeThread(QXProgressSink& sink, bool autoDel, std::string destination, bool move,
                           std::vector<QXTargetPtr> targets);

protected:
    bool ProcessFile(QXFileInfo& record) override;

private:
    std::vector<QXTargetPtr> m_targets;
};

class QXDeleteCopyToKeepTreeThread : public QXDeleteKeepTreeThread {
public:
    QXDeleteCopyToKeepTreeThread(QXProgressSink& sink, bool autoDel, std::string destination,
                                 std::vector<QXTargetPtr> targets)
        : QXDeleteKeepTreeThread(sink, autoDel, std::move(destination), false, std::move(targets)) {
    }
};

class QXDeleteMoveToKeepTreeThread : public QXDeleteKeepTreeThread {
public:
    QXDeleteMoveToKeepTreeThread(QXProgressSink& sink, bool autoDel, std::string destination,
                                 std::vector<QXTargetPtr> targets)
        : QXDeleteKeepTreeThread(sink, autoDel, std::move(destination), true, std::move(targets)) {}
};

}  // namespace quenrix
