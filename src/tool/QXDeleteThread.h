// The action workers of modes 1 and 2: a plain delete, and a move to the desktop's
// trash. Same thread rules as QXDeleteThreadInterface.
#pragma once

#include "tool/QXDeleteThreadInterface.h"

namespace quenrix {

// Mode 1: unlinks the file. A read-only file is refused (access denied) and fails with
// an error line; nothing about the file is changed beforehand.
class QXDeleteThread : public QXDeleteThreadInterface {
public:
    using QXDeleteThreadInterface::QXDeleteThreadInterface;

protected:
    bool ProcessFile(QXFileInfo& record) override;
};

// Mode 2: moves the file to the trash, from where the desktop can restore it. Where no
// usable trash folder exists the file fails and stays where it is; it is never deleted
// instead. A failure is not an error of the run: it logs its reason and the per-file
// line, and raises no error flag.
class QXDeleteRecycleThread : public QXDeleteThreadInterface {
public:
    using QXDeleteThreadInterface::QXDeleteThreadInterface;

protected:
    bool ProcessFile(QXFileInfo& record) override;
};

}  // namespace quenrix
