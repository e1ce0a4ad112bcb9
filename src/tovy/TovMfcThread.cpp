#include "tovy/TovMfcThread.h"

#include <system_error>

namespace tovy {

TovMfcThread::~TovMfcThread() {
    // The owner waits before destroying a worker; a thread still running here is let go
    // rather than taking the process down with std::terminate.
    if (m_thread.joinable()) m_thread.detach();
}

bool TovMfcThread::start() {
    wait();
    m_exitCode = 0;
    try {
        m_thread = std::thread([this] { m_exitCode = run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void TovMfcThread::wait() {
    if (m_thread.joinable()) m_thread.join();
}

}  // namespace tovy
