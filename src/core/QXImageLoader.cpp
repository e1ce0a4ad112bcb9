#include "core/QXImageLoader.h"

#include <stb_image.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "core/QXCodecModule.h"
#include "core/QXFileExtras.h"
#include "core/QXFileInfo.h"
#include "core/QXLog.h"
#include "core/QXThumbHolder.h"
#include "tovy/TovUtf8.h"
#include "tovy/support_susie/PictureFile.h"
#include "tovy/support_susie/PluginManager.h"

namespace quenrix {

namespace {

using tovy::support_susie::kMaxPicturePixels;
using tovy::support_susie::PictureFile;
using tovy::support_susie::pictureSizeAllowed;

// ---- OpenCV's allocations while it decodes ----------------------------------------
//
// OpenCV reads a picture's header and then allocates the whole matrix before it decodes
// a single row, trusting whatever size the header claims. Its own guard (one gigapixel
// by default, set by environment variables read when the library loads) lets a forged
// header take several gigabytes. So every matrix goes through this allocator, which, on
// a thread that is decoding a file for us, refuses any matrix above the picture limit;
// the refusal surfaces as a cv::Exception inside the decoding call. On every other
// thread, and outside the decoding calls, it only passes the request on. The decoders
// run in the codec module (core/QXCodecModule.h), which shares the one libopencv_core
// and so this allocator, and which turns the exception into a failed decoding.

thread_local bool t_limitMatrices = false;

class LimitingMatAllocator final : public cv::MatAllocator {
public:
    explicit LimitingMatAllocator(cv::MatAllocator* next) : m_next(next) {}

