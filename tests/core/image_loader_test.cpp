// The picture decoders and their order: sizes through stb_image, the plug-ins and
// OpenCV, bitmaps in blue-green-red order, the width cut of OpenCV bitmaps, the
// analysis image, and the files no decoder may read (empty, links, forged headers,
// pictures above the size limit).
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include <opencv2/imgcodecs.hpp>

#include "core/PictureFixtures.h"
#include "core/QXFileExtras.h"
#include "core/QXFileInfo.h"
#include "core/QXImageLoader.h"
#include "core/QXThumbHolder.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

using test::LogCapture;
using test::TempDir;
using test::TestPlugins;

std::wstring wide(const std::string& path) {
    return tovy::fromUtf8(path);
}

// How many of the process's descriptors are open on `path`.
int descriptorsOn(const std::string& path) {
    int count = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) return -1;
    while (const dirent* e = ::readdir(dir)) {
        char target[4096];
        const std::string link = std::string("/proc/self/fd/") + e->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, size_t(n)) == path) ++count;
    }
    ::closedir(dir);
    return count;
}

QXFileInfoPtr recordFor(const std::string& path) {
    QXFileInfoPtr file = QXFileInfo::fromPath(path);
    EXPECT_TRUE(file) << path;
    return file;
}

class ImageLoaderTest : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(ImageLoaderTest, EachFormatGetsItsSizeFromTheFirstDecoderThatReadsIt) {
    TestPlugins plugins;
    struct {
        const char* name;
        std::string bytes;  // empty: written by OpenCV
        int width, height;
    } cases[] = {
        {"photo.png", "", 64, 48},
        {"photo.jpg", "", 33, 17},
        {"only-opencv.ras", "", 640, 480},
        {"only-plugin.bin", test::qxpicBytes(5, 3), 5, 3},
    };
    for (const auto& c : cases) {
        const std::string path = c.bytes.empty()
                                     ? test::writePicture(dir, c.name, c.width, c.height)
                                     : dir.createFile(c.name, c.bytes);
        QXFileInfoPtr file = recordFor(path);
        ASSERT_TRUE(EnsureImageSize(*file)) << c.name;
        EXPECT_EQ(file->imageWidth, c.width) << c.name;
        EXPECT_EQ(file->imageHeight, c.height) << c.name;
        EXPECT_TRUE(file->hasFlag(QXFileInfo::kImageSize)) << c.name;
        EXPECT_EQ(descriptorsOn(path), 0) << c.name;
    }
    // The Sun raster picture is really one that only OpenCV reads.
    EXPECT_FALSE(DecodeToBitmap(wide(dir / "only-opencv.ras")));
    EXPECT_FALSE(ReadWithOpenCv(wide(dir / "only-plugin.bin")).data);
}

TEST_F(ImageLoaderTest, PngSizeComesFromStbAndTheFileIsClosedAtOnce) {
    const std::string path = test::writePicture(dir, "a.png", 20, 10);
    QXFileInfoPtr file = recordFor(path);
    ASSERT_TRUE(EnsureImageSize(*file));
    EXPECT_EQ(descriptorsOn(path), 0);
    ASSERT_EQ(::unlink(path.c_str()), 0);
    // Known now, the size is not asked again.
    EXPECT_TRUE(EnsureImageSize(*file));
    EXPECT_EQ(file->imageWidth, 20);
}

TEST_F(ImageLoaderTest, UnreadableFilesGetNoSizeAndOneLogLineEachTime) {
    // No plug-in: the QXPIC file is unreadable.
    tovy::support_susie::pluginHost().UnloadAll();
    struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty.png", ""},
        {"text.jpg", "not a picture at all"},
        {"only-plugin.bin", test::qxpicBytes(5, 3)},
        {"名前 100%s.png", "x"},
    };
    for (const auto& c : cases) {
        LogCapture log(dir);
        const std::string path = dir.createFile(c.name, c.bytes);
        QXFileInfoPtr file = recordFor(path);
        file->imageWidth = 9;
        file->imageHeight = 9;
        EXPECT_FALSE(EnsureImageSize(*file)) << c.name;
        EXPECT_EQ(file->imageWidth, 0) << c.name;
        EXPECT_EQ(file->imageHeight, 0) << c.name;
        EXPECT_FALSE(file->hasFlag(QXFileInfo::kImageSize)) << c.name;
        EXPECT_FALSE(EnsureImageSize(*file)) << c.name;
        EXPECT_EQ(log.messages(), (std::vector<std::wstring>{wide(path), wide(path)})) << c.name;
        ::unlink((dir / "capture.log").c_str());
    }
}

