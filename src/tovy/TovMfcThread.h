// Base of every worker thread: start() runs the virtual run() on a new thread, wait()
// blocks until it has ended. Destroying a worker does not wait: whoever starts a worker
// waits for it before destroying it (a still-running thread is detached, never killed).
// start/wait/destroy belong to the thread that owns the worker.
#pragma once

#include <cstdint>
#include <thread>

namespace tovy {

class TovMfcThread {
public:
    TovMfcThread() = default;
    virtual ~TovMfcThread();
    TovMfcThread(const TovMfcThread&) = delete;
    TovMfcThread& operator=(const TovMfcThread&) = delete;

    // Starts run() on a new thread, after waiting for an earlier start's thread to end.
    // Returns false when no thread could be made.
    bool start();
    // Blocks until the thread has ended; returns at once when none was started.
    void wait();
    bool started() const { return m_thread.joinable(); }
    // run()'s result, valid after wait().
    uint32_t exitCode() const { return m_exitCode; }

protected:
    // The thread's work; its result is the exit code. Must not throw.
    virtual uint32_t run() = 0;

private:
    std::thread m_thread;
    uint32_t m_exitCode = 0;
};

}  // namespace tovy
