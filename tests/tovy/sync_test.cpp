#include "tovy/TovSync.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <future>
#include <thread>
#include <vector>

namespace tovy {
namespace {

using namespace std::chrono_literals;

// How long a wait must go on before it counts as blocked, and how long one that has been
// released may take to return (the tests run under sanitizers on loaded machines).
constexpr auto kBlocked = 200ms;
constexpr auto kReleased = 30s;

template <typename T>
bool isBlocked(const std::future<T>& f) {
    return f.wait_for(kBlocked) == std::future_status::timeout;
}

template <typename T>
bool isDone(const std::future<T>& f) {
    return f.wait_for(kReleased) == std::future_status::ready;
}

TEST(TovSync, SemaphoreCountsDownThenBlocksUntilReleaseOrStop) {
    TovSemaphore items;
    ASSERT_TRUE(items.create(2, 10));
    TovEvent stop;
    EXPECT_EQ(items.wait(&stop), 0u);
    EXPECT_EQ(items.wait(&stop), 0u);

    auto released = std::async(std::launch::async, [&] { return items.wait(&stop); });
    EXPECT_TRUE(isBlocked(released));
    items.unlock();
    ASSERT_TRUE(isDone(released));
    EXPECT_EQ(released.get(), 0u);

    auto stopped = std::async(std::launch::async, [&] { return items.wait(&stop); });
    EXPECT_TRUE(isBlocked(stopped));
    stop.set();
    ASSERT_TRUE(isDone(stopped));
    EXPECT_EQ(stopped.get(), 1u);
}

TEST(TovSync, CountedItemsWinOverASetEventAndTheEventStaysSet) {
    TovSemaphore items;
    ASSERT_TRUE(items.create(0, 10));
    items.unlock();
    items.unlock();
    TovEvent stop;
    stop.set();
    const uint32_t expected[] = {0, 0, 1, 1, 1};
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(items.wait(&stop), expected[i]) << "wait " << i;
    }
}

TEST(TovSync, ResetEventBlocksAgain) {
    TovSemaphore items;
    ASSERT_TRUE(items.create(0, 1));
    TovEvent stop;
    stop.set();
    EXPECT_EQ(items.wait(&stop), 1u);
    stop.reset();

    auto waiter = std::async(std::launch::async, [&] { return items.wait(&stop); });
    EXPECT_TRUE(isBlocked(waiter));
    stop.set();
    ASSERT_TRUE(isDone(waiter));
    EXPECT_EQ(waiter.get(), 1u);
}

TEST(TovSync, ReleaseStopsAtTheMaximum) {
    TovSemaphore items;
    ASSERT_TRUE(items.create(0, 2));
    for (int i = 0; i < 5; ++i) items.unlock();
    TovEvent stop;
    stop.set();
    EXPECT_EQ(items.wait(&stop), 0u);
    EXPECT_EQ(items.wait(&stop), 0u);
    EXPECT_EQ(items.wait(&stop), 1u);
}

TEST(TovSync, CreateChecksTheCounts) {
    struct {
        int32_t initial;
        int32_t maximum;
        bool valid;
    } cases[] = {
        {0, 1, true},   {1, 1, true},  {5, 10, true},  {0, 0, false},
        {-1, 5, false}, {6, 5, false}, {0, -1, false},
    };
    for (const auto& c : cases) {
        TovSemaphore s;
        EXPECT_EQ(s.create(c.initial, c.maximum), c.valid) << c.initial << "/" << c.maximum;
        EXPECT_EQ(s.hasHandle(), c.valid) << c.initial << "/" << c.maximum;
        EXPECT_EQ(s.errorCode(), c.valid ? 0 : 87) << c.initial << "/" << c.maximum;
    }
    TovSemaphore never;
    EXPECT_FALSE(never.hasHandle());
    EXPECT_EQ(never.errorCode(), kErrorInvalidHandle);
}

TEST(TovSync, FailedEventMakesEveryWaitFail) {
    std::unique_ptr<TovEvent> failed = TovEvent::makeFailed(1450);
    EXPECT_EQ(failed->errorCode(), 1450);
    EXPECT_FALSE(failed->hasHandle());

    TovSemaphore items;
    ASSERT_TRUE(items.create(1, 1));
    EXPECT_EQ(items.wait(failed.get()), kWaitFailed);
    // The failed wait consumed nothing.
    EXPECT_EQ(items.wait(), 0u);

    TovSemaphore absent;
    EXPECT_EQ(absent.wait(failed.get()), kWaitFailed);

    TovEvent event;
    EXPECT_EQ(event.errorCode(), 0);
    EXPECT_TRUE(event.hasHandle());
}

TEST(TovSync, AbsentSemaphoreIsLeftOutOfTheWait) {
    TovSemaphore absent;
    EXPECT_EQ(absent.wait(), 0u);
    absent.lock();
    absent.unlock();
    EXPECT_FALSE(absent.hasHandle());

    TovSemaphore closed;
    ASSERT_TRUE(closed.create(0, 1));
    closed.close();
    EXPECT_FALSE(closed.hasHandle());
    EXPECT_EQ(closed.wait(), 0u);

    // With an event, the event is the only handle: position 0.
    TovEvent stop;
    auto waiter = std::async(std::launch::async, [&] { return absent.wait(&stop); });
    EXPECT_TRUE(isBlocked(waiter));
    stop.set();
    ASSERT_TRUE(isDone(waiter));
    EXPECT_EQ(waiter.get(), 0u);
}

TEST(TovSync, FastMutexIsRecursiveAndExcludesOtherThreads) {
    TovFastMutex mutex;
    mutex.lock();
    mutex.lock();
    auto other = std::async(std::launch::async, [&] {
        TovLock lock(mutex);
        return true;
    });
    EXPECT_TRUE(isBlocked(other));
    mutex.unlock();
    EXPECT_TRUE(isBlocked(other)) << "still held once";
    mutex.unlock();
    ASSERT_TRUE(isDone(other));
    EXPECT_TRUE(other.get());
}

TEST(TovSync, SemaphoreAsALockTakesAndGivesBack) {
    TovSemaphore slot;
    ASSERT_TRUE(slot.create(1, 1));
    {
        TovLock lock(slot);
        auto other = std::async(std::launch::async, [&] { return slot.wait(); });
        EXPECT_TRUE(isBlocked(other));
        slot.unlock();  // hands the slot to the other thread
        ASSERT_TRUE(isDone(other));
        EXPECT_EQ(other.get(), 0u);
    }
    // The scoped unlock gave the slot back.
    EXPECT_EQ(slot.wait(), 0u);
}

// The worker pattern: a producer queues under the mutex and counts the item on the
// semaphore; the consumer sleeps until an item or the stop request arrives. Items queued
// before the stop are all taken first.
TEST(TovSync, BlockingQueueDeliversEveryItemBeforeStopping) {
    constexpr int kItems = 200;
    TovFastMutex mutex;
    TovSemaphore count;
    ASSERT_TRUE(count.create(0, kItems));
    TovEvent stop;
    std::deque<int> queue;
    std::vector<int> received;

    std::thread consumer([&] {
        while (count.wait(&stop) == 0) {
            TovLock lock(mutex);
            received.push_back(queue.front());
            queue.pop_front();
        }
    });
    std::thread producer([&] {
        for (int i = 0; i < kItems; ++i) {
            {
                TovLock lock(mutex);
                queue.push_back(i);
            }
            count.unlock();
        }
    });
    producer.join();
    stop.set();
    consumer.join();

    ASSERT_EQ(received.size(), size_t(kItems));
    for (int i = 0; i < kItems; ++i) EXPECT_EQ(received[i], i);
    EXPECT_TRUE(queue.empty());
}

}  // namespace
}  // namespace tovy
