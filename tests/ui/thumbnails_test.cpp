// The thumbnails of the result list on the main form: the サムネイル box and the slider
// size the rows and the thumbnail column; pictures of a folder appear while the window
// goes on handling events, a slow picture holds up nothing but its own cell, new results
// drop the waiting requests, and closing the form stops the worker.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QSlider>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "core/QXFileExtras.h"
#include "core/QXFileInfo.h"
#include "core/QXThumbHolder.h"
#include "doc/QXAppSettings.h"
#include "support/TempDir.h"
#include "ui/FormFixture.h"
#include "ui/UiTest.h"
#include "view/QXThumbCreatorThread.h"
#include "view/ui/QXFileListCtrl.h"
#include "view/ui/QXResultListModel.h"
#include "view/ui/QXThumbnails.h"

using namespace quenrix;

namespace {

// The settings the tests change come back afterwards.
struct SettingsGuard {
    QXGeneralSettings saved = QXAppSettings::instance().general();
    ~SettingsGuard() { QXAppSettings::instance().general() = saved; }
};

// The form with the file-name and thumbnail columns, shown.
struct ThumbForm {
    SettingsGuard settings;
    std::unique_ptr<test::FormFixture> form;

    explicit ThumbForm(bool show = false) {
        QXAppSettings& s = QXAppSettings::instance();
        s.columns = L"FileName,Thumbnail";
        s.columnWidth.clear();
        s.showThumbnail = show ? 1 : 0;
        s.thumbnailDispSize = 120;
        s.thumbnailMargin = 8;
        s.enableZoomIn = 0;
        form = std::make_unique<test::FormFixture>();
        // Tall enough for every row of the tests to be on screen.
        view().resize(900, 1400);
        view().show();
        QVERIFY(QTest::qWaitForWindowExposed(&view()));
    }
    CQuenrixView& view() { return form->view; }
    QXFileListCtrl& list() { return *view().resultList(); }
    QXResultListModel& model() { return *view().resultModel(); }
    QXThumbnails& thumbs() { return *view().thumbnails(); }
    QCheckBox& toggle() { return *form->control<QCheckBox>(1129); }
    QSlider& slider() { return *form->control<QSlider>(1128); }
    int rowHeight() { return list().verticalHeader()->defaultSectionSize(); }
    int thumbColumnWidth() { return list().columnWidth(1); }

    // The colour at the centre of a row's thumbnail cell, as the list draws it now.
    QColor centreOf(int row) {
        const QRect cell = list().visualRect(model().index(row, 1));
        const QImage image = list().viewport()->grab().toImage();
        return image.pixelColor(cell.center());
    }
    QColor cornerOf(int row) {
        const QRect cell = list().visualRect(model().index(row, 1));
        const QImage image = list().viewport()->grab().toImage();
        return image.pixelColor(cell.topLeft() + QPoint(3, 3));
    }
};

bool isRed(const QColor& c) {
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

const QXThumbHolder* holderOf(const QXFileInfoPtr& file) {
    const QXFileExtras* extras = file->extrasIfAny();
    return extras ? extras->thumb.get() : nullptr;
}

bool loaded(const QXFileInfoPtr& file) {
    const QXThumbHolder* holder = holderOf(file);
    return holder && holder->bitmapLoaded();
}

// Solid red pictures written by OpenCV.
QXFileList redPictures(const test::TempDir& dir, int count, int width, int height) {
    QXFileList files;
    const cv::Mat red(height, width, CV_8UC3, cv::Scalar(0, 0, 255));
    for (int i = 0; i < count; ++i) {
        const std::string path = dir / ("red" + std::to_string(i) + ".png");
        if (!cv::imwrite(path, red)) qFatal("cannot write %s", path.c_str());
        files.push_back(QXFileInfo::fromPath(path));
    }
    return files;
}

// A loader that holds the worker in its first call until released, and then gives a
// red 100 x 50 picture for every file.
class GatedLoader {
public:
    QXThumbCreatorThread::Loader loader() {
        return [this](const std::wstring&, const platform::FileStat*,
                      QXThumbSize) -> std::optional<QXThumbPicture> {
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                if (m_calls++ == 0) {
                    m_entered = true;
                    m_changed.notify_all();
                    m_changed.wait(lock, [this] { return m_released; });
                }
            }
            QXBitmap bitmap = QXBitmap::make(100, 50);
            for (int32_t y = 0; y < bitmap.height; ++y) {
                for (int32_t x = 0; x < bitmap.width; ++x) bitmap.row(y)[3 * x + 2] = 255;
            }
            return QXThumbPicture{std::move(bitmap), 100, 50};
        };
    }
    bool entered() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_entered;
    }
    int calls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    void release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    ~GatedLoader() { release(); }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_calls = 0;
    bool m_entered = false;
    bool m_released = false;
};

}  // namespace

