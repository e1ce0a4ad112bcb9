// The thumbnail queue and worker: request order and the promotion of rows on screen,
// dropped requests, the stop, and the worker over a folder of pictures of every decoder
// (each kept within the size limit, huge and unreadable files left without picture).
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/core.hpp>

#include "core/PictureFixtures.h"
#include "core/QXFileExtras.h"
#include "core/QXFileInfo.h"
#include "core/QXThumbHolder.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "view/QXThumbCreatorThread.h"
#include "view/QXThumbLayout.h"
#include "view/QXThumbQueue.h"

namespace quenrix {
namespace {

using namespace std::chrono_literals;
using test::TempDir;

QXFileInfoPtr recordFor(const std::string& path) {
    QXFileInfoPtr file = QXFileInfo::fromPath(path);
    EXPECT_TRUE(file) << path;
    return file;
}

// Records of files named a, b, c … in a temporary folder.
struct Records {
    TempDir dir;
    std::map<std::string, QXFileInfoPtr> byName;
    explicit Records(const std::vector<std::string>& names) {
        for (const std::string& name : names) byName[name] = recordFor(dir.createFile(name, "x"));
    }
    const QXFileInfoPtr& operator[](const std::string& name) { return byName.at(name); }
    std::string nameOf(const QXFileInfoPtr& file) const {
        for (const auto& [name, f] : byName)
            if (f == file) return name;
        return "?";
    }
};

// The names of the requests in the order the worker would take them.
std::string takeAll(QXThumbQueue& queue, const Records& records) {
    tovy::TovEvent stop;
    stop.set();  // take() gives the waiting requests first, then none
    std::string order;
    while (auto r = queue.take(stop)) order += records.nameOf(r->file);
    return order;
}

TEST(ThumbQueueTest, RequestsOncePerRecordInOrder) {
    Records records({"a", "b", "c"});
    QXThumbQueue queue;
    EXPECT_TRUE(queue.request(records["a"]));
    EXPECT_TRUE(queue.request(records["b"]));
    EXPECT_FALSE(queue.request(records["a"]));  // already waiting
    EXPECT_TRUE(queue.request(records["c"]));
    EXPECT_FALSE(queue.request(nullptr));
    EXPECT_EQ(queue.size(), 3u);
    const QXThumbHolder* holder = records["a"]->extrasIfAny()->thumb.get();
    ASSERT_TRUE(holder);
    EXPECT_TRUE(holder->queued());
    EXPECT_EQ(takeAll(queue, records), "abc");
    // Served requests stay marked: a file no decoder reads is not asked for again.
    EXPECT_FALSE(queue.request(records["a"]));

    // A record whose picture is made is never queued.
    Records made({"m"});
    QXThumbQueue::holderOf(*made["m"])->attach(QXBitmap::make(2, 2), 2, 2);
    EXPECT_FALSE(queue.request(made["m"]));
}

TEST(ThumbQueueTest, RowsOnScreenGoFirst) {
    static const struct {
        const char* promoted;  // in the order given
        const char* taken;
    } cases[] = {
        {"", "abcde"},      {"d", "dabce"}, {"db", "dbace"},
        {"edcba", "edcba"}, {"x", "abcde"},  // not waiting (already served)
        {"cxa", "cabde"},
    };
    for (const auto& c : cases) {
        Records records({"a", "b", "c", "d", "e", "x"});
        QXThumbQueue queue;
        for (const char* name : {"a", "b", "c", "d", "e"}) queue.request(records[name]);
        std::vector<const QXThumbHolder*> holders;
        for (const char* p = c.promoted; *p; ++p) {
            holders.push_back(QXThumbQueue::holderOf(*records[std::string(1, *p)]).get());
        }
        queue.promote(holders);
        EXPECT_EQ(takeAll(queue, records), c.taken) << c.promoted;
    }
}

TEST(ThumbQueueTest, ClearDropsWaitingRequestsWhichMayComeAgain) {
    Records records({"a", "b"});
    QXThumbQueue queue;
    queue.request(records["a"]);
    queue.request(records["b"]);
    queue.clear();
    EXPECT_EQ(queue.size(), 0u);
    EXPECT_FALSE(records["a"]->extrasIfAny()->thumb->queued());
    // The semaphore still counted the dropped two: take() passes over them.
    EXPECT_TRUE(queue.request(records["b"]));
    EXPECT_EQ(takeAll(queue, records), "b");
}

TEST(ThumbQueueTest, TakeSleepsUntilARequestOrTheStop) {
    Records records({"a"});
    QXThumbQueue queue;
    tovy::TovEvent stop;
    auto taken = std::async(std::launch::async, [&] { return queue.take(stop); });
    EXPECT_EQ(taken.wait_for(50ms), std::future_status::timeout);
    queue.request(records["a"]);
    ASSERT_EQ(taken.wait_for(10s), std::future_status::ready);
    auto request = taken.get();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->file, records["a"]);
    EXPECT_EQ(request->path, records["a"]->fullPath());