    cv::UMatData* allocate(int dims, const int* sizes, int type, void* data, size_t* step,
                           cv::AccessFlag flags, cv::UMatUsageFlags usage) const override {
        if (t_limitMatrices && !data) {
            uint64_t elements = 1;
            for (int i = 0; i < dims; ++i) {
                if (sizes[i] <= 0) break;
                if (__builtin_mul_overflow(elements, uint64_t(sizes[i]), &elements) ||
                    elements > kMaxPicturePixels) {
                    CV_Error(cv::Error::StsNoMem, "picture above the size limit");
                }
            }
        }
        return m_next->allocate(dims, sizes, type, data, step, flags, usage);
    }
    bool allocate(cv::UMatData* data, cv::AccessFlag flags,
                  cv::UMatUsageFlags usage) const override {
        return m_next->allocate(data, flags, usage);
    }
    void deallocate(cv::UMatData* data) const override { m_next->deallocate(data); }

private:
    cv::MatAllocator* m_next;
};

// Installed while the program loads, before any thread exists: the allocator pointer is
// not guarded by OpenCV. Matrices made by the standard allocator name it as theirs, so
// they are freed through it whichever allocator is the default.
struct AllocatorInstaller {
    AllocatorInstaller() {
        static LimitingMatAllocator limiting(cv::Mat::getStdAllocator());
        cv::Mat::setDefaultAllocator(&limiting);
    }
};
const AllocatorInstaller g_installAllocator;

class MatrixLimit {
public:
    MatrixLimit() { t_limitMatrices = true; }
    ~MatrixLimit() { t_limitMatrices = false; }
    MatrixLimit(const MatrixLimit&) = delete;
    MatrixLimit& operator=(const MatrixLimit&) = delete;
};

// ---- stb_image over an open file ----------------------------------------------------

int stbRead(void* user, char* data, int size) {
    const ssize_t n = static_cast<PictureFile*>(user)->readNext(data, size_t(size));
    return n < 0 ? 0 : int(n);
}
void stbSkip(void* user, int n) {
    static_cast<PictureFile*>(user)->skip(n);
}
int stbEof(void* user) {
    return static_cast<PictureFile*>(user)->atEnd() ? 1 : 0;
}
const stbi_io_callbacks kStbCallbacks = {&stbRead, &stbSkip, &stbEof};

// The picture's size from its header; false when stb_image does not know the format or
// the picture is above the limit.
bool stbSize(PictureFile& file, int32_t* width, int32_t* height) {
    file.rewind();
    int w = 0, h = 0, components = 0;
    if (!stbi_info_from_callbacks(&kStbCallbacks, &file, &w, &h, &components)) return false;
    if (!pictureSizeAllowed(w, h)) return false;
    *width = w;
    *height = h;
    return true;
}

std::optional<QXBitmap> stbDecode(PictureFile& file) {
    int32_t w = 0, h = 0;
    // The header first, so that a picture above the limit is never allocated.
    if (!stbSize(file, &w, &h)) return std::nullopt;
    file.rewind();
    int width = 0, height = 0, components = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_callbacks(&kStbCallbacks, &file, &width, &height, &components, 3),
        &stbi_image_free);
    if (!pixels || !pictureSizeAllowed(width, height)) return std::nullopt;
    QXBitmap bitmap = QXBitmap::make(width, height);
    const stbi_uc* src = pixels.get();
    for (int y = 0; y < height; ++y) {
        uint8_t* dst = bitmap.row(y);
        for (int x = 0; x < width; ++x, src += 3, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
    }
    return bitmap;
}

// ---- OpenCV over the file's bytes ---------------------------------------------------

bool startsWith(const uint8_t* data, size_t size, std::initializer_list<uint8_t> prefix) {
    return size >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data);
}

// Whether the file starts like one of the formats OpenCV reads. Only such a file is
// read into memory as a whole; a large file of any other kind (a video, a disc image)
// would cost its whole size for nothing.
bool looksLikeOpenCvPicture(const uint8_t* h, size_t n) {
    if (startsWith(h, n, {'B', 'M'})) return true;                                     // BMP
    if (startsWith(h, n, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) return true;  // PNG
    if (startsWith(h, n, {0xFF, 0xD8, 0xFF})) return true;                             // JPEG
    if (startsWith(h, n, {'I', 'I', 0x2A, 0x00}) || startsWith(h, n, {'M', 'M', 0x00, 0x2A}) ||
        startsWith(h, n, {'I', 'I', 0x2B, 0x00}) || startsWith(h, n, {'M', 'M', 0x00, 0x2B})) {
        return true;  // TIFF, BigTIFF
    }
    if (n >= 12 && std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WEBP", 4) == 0) {
        return true;
    }
    if (startsWith(h, n, {0x00, 0x00, 0x00, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A}) ||
        startsWith(h, n, {0xFF, 0x4F, 0xFF, 0x51})) {
        return true;  // JPEG 2000 file and code stream
    }
    if (n >= 2 && h[0] == 'P' && ((h[1] >= '1' && h[1] <= '7') || h[1] == 'F' || h[1] == 'f')) {
        return true;  // PBM, PGM, PPM, PAM, PFM
    }
    if (startsWith(h, n, {0x59, 0xA6, 0x6A, 0x95})) return true;  // Sun raster
    if (startsWith(h, n, {'#', '?'})) return true;                // Radiance HDR
    if (startsWith(h, n, {0x76, 0x2F, 0x31, 0x01})) return true;  // OpenEXR
    return false;
}

cv::Mat openCvDecode(PictureFile& file) {
    std::array<uint8_t, tovy::support_susie::kHeaderBytes> header;
    if (!file.readHeader(header) ||
        !looksLikeOpenCvPicture(header.data(),
                                size_t(std::min<uint64_t>(file.size(), header.size())))) {
        return cv::Mat();
    }
    std::vector<uint8_t> data;
    if (!file.readAll(data)) return cv::Mat();
    // A header stb_image understands is checked before OpenCV sees the bytes.
    int w = 0, h = 0, components = 0;
    if (stbi_info_from_memory(data.data(), int(std::min<size_t>(data.size(), INT32_MAX)), &w, &h,
                              &components) &&
        !pictureSizeAllowed(w, h)) {
        return cv::Mat();
    }
    cv::Mat image;
    {
        MatrixLimit limit;
        if (!CodecDecodePicture(data.data(), data.size(), image)) return cv::Mat();
    }
    if (image.empty() || image.type() != CV_8UC3 || !pictureSizeAllowed(image.cols, image.rows)) {
        return cv::Mat();
    }
    return image;
}

// The record's device and inode when it has them (records made from a path or by the
// enumeration always do).
const platform::FileStat* identityOf(const QXFileInfo& file) {
    const platform::FileStat& st = file.stat();
    return st.dev == 0 && st.ino == 0 ? nullptr : &st;
}

std::optional<QXBitmap> decodeToBitmap(const std::string& nativePath,
                                       const platform::FileStat* expected) {
    PictureFile file;
    if (!file.open(nativePath, expected)) return std::nullopt;
    return stbDecode(file);
}

cv::Mat readWithOpenCv(const std::string& nativePath, const platform::FileStat* expected) {
    PictureFile file;
    if (!file.open(nativePath, expected)) return cv::Mat();
    return openCvDecode(file);
}

}  // namespace

bool EnsureImageSize(QXFileInfo& file) {
    if (file.hasFlag(QXFileInfo::kImageSize)) return true;
    const platform::FileStat* expected = identityOf(file);
    int32_t width = 0, height = 0;
    bool known = false;
    {
        PictureFile picture;
        if (picture.open(file.nativePath(), expected)) known = stbSize(picture, &width, &height);
    }
    if (!known) {
        known = tovy::support_susie::pluginHost().ReadPictureSize(file.fullPath(), &width, &height,
                                                                  expected);
    }
    if (!known) {
        const cv::Mat image = readWithOpenCv(file.nativePath(), expected);
        if (!image.empty()) {
            width = image.cols;
            height = image.rows;
            known = true;
        }
    }
    if (!known) {
        file.imageWidth = 0;
        file.imageHeight = 0;
        QXLog::Write(L"%s", file.fullPath().c_str());
        return false;
    }
    file.imageWidth = width;
    file.imageHeight = height;
    file.addFlags(QXFileInfo::kImageSize);
    return true;
}

std::optional<QXBitmap> DecodeToBitmap(const std::wstring& path,
                                       const platform::FileStat* expected) {
    return decodeToBitmap(tovy::toUtf8(path), expected);
}

cv::Mat ReadWithOpenCv(const std::wstring& path, const platform::FileStat* expected) {
    return readWithOpenCv(tovy::toUtf8(path), expected);
}

std::optional<QXBitmap> MatToBitmap(const cv::Mat& mat) {
    if (mat.empty() || mat.dims != 2) return std::nullopt;
    try {
        cv::Mat bytes = mat;
        if (mat.depth() == CV_16U) {
            mat.convertTo(bytes, CV_8U, 1.0 / 256);
        } else if (mat.depth() != CV_8U) {
            mat.convertTo(bytes, CV_8U);
        }
        cv::Mat bgr;
        switch (bytes.channels()) {
            case 1:
                cv::cvtColor(bytes, bgr, cv::COLOR_GRAY2BGR);
                break;
            case 3:
                bgr = bytes;
                break;
            case 4:
                cv::cvtColor(bytes, bgr, cv::COLOR_BGRA2BGR);
                break;
            default:
                return std::nullopt;
        }
        // Rows of three-byte pixels end on a 4-byte boundary without fill bytes.
        const int width = bgr.cols / 4 * 4;
        if (width <= 0 || bgr.rows <= 0) return std::nullopt;
        cv::Mat sized = bgr;
        if (width != bgr.cols) {
            cv::resize(bgr, sized, cv::Size(width, bgr.rows), 0, 0, cv::INTER_LINEAR);
        }
        QXBitmap bitmap = QXBitmap::make(width, sized.rows);
        for (int y = 0; y < sized.rows; ++y) {
            std::memcpy(bitmap.row(y), sized.ptr<uint8_t>(y), size_t(width) * 3);
        }
        return bitmap;
    } catch (const cv::Exception&) {
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

cv::Mat BitmapToAnalysisImage(const QXBitmap& bitmap) {
    if (bitmap.empty()) return cv::Mat();
    cv::Mat image(bitmap.height, bitmap.width, CV_8UC3);
    for (int32_t y = 0; y < bitmap.height; ++y) {
        std::memcpy(image.ptr<uint8_t>(y), bitmap.row(y), size_t(bitmap.width) * 3);
    }
    return image;
}

cv::Mat LoadAnalysisImage(QXFileInfo& file) {
    const platform::FileStat* expected = identityOf(file);
    if (auto bitmap = decodeToBitmap(file.nativePath(), expected)) {
        return BitmapToAnalysisImage(*bitmap);
    }
    const cv::Mat image = readWithOpenCv(file.nativePath(), expected);
    if (!image.empty()) {
        if (auto bitmap = MatToBitmap(image)) return BitmapToAnalysisImage(*bitmap);
        return cv::Mat();
    }
    // A plug-in is asked only for a record whose thumbnail holder exists and has not
    // loaded its picture yet.
    const QXFileExtras* extras = file.extrasIfAny();
    if (extras && extras->thumb && !extras->thumb->bitmapLoaded()) {
        if (auto bitmap =
                tovy::support_susie::pluginHost().LoadPicture(file.fullPath(), nullptr, expected)) {
            return BitmapToAnalysisImage(*bitmap);
        }
    }
    return cv::Mat();
}

}  // namespace quenrix