TEST_F(ImageLoaderTest, OnlyTheRecordedRegularFileIsRead) {
    const std::string picture = test::writePicture(dir, "real.png", 8, 8);
    ASSERT_EQ(::symlink(picture.c_str(), (dir / "link.png").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo.png").c_str(), 0600), 0);
    for (const char* name : {"link.png", "fifo.png"}) {
        QXFileInfoPtr file = recordFor(dir / name);
        EXPECT_FALSE(EnsureImageSize(*file)) << name;
        EXPECT_FALSE(DecodeToBitmap(wide(dir / name))) << name;
        EXPECT_TRUE(ReadWithOpenCv(wide(dir / name)).empty()) << name;
        EXPECT_TRUE(LoadAnalysisImage(*file).empty()) << name;
    }
    // A record whose file was replaced by another one under the same name.
    QXFileInfoPtr file = recordFor(picture);
    const std::string other = test::writePicture(dir, "other.png", 8, 8);
    ASSERT_EQ(::rename(other.c_str(), picture.c_str()), 0);
    EXPECT_FALSE(EnsureImageSize(*file));
    EXPECT_TRUE(LoadAnalysisImage(*file).empty());
    EXPECT_TRUE(DecodeToBitmap(wide(picture)));  // by path alone it is just a picture
}

TEST_F(ImageLoaderTest, BitmapsAreTopDownBlueGreenRed) {
    const std::string png = test::writePicture(dir, "a.png", 5, 3);
    auto bitmap = DecodeToBitmap(wide(png));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->width, 5);
    EXPECT_EQ(bitmap->height, 3);
    EXPECT_EQ(bitmap->stride, 16);  // 15 bytes padded to 16
    const uint8_t* lastRow = bitmap->row(2);
    EXPECT_EQ(lastRow[3 * 4 + 0], 4);    // blue = x
    EXPECT_EQ(lastRow[3 * 4 + 1], 2);    // green = y
    EXPECT_EQ(lastRow[3 * 4 + 2], 200);  // red

    cv::Mat analysis = BitmapToAnalysisImage(*bitmap);
    ASSERT_EQ(analysis.type(), CV_8UC3);
    EXPECT_EQ(analysis.cols, 5);
    EXPECT_EQ(analysis.rows, 3);
    EXPECT_EQ(analysis.at<cv::Vec3b>(2, 4), cv::Vec3b(4, 2, 200));
    EXPECT_TRUE(BitmapToAnalysisImage(QXBitmap()).empty());
}

TEST_F(ImageLoaderTest, OpenCvBitmapsAreCutToAMultipleOfFourColumns) {
    struct {
        int cols;
        int expectedWidth;  // 0: none
    } cases[] = {{1001, 1000}, {1000, 1000}, {7, 4}, {4, 4}, {3, 0}};
    for (const auto& c : cases) {
        const cv::Mat mat(6, c.cols, CV_8UC3, cv::Scalar(1, 2, 3));
        auto bitmap = MatToBitmap(mat);
        if (c.expectedWidth == 0) {
            EXPECT_FALSE(bitmap) << c.cols;
            continue;
        }
        ASSERT_TRUE(bitmap) << c.cols;
        EXPECT_EQ(bitmap->width, c.expectedWidth) << c.cols;
        EXPECT_EQ(bitmap->height, 6) << c.cols;
        EXPECT_EQ(bitmap->stride, c.expectedWidth * 3) << c.cols;
        EXPECT_EQ(bitmap->row(5)[0], 1) << c.cols;
        EXPECT_EQ(bitmap->row(5)[2], 3) << c.cols;
    }
    // Other layouts come out as 8-bit blue, green, red.
    struct {
        const char* name;
        cv::Mat mat;
        uint8_t b, g, r;
    } layouts[] = {
        {"grey", cv::Mat(2, 4, CV_8UC1, cv::Scalar(9)), 9, 9, 9},
        {"with alpha", cv::Mat(2, 4, CV_8UC4, cv::Scalar(1, 2, 3, 4)), 1, 2, 3},
        {"16 bit", cv::Mat(2, 4, CV_16UC3, cv::Scalar(256, 512, 65535)), 1, 2, 255},
    };
    for (const auto& l : layouts) {
        auto bitmap = MatToBitmap(l.mat);
        ASSERT_TRUE(bitmap) << l.name;
        EXPECT_EQ(bitmap->row(1)[0], l.b) << l.name;
        EXPECT_EQ(bitmap->row(1)[1], l.g) << l.name;
        EXPECT_EQ(bitmap->row(1)[2], l.r) << l.name;
    }
    EXPECT_FALSE(MatToBitmap(cv::Mat()));
}

TEST_F(ImageLoaderTest, AnalysisImageFollowsTheDecoderChain) {
    TestPlugins plugins;
    // stb_image keeps the full width; through OpenCV 1001 columns become 1000.
    const std::string png = test::writePicture(dir, "wide.png", 1001, 2);
    const std::string ras = test::writePicture(dir, "wide.ras", 1001, 2);
    EXPECT_EQ(LoadAnalysisImage(*recordFor(png)).cols, 1001);
    cv::Mat throughOpenCv = LoadAnalysisImage(*recordFor(ras));
    ASSERT_EQ(throughOpenCv.type(), CV_8UC3);
    EXPECT_EQ(throughOpenCv.cols, 1000);
    EXPECT_EQ(throughOpenCv.rows, 2);

    // A plug-in picture only for a record whose thumbnail holder has not loaded yet.
    const std::string qxpic = dir.createFile("p.bin", test::qxpicBytes(6, 2));
    QXFileInfoPtr bare = recordFor(qxpic);
    EXPECT_TRUE(LoadAnalysisImage(*bare).empty());
    QXFileInfoPtr waiting = recordFor(qxpic);
    waiting->extras().thumb = std::make_shared<QXThumbHolder>();
    cv::Mat fromPlugin = LoadAnalysisImage(*waiting);
    ASSERT_EQ(fromPlugin.cols, 6);
    ASSERT_EQ(fromPlugin.rows, 2);
    EXPECT_EQ(fromPlugin.at<cv::Vec3b>(1, 5), cv::Vec3b(5, 1, 7));
    waiting->extras().thumb->loaded = true;
    EXPECT_TRUE(LoadAnalysisImage(*waiting).empty());
}

TEST_F(ImageLoaderTest, ForgedHugeHeadersAreRefusedWithoutDecoding) {
    struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"claims-30000.png", test::pngHeaderBytes(30000, 30000)},
        {"claims-16000.png", test::pngHeaderBytes(16000, 16000)},
        {"30000-square.tif", test::tiffSharedStrips(30000, 30000, 0)},
        {"claims-30000.qxpic", test::qxpicBytes(30000, 30000, false)},
    };
    TestPlugins plugins;
    for (const auto& c : cases) {
        const std::string path = dir.createFile(c.name, c.bytes);
        const auto start = std::chrono::steady_clock::now();
        QXFileInfoPtr file = recordFor(path);
        file->extras().thumb = std::make_shared<QXThumbHolder>();
        EXPECT_FALSE(EnsureImageSize(*file)) << c.name;
        EXPECT_FALSE(DecodeToBitmap(wide(path))) << c.name;
        EXPECT_TRUE(ReadWithOpenCv(wide(path)).empty()) << c.name;
        EXPECT_TRUE(LoadAnalysisImage(*file).empty()) << c.name;
        EXPECT_FALSE(tovy::support_susie::pluginHost().LoadPicture(wide(path))) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.name;
    }
}

TEST_F(ImageLoaderTest, OpenCvCannotAllocateAPictureAboveTheLimit) {
    // Both files are complete pictures that OpenCV decodes; the second has 256 million
    // pixels in 260 KB. Refused, it costs no memory; decoded, it would take 768 MB.
    const std::string small = dir.createFile("small.tif", test::tiffSharedStrips(63, 40, 77));
    cv::Mat image = ReadWithOpenCv(wide(small));
    ASSERT_EQ(image.cols, 63);
    ASSERT_EQ(image.rows, 40);
    EXPECT_EQ(image.at<cv::Vec3b>(39, 62), cv::Vec3b(77, 77, 77));

    const std::string bomb = dir.createFile("bomb.tif", test::tiffSharedStrips(16000, 16000, 77));
    EXPECT_TRUE(ReadWithOpenCv(wide(bomb)).empty());
    QXFileInfoPtr file = recordFor(bomb);
    EXPECT_FALSE(EnsureImageSize(*file));
    // Outside the decoding calls large matrices are as possible as ever.
    cv::Mat large(16000, 16000, CV_8UC1);
    EXPECT_FALSE(large.empty());
}

}  // namespace
}  // namespace quenrix