    auto none = std::async(std::launch::async, [&] { return queue.take(stop); });
    EXPECT_EQ(none.wait_for(50ms), std::future_status::timeout);
    stop.set();
    ASSERT_EQ(none.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(none.get());
}

// Keeps the records the worker reported, and wakes a test waiting for them.
class ReadySink : public QXThumbSink {
public:
    void thumbnailReady(uint64_t fileId) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ids.push_back(fileId);
        m_changed.notify_all();
    }
    // Waits until `count` reports have come (at most 60 s); the reports so far.
    std::vector<uint64_t> waitFor(size_t count) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait_for(lock, 60s, [&] { return m_ids.size() >= count; });
        return m_ids;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<uint64_t> m_ids;
};

TEST(ThumbCreatorTest, EveryPictureGetsAThumbnailWithinTheLimit) {
    TempDir dir;
    test::TestPlugins plugins;
    struct Picture {
        std::string path;
        int width, height;  // 0: no picture expected
    };
    // The files no decoder reads come first: once the last picture is reported, the
    // worker has been through all of them.
    const std::vector<Picture> pictures = {
        {dir.createFile("notes.txt", "not a picture"), 0, 0},
        {dir.createFile("empty.png", ""), 0, 0},
        {dir.createFile("forged.png", test::pngHeaderBytes(17000, 16000)), 0, 0},
        {dir.createFile("bomb.ras", test::sunRasterRle(16000, 16000, 77)), 0, 0},
        {test::writePicture(dir, "photo.png", 1000, 500), 1000, 500},
        {test::writePicture(dir, "tall.jpg", 300, 900), 300, 900},
        {test::writePicture(dir, "tiny.bmp", 3, 2), 3, 2},
        {test::writePicture(dir, "raster.ras", 1001, 40), 1001, 40},  // OpenCV only
        {dir.createFile("plugin.bin", test::qxpicBytes(700, 10)), 700, 10},
    };
    const QXThumbSize limit = thumbKeepLimit(120);
    ASSERT_EQ(limit, (QXThumbSize{576, 480}));

    QXThumbQueue queue;
    ReadySink sink;
    QXThumbCreatorThread worker(queue, sink, 120);
    ASSERT_TRUE(worker.start());
    std::vector<QXFileInfoPtr> files;
    size_t expected = 0;
    for (const Picture& p : pictures) {
        files.push_back(recordFor(p.path));
        ASSERT_TRUE(queue.request(files.back()));
        if (p.width > 0) ++expected;
    }
    const std::vector<uint64_t> ready = sink.waitFor(expected);
    worker.stop();
    ASSERT_EQ(ready.size(), expected);

    const std::set<uint64_t> readyIds(ready.begin(), ready.end());
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Picture& p = pictures[i];
        const QXThumbHolder& holder = *files[i]->extrasIfAny()->thumb;
        EXPECT_EQ(readyIds.count(files[i]->id()), p.width > 0 ? 1u : 0u) << p.path;
        if (p.width == 0) {
            EXPECT_FALSE(holder.bitmapLoaded()) << p.path;
            EXPECT_TRUE(holder.queued()) << p.path;  // not asked for again
            continue;
        }
        ASSERT_TRUE(holder.bitmapLoaded()) << p.path;
        EXPECT_EQ(holder.sourceWidth(), p.width) << p.path;
        EXPECT_EQ(holder.sourceHeight(), p.height) << p.path;
        const QXBitmap& bitmap = holder.bitmap();
        EXPECT_EQ((QXThumbSize{bitmap.width, bitmap.height}),
                  shrinkToLimit(p.width, p.height, limit))
            << p.path;
        EXPECT_LE(bitmap.width, limit.width) << p.path;
        EXPECT_LE(bitmap.height, limit.height) << p.path;
        EXPECT_EQ(bitmap.stride, QXBitmap::strideFor(bitmap.width)) << p.path;
        EXPECT_EQ(bitmap.bits.size(), size_t(bitmap.stride) * size_t(bitmap.height)) << p.path;
    }
    // Blue, green, red in that order (the fixtures' red is 200, the plug-in's 7).
    const QXBitmap& tiny = files[6]->extrasIfAny()->thumb->bitmap();
    EXPECT_EQ(tiny.row(1)[3 * 2 + 0], 2);
    EXPECT_EQ(tiny.row(1)[3 * 2 + 1], 1);
    EXPECT_EQ(tiny.row(1)[3 * 2 + 2], 200);
    EXPECT_EQ(files[8]->extrasIfAny()->thumb->bitmap().row(0)[2], 7);
}

