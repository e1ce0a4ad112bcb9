#include "tool/QXDeleteSecureThread.h"

namespace quenrix {

QXDeleteSecureThread::QXDeleteSecureThread(QXProgressSink& sink, bool autoDel, int32_t mode)
    : QXDeleteThreadInterface(sink, autoDel),
      m_wipe(std::make_unique<QXSecureWipe>(mode, static_cast<QXSecureWipe::Host&>(*this))) {}

QXDeleteSecureThread::~QXDeleteSecureThread() = default;

bool QXDeleteSecureThread::ProcessFile(QXFileInfo& record) {
    return m_wipe->ProcessFile(record);
}

}  // namespace quenrix