class ThumbnailsTest : public QObject {
    Q_OBJECT
private slots:
    void boxAndSliderSizeTheRows() {
        ThumbForm f;
        QVERIFY(!f.toggle().isChecked());
        QCOMPARE(f.slider().minimum(), 1);
        QCOMPARE(f.slider().maximum(), 40);
        QCOMPARE(f.slider().value(), 10);
        const int fontRow = f.rowHeight();
        QVERIFY(fontRow < 40);
        QCOMPARE(f.thumbColumnWidth(), 64);

        f.toggle().click();
        QCOMPARE(QXAppSettings::instance().showThumbnail, 1);
        static const struct {
            int position, rowHeight, columnWidth;
        } cases[] = {{10, 60, 108}, {40, 240, 288}, {1, 40, 88}, {20, 120, 168}};
        for (const auto& c : cases) {
            f.slider().setValue(c.position);
            QCOMPARE(f.rowHeight(), c.rowHeight);
            QCOMPARE(f.thumbs().rowHeight(), c.rowHeight);
            QCOMPARE(f.thumbColumnWidth(), c.columnWidth);
        }

        f.toggle().click();
        QCOMPARE(QXAppSettings::instance().showThumbnail, 0);
        QCOMPARE(f.rowHeight(), fontRow);
        QCOMPARE(f.thumbs().rowHeight(), -1);
        QCOMPARE(f.thumbColumnWidth(), 64);
    }

    void theStoredSettingShowsAtStart() {
        ThumbForm f(true);
        QVERIFY(f.toggle().isChecked());
        QCOMPARE(f.rowHeight(), 60);
        QCOMPARE(f.thumbColumnWidth(), 108);
    }

    void picturesOfAFolderAppear() {
        test::TempDir dir;
        ThumbForm f;
        const QXFileList files = redPictures(dir, 6, 640, 320);
        f.view().showResults(files, false, false);
        QTest::qWait(50);
        // Without thumbnails nothing is asked for.
        QVERIFY(!f.thumbs().workerRunning());
        QVERIFY(!loaded(files[0]));

        f.toggle().click();
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(files.begin(), files.end(), [](const auto& file) { return loaded(file); }),
            60000);

        // Kept at most at twice the largest cell (576 x 480 here), drawn into the cell
        // within its margins: red in the middle, the row's background at the corner.
        const QXThumbHolder& holder = *holderOf(files[0]);
        QCOMPARE(holder.bitmap().width, 576);
        QCOMPARE(holder.bitmap().height, 288);
        QCOMPARE(holder.sourceWidth(), 640);
        QTRY_VERIFY(isRed(f.centreOf(0)));
        QVERIFY(!isRed(f.cornerOf(0)));

        // Off: the cells are empty, the pictures stay; on again, they show at once.
        f.toggle().click();
        QVERIFY(!isRed(f.centreOf(0)));
        QVERIFY(loaded(files[0]));
        f.toggle().click();
        QVERIFY(isRed(f.centreOf(0)));

        f.view().aboutToClose();
        QVERIFY(!f.thumbs().workerRunning());
    }

    void aSlowPictureHoldsUpNothingButItsCell() {
        test::TempDir dir;
        ThumbForm f;
        const QXFileList files = redPictures(dir, 5, 8, 8);
        GatedLoader gate;
        f.thumbs().setLoader(gate.loader());
        f.view().showResults(files, false, false);
        f.toggle().click();
        QTRY_VERIFY_WITH_TIMEOUT(gate.entered(), 10000);

        // The worker is stuck in its first picture; the window is not.
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(100);
        f.slider().setValue(40);
        QCOMPARE(f.rowHeight(), 240);
        QCOMPARE(f.thumbColumnWidth(), 288);
        f.slider().setValue(10);
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY(!isRed(f.centreOf(0)));
        QTRY_COMPARE(f.thumbs().waitingRequests(), size_t(files.size() - 1));

        gate.release();
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(files.begin(), files.end(), [](const auto& file) { return loaded(file); }),
            10000);
        QTRY_VERIFY(isRed(f.centreOf(0)));
        QTRY_VERIFY(isRed(f.centreOf(4)));
        // Each record was asked for once, however often its row was drawn.
        QCOMPARE(gate.calls(), int(files.size()));
        f.view().aboutToClose();
    }

    void newResultsDropTheWaitingRequests() {
        test::TempDir dir;
        ThumbForm f;
        const QXFileList first = redPictures(dir, 5, 8, 8);
        GatedLoader gate;
        f.thumbs().setLoader(gate.loader());
        f.view().showResults(first, false, false);
        f.toggle().click();
        QTRY_VERIFY_WITH_TIMEOUT(gate.entered(), 10000);
        QTRY_COMPARE(f.thumbs().waitingRequests(), size_t(4));

        const QXFileList second = {QXFileInfo::fromPath(dir.createFile("second.txt", "x"))};
        f.view().showResults(second, false, false);
        QCOMPARE(f.thumbs().waitingRequests(), size_t(0));
        // The dropped records may be asked for again when they are shown again.
        QVERIFY(!holderOf(first[4])->queued());

        // Closing while the worker is stuck in a picture waits for that one only.
        gate.release();
        f.view().aboutToClose();
        QVERIFY(!f.thumbs().workerRunning());
        QVERIFY(gate.calls() <= 2);
    }
};

QX_UI_TEST(ThumbnailsTest);

#include "thumbnails_test.moc"
