#include "tovy/TovMfcThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace tovy {
namespace {

class RecordingThread : public TovMfcThread {
public:
    explicit RecordingThread(uint32_t result) : m_result(result) {}
    ~RecordingThread() override { wait(); }

    std::thread::id ranOn;
    std::atomic<int> runs{0};

protected:
    uint32_t run() override {
        ranOn = std::this_thread::get_id();
        ++runs;
        return m_result + uint32_t(runs.load());
    }

private:
    const uint32_t m_result;
};

TEST(TovMfcThread, RunsOnAnotherThreadAndKeepsTheExitCode) {
    RecordingThread worker(41);
    ASSERT_TRUE(worker.start());
    EXPECT_TRUE(worker.started());
    worker.wait();
    EXPECT_FALSE(worker.started());
    EXPECT_NE(worker.ranOn, std::this_thread::get_id());
    EXPECT_EQ(worker.runs, 1);
    EXPECT_EQ(worker.exitCode(), 42u);
}

TEST(TovMfcThread, StartingAgainWaitsForTheFirstRunAndRunsAgain) {
    RecordingThread worker(100);
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(worker.start());
    worker.wait();
    EXPECT_EQ(worker.runs, 2);
    EXPECT_EQ(worker.exitCode(), 102u);
}

TEST(TovMfcThread, WaitWithoutStartReturnsAtOnce) {
    RecordingThread worker(7);
    worker.wait();
    EXPECT_FALSE(worker.started());
    EXPECT_EQ(worker.runs, 0);
    EXPECT_EQ(worker.exitCode(), 0u);
}

}  // namespace
}  // namespace tovy
