// Pictures as sizes, bitmaps and analysis images, through three decoders tried in a
// fixed order: stb_image, OpenCV, and the picture plug-ins (tovy/support_susie).
// Safe to call from several threads at once (the plug-ins are entered under their
// list's mutex); a record is touched only by the thread that owns it at the time.
#pragma once

#include <optional>
#include <string>

#include <opencv2/core.hpp>

#include "core/QXBitmap.h"

namespace quenrix {

class QXFileInfo;

// Makes the record's image width and height known (the kImageSize mark); true on
// success. A file no decoder reads gets 0 × 0, one log line with its path, and the mark
// stays clear.
bool EnsureImageSize(QXFileInfo& file);

// stb_image decoding into a bitmap; none when it fails.
std::optional<QXBitmap> DecodeToBitmap(const std::wstring& path);

// OpenCV decoding, colour mode (8-bit, three channels); an empty matrix when it fails.
cv::Mat ReadWithOpenCv(const std::wstring& path);

// A matrix as a bitmap, its width cut down to a multiple of 4; none when nothing is left.
std::optional<QXBitmap> MatToBitmap(const cv::Mat& mat);

// A bitmap as an 8-bit three-channel image of its size.
cv::Mat BitmapToAnalysisImage(const QXBitmap& bitmap);

// The image the similar-image rule analyses: stb_image, then OpenCV, then a plug-in
// (only for a record whose thumbnail holder has not loaded yet); empty when none reads it.
cv::Mat LoadAnalysisImage(QXFileInfo& file);

}  // namespace quenrix