TEST(ThumbCreatorTest, DisplaySizeDecidesTheLimit) {
    TempDir dir;
    QXThumbQueue queue;
    ReadySink sink;
    QXThumbCreatorThread worker(queue, sink, 40);
    worker.setDisplaySize(60);  // limit 2 x (120 + 48) by 2 x 120
    ASSERT_TRUE(worker.start());
    QXFileInfoPtr file = recordFor(test::writePicture(dir, "big.png", 2000, 1000));
    queue.request(file);
    ASSERT_EQ(sink.waitFor(1).size(), 1u);
    worker.stop();
    const QXBitmap& bitmap = file->extrasIfAny()->thumb->bitmap();
    EXPECT_EQ((QXThumbSize{bitmap.width, bitmap.height}), (QXThumbSize{336, 168}));
}

TEST(ThumbCreatorTest, AFailingFileIsLoggedOrSkippedAndTheWorkerGoesOn) {
    Records records({"bad-alloc", "broken", "good"});
    test::LogCapture log;
    QXThumbQueue queue;
    ReadySink sink;
    QXThumbCreatorThread worker(queue, sink, 120,
                                [](const std::wstring& path, const platform::FileStat*,
                                   QXThumbSize) -> std::optional<QXThumbPicture> {
                                    if (path.ends_with(L"bad-alloc")) throw std::bad_alloc();
                                    if (path.ends_with(L"broken"))
                                        throw cv::Exception(1, "broken", "loader", "", 0);
                                    return QXThumbPicture{QXBitmap::make(4, 4), 4, 4};
                                });
    ASSERT_TRUE(worker.start());
    for (const char* name : {"bad-alloc", "broken", "good"}) queue.request(records[name]);
    const std::vector<uint64_t> ready = sink.waitFor(1);
    worker.stop();
    ASSERT_EQ(ready, (std::vector<uint64_t>{records["good"]->id()}));
    EXPECT_TRUE(log.has(L"Bad Alloc"));
    EXPECT_FALSE(records["broken"]->extrasIfAny()->thumb->bitmapLoaded());
}

TEST(ThumbCreatorTest, StopFinishesThePictureUnderWayAndDropsTheRest) {
    Records records({"a", "b", "c"});
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> calls{0};
    QXThumbQueue queue;
    ReadySink sink;
    QXThumbCreatorThread worker(queue, sink, 120,
                                [&](const std::wstring&, const platform::FileStat*,
                                    QXThumbSize) -> std::optional<QXThumbPicture> {
                                    if (calls++ == 0) {
                                        entered.set_value();
                                        released.wait();
                                    }
                                    return QXThumbPicture{QXBitmap::make(4, 4), 4, 4};
                                });
    ASSERT_TRUE(worker.start());
    for (const char* name : {"a", "b", "c"}) queue.request(records[name]);
    ASSERT_EQ(entered.get_future().wait_for(10s), std::future_status::ready);

    auto stopped = std::async(std::launch::async, [&] { worker.stop(); });
    // The stop waits for the picture under way...
    EXPECT_EQ(stopped.wait_for(100ms), std::future_status::timeout);
    release.set_value();
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready);
    // ...which is kept, while the waiting requests were dropped and may come again.
    EXPECT_EQ(calls.load(), 1);
    EXPECT_TRUE(records["a"]->extrasIfAny()->thumb->bitmapLoaded());
    EXPECT_FALSE(records["b"]->extrasIfAny()->thumb->queued());
    EXPECT_FALSE(records["c"]->extrasIfAny()->thumb->queued());
    EXPECT_EQ(queue.size(), 0u);
}

TEST(ThumbCreatorTest, AnIdleWorkerStopsAtOnce) {
    QXThumbQueue queue;
    ReadySink sink;
    QXThumbCreatorThread worker(queue, sink, 120);
    ASSERT_TRUE(worker.start());
    std::this_thread::sleep_for(20ms);
    const auto start = std::chrono::steady_clock::now();
    worker.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(worker.started());
}

TEST(ThumbCreatorTest, ScaleBitmapAveragesAndKeepsTheLayout) {
    QXBitmap source = QXBitmap::make(4, 2);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            uint8_t* px = source.row(y) + 3 * x;
            px[0] = x < 2 ? 0 : 200;  // blue: left half dark, right half bright
            px[1] = 10;
            px[2] = 20;
        }
    }
    const QXBitmap half = scaleBitmap(source, {2, 1});
    ASSERT_EQ(half.width, 2);
    ASSERT_EQ(half.height, 1);
    EXPECT_EQ(half.stride, 8);
    EXPECT_EQ(half.row(0)[0], 0);
    EXPECT_EQ(half.row(0)[3], 200);
    EXPECT_EQ(half.row(0)[4], 10);
    EXPECT_EQ(half.row(0)[5], 20);
    EXPECT_EQ(scaleBitmap(source, {4, 2}).bits, source.bits);
    EXPECT_TRUE(scaleBitmap(source, {0, 1}).empty());
    EXPECT_TRUE(scaleBitmap(QXBitmap(), {2, 2}).empty());
}

}  // namespace
}  // namespace quenrix
