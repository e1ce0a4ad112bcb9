// The synchronisation objects of the support library: a recursive fast mutex, a
// counting semaphore, a manual-reset event, and the wait that lets a worker sleep until
// either work (the semaphore) or a stop request (the event) arrives. All are safe to use
// from any thread; none may be copied.
//
// Handles: a semaphore or event whose creation failed is "absent". An absent semaphore's
// lock returns at once and its unlock does nothing; in a wait it is left out. An event
// whose creation failed makes every wait it takes part in fail at once with kWaitFailed.
#pragma once

#include <cstdint>
#include <memory>

namespace tovy {

// Error code of a waitable whose handle was never made (the platform's invalid-handle).
constexpr int kErrorInvalidHandle = 6;
// Result of a wait that failed.
constexpr uint32_t kWaitFailed = 0xFFFFFFFFu;

class TovIsNoncopyable {
protected:
    TovIsNoncopyable() = default;
    ~TovIsNoncopyable() = default;
    TovIsNoncopyable(const TovIsNoncopyable&) = delete;
    TovIsNoncopyable& operator=(const TovIsNoncopyable&) = delete;
};

class TovTrait {};

class ITovSync {
public:
    virtual ~ITovSync() = default;
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

// Scoped lock over any ITovSync.
class TovLock {
public:
    explicit TovLock(ITovSync& sync) : m_sync(sync) { m_sync.lock(); }
    ~TovLock() { m_sync.unlock(); }
    TovLock(const TovLock&) = delete;
    TovLock& operator=(const TovLock&) = delete;

private:
    ITovSync& m_sync;
};

class TovEvent;
struct TovHandleState;  // shared state of one semaphore or event

// A kernel-object-like handle with an error code.
class TovWaitable : private TovIsNoncopyable, public TovTrait {
public:
    virtual ~TovWaitable();

    // Waits without time limit for the own handle (when present) and the event's handle
    // (when an event is given). Returns the position of the signalled handle in that list
    // (the lower one when both are signalled), 0 at once when the list is empty, or
    // kWaitFailed when a handle of the list is not valid.
    uint32_t wait(TovEvent* event = nullptr);

    bool hasHandle() const { return m_handle != nullptr; }
    // kErrorInvalidHandle until made, 0 after a successful creation, the error of a failed
    // one.
    int errorCode() const { return m_error; }

protected:
    TovWaitable() = default;
    std::shared_ptr<TovHandleState> m_handle;
    int m_error = kErrorInvalidHandle;
};

// Recursive mutex.
class TovFastMutex : public ITovSync, private TovIsNoncopyable {
public:
    TovFastMutex();
    ~TovFastMutex() override;
    void lock() override;
    void unlock() override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Counting semaphore. Its user creates the handle.
class TovSemaphore : public TovWaitable, public ITovSync {
public:
    TovSemaphore() = default;
    ~TovSemaphore() override;

    // Makes the handle with the given counts; false (handle absent) when the counts are
    // invalid.
    bool create(int32_t initialCount, int32_t maximumCount);
    // Closes the handle (it becomes absent).
    void close();

    // Waits for the semaphore (returns at once on an absent handle).
    void lock() override;
    // Releases by one, only when the handle is present and below its maximum.
    void unlock() override;
};

// Manual-reset event, created not signalled.
class TovEvent : public TovWaitable {
public:
    TovEvent();
    ~TovEvent() override;

    void set();
    void reset();

    // An event whose creation failed with `errorCode` (for testing the failure path).
    static std::unique_ptr<TovEvent> makeFailed(int errorCode);

private:
    struct FailedTag {};
    TovEvent(FailedTag, int errorCode);
    friend class TovWaitable;
    bool m_failed = false;
};

}  // namespace tovy
