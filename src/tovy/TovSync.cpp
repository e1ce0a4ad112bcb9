#include "tovy/TovSync.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace tovy {

namespace {

// The platform's "invalid parameter" error.
constexpr int kErrorInvalidParameter = 87;

// Every semaphore and event is guarded by one lock, and every change that can end a wait
// wakes all waiters, who then look again at the handles they wait for. One lock makes
// waiting for several handles at once (and consuming exactly the one that wins) simple
// and free of lost wake-ups; the program has few handles and rare changes.
struct WaitHub {
    std::mutex lock;
    std::condition_variable changed;
};

WaitHub& hub() {
    // Never destroyed: a detached worker may still wait or release while the process
    // exits.
    static WaitHub* instance = new WaitHub;
    return *instance;
}

}  // namespace

struct TovHandleState {
    enum class Kind { Semaphore, Event };
    Kind kind;
    int32_t count = 0;  // semaphore
    int32_t maximum = 0;
    bool signalled = false;  // event

    bool isSignalled() const { return kind == Kind::Semaphore ? count > 0 : signalled; }
};

// --- TovWaitable ---

TovWaitable::~TovWaitable() = default;

uint32_t TovWaitable::wait(TovEvent* event) {
    std::vector<std::shared_ptr<TovHandleState>> handles;
    if (m_handle) handles.push_back(m_handle);
    if (event) {
        if (event->m_failed || !event->m_handle) return kWaitFailed;
        handles.push_back(event->m_handle);
    }
    if (handles.empty()) return 0;

    WaitHub& h = hub();
    std::unique_lock<std::mutex> guard(h.lock);
    for (;;) {
        for (size_t i = 0; i < handles.size(); ++i) {
            TovHandleState& state = *handles[i];
            if (!state.isSignalled()) continue;
            if (state.kind == TovHandleState::Kind::Semaphore) --state.count;
            return uint32_t(i);
        }
        h.changed.wait(guard);
    }
}

// --- TovFastMutex ---

struct TovFastMutex::Impl {
    std::recursive_mutex mutex;
};

TovFastMutex::TovFastMutex() : m_impl(std::make_unique<Impl>()) {}
TovFastMutex::~TovFastMutex() = default;
void TovFastMutex::lock() {
    m_impl->mutex.lock();
}
void TovFastMutex::unlock() {
    m_impl->mutex.unlock();
}

// --- TovSemaphore ---

TovSemaphore::~TovSemaphore() = default;

bool TovSemaphore::create(int32_t initialCount, int32_t maximumCount) {
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        m_handle.reset();
        m_error = kErrorInvalidParameter;
        return false;
    }
    auto state = std::make_shared<TovHandleState>();
    state->kind = TovHandleState::Kind::Semaphore;
    state->count = initialCount;
    state->maximum = maximumCount;
    m_handle = std::move(state);
    m_error = 0;
    return true;
}

void TovSemaphore::close() {
    m_handle.reset();
}

void TovSemaphore::lock() {
    if (m_handle) wait();
}

void TovSemaphore::unlock() {
    std::shared_ptr<TovHandleState> state = m_handle;
    if (!state) return;
    WaitHub& h = hub();
    {
        std::lock_guard<std::mutex> guard(h.lock);
        if (state->count >= state->maximum) return;
        ++state->count;
    }
    h.changed.notify_all();
}

// --- TovEvent ---

TovEvent::TovEvent() {
    auto state = std::make_shared<TovHandleState>();
    state->kind = TovHandleState::Kind::Event;
    m_handle = std::move(state);
    m_error = 0;
}

TovEvent::TovEvent(FailedTag, int errorCode) {
    m_error = errorCode;
    m_failed = true;
}

TovEvent::~TovEvent() = default;

void TovEvent::set() {
    if (!m_handle) return;
    WaitHub& h = hub();
    {
        std::lock_guard<std::mutex> guard(h.lock);
        m_handle->signalled = true;
    }
    h.changed.notify_all();
}

void TovEvent::reset() {
    if (!m_handle) return;
    std::lock_guard<std::mutex> guard(hub().lock);
    m_handle->signalled = false;
}

std::unique_ptr<TovEvent> TovEvent::makeFailed(int errorCode) {
    return std::unique_ptr<TovEvent>(new TovEvent(FailedTag{}, errorCode));
}

}  // namespace tovy
