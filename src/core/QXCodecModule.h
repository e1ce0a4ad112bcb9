// The codec module, libcvcodecs.so (src/modules/cvcodecs): OpenCV's picture decoders and
// its video reader. They pull in a few hundred shared libraries (GDAL, HEIF, FFmpeg,
// GStreamer, ...), so the program does not link them: the module is loaded the first time
// a picture needs OpenCV or a video is read, and stays loaded to the end of the process
// (OpenCV keeps threads and state of its own).
//
// The module exports three C functions, named below:
//
//   int QXCodecInterface();
//       kCodecInterface; a module answering anything else is not used.
//   int QXCodecDecodePicture(const uint8_t* data, size_t size, cv::Mat* image);
//       decodes a picture held in memory into 8-bit BGR (cv::IMREAD_COLOR); 1 when a
//       picture came out, else 0 with `image` empty.
//   int QXCodecReadVideo(const char* path, QXCodecVideo* video);
//       opens the file with OpenCV's FFmpeg back end and fills `video`; 1 when it opened
//       as a video whose container names a codec (a four-character code), else 0.
//
// Nothing throws across the boundary. Both sides use the one libopencv_core, so a matrix
// made in the module is allocated by the program's default allocator (and the decoding
// thread's limit on matrix sizes applies inside the module too) and freed by either side.
//
// The host functions below are thread-safe: the module is looked for once, under
// std::call_once; its entry points may be called from any thread at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cv {
class Mat;
}

namespace quenrix {

inline constexpr int kCodecInterface = 1;
inline constexpr const char* kCodecModuleName = "libcvcodecs.so";
inline constexpr const char* kCodecInterfaceName = "QXCodecInterface";
inline constexpr const char* kCodecDecodePictureName = "QXCodecDecodePicture";
inline constexpr const char* kCodecReadVideoName = "QXCodecReadVideo";

// A video's properties as OpenCV reports them. Width and height are those of the first
// frame; both 0 when no frame with pixels could be read.
struct QXCodecVideo {
    double fourcc = 0;
    double framesPerSecond = 0;
    double frameCount = 0;
    int32_t width = 0;
    int32_t height = 0;
};

using QXCodecInterfaceFn = int (*)();
using QXCodecDecodePictureFn = int (*)(const uint8_t* data, size_t size, cv::Mat* image);
using QXCodecReadVideoFn = int (*)(const char* path, QXCodecVideo* video);

// The entry points of a loaded module.
struct QXCodecEntries {
    QXCodecDecodePictureFn decodePicture = nullptr;
    QXCodecReadVideoFn readVideo = nullptr;
};

// Loads kCodecModuleName from `folder`. False, with the reason in `error`, when the file
// is missing or no regular file, cannot be loaded, lacks an export or speaks another
// interface. A module once opened is never closed.
bool LoadCodecModule(const std::string& folder, QXCodecEntries& entries, std::string& error);

// The program's module: on the first call looked for beside the executable, then in the
// folder the build put it in; null when neither holds a usable one (one log line says so).
const QXCodecEntries* CodecModule();

// Decodes through the module; false when it is missing or decoded nothing.
bool CodecDecodePicture(const uint8_t* data, size_t size, cv::Mat& image);
// Reads a video's properties through the module; false when it is missing or the file
// did not open as a video with a codec.
bool CodecReadVideo(const std::string& path, QXCodecVideo& video);

}  // namespace quenrix
