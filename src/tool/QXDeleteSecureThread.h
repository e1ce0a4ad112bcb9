// The action workers of modes 3 to 7: each runs its mode's overwrite passes on a ticked
// file through the QXSecureWipe it owns (see there for the passes and what is never
// overwritten), then the file is renamed and deleted. Same thread rules as
// QXDeleteThreadInterface; the wipe is used on the worker's thread only.
#pragma once

#include <memory>

#include "tool/QXDeleteThreadInterface.h"
#include "tool/QXSecureWipe.h"

namespace quenrix {

class QXDeleteSecureThread : public QXDeleteThreadInterface, private QXSecureWipe::Host {
public:
    ~QXDeleteSecureThread() override;

    int32_t mode() const { return m_wipe->mode(); }

protected:
    // REQUIRES: mode is 3 to 7.
    QXDeleteSecureThread(QXProgressSink& sink, bool autoDel, int32_t mode);

    bool ProcessFile(QXFileInfo& record) override;

private:
    // QXSecureWipe::Host
    bool cancelRequested() const override { return QXDeleteThreadInterface::cancelRequested(); }
    void raiseError() override { QXDeleteThreadInterface::raiseError(); }

    std::unique_ptr<QXSecureWipe> m_wipe;
};

// Mode 3: one pass of 0x00.
class QXDeleteSecure00Thread : public QXDeleteSecureThread {
public:
    QXDeleteSecure00Thread(QXProgressSink& sink, bool autoDel)
        : QXDeleteSecureThread(sink, autoDel, QXSecureWipe::kModeFill00) {}
};

// Mode 4: one pass of 0xFF.
class QXDeleteSecureFFThread : public QXDeleteSecureThread {
public:
    QXDeleteSecureFFThread(QXProgressSink& sink, bool autoDel)
        : QXDeleteSecureThread(sink, autoDel, QXSecureWipe::kModeFillFF) {}
};

// Mode 5: one pass of pseudo-random bytes.
class QXDeleteSecureRandomThread : public QXDeleteSecureThread {
public:
    QXDeleteSecureRandomThread(QXProgressSink& sink, bool autoDel)
        : QXDeleteSecureThread(sink, autoDel, QXSecureWipe::kModeRandom) {}
};

// Mode 6: 0x00, 0xFF, random, and that random pass read back.
class QXDeleteSecureDoD5220_22_M_Short : public QXDeleteSecureThread {
public:
    QXDeleteSecureDoD5220_22_M_Short(QXProgressSink& sink, bool autoDel)
        : QXDeleteSecureThread(sink, autoDel, QXSecureWipe::kModeDoDShort) {}

protected:
    QXDeleteSecureDoD5220_22_M_Short(QXProgressSink& sink, bool autoDel, int32_t mode)
        : QXDeleteSecureThread(sink, autoDel, mode) {}
};

// Mode 7: 0xF6, then the short sequence twice.
class QXDeleteSecureDoD5220_22_M : public QXDeleteSecureDoD5220_22_M_Short {
public:
    QXDeleteSecureDoD5220_22_M(QXProgressSink& sink, bool autoDel)
        : QXDeleteSecureDoD5220_22_M_Short(sink, autoDel, QXSecureWipe::kModeDoD) {}
};

}  // namespace quenrix
