// Pictures as sizes, bitmaps and analysis images, through three decoders tried in a
// fixed order: stb_image, OpenCV, and the picture plug-ins (tovy/support_susie).
//
// Every decoder reads the file the safe way (tovy/support_susie/PictureFile.h): opened
// without following a link, only a regular file, for a record only the file with the
// record's device and inode, read with pread. A picture above 250 megapixels is treated
// as one no decoder reads: its header is checked before anything is decoded, and while
// OpenCV decodes no matrix above that size can be allocated, so a decompression bomb
// cannot exhaust the memory. OpenCV decodes from the file's bytes in memory (files up to
// 1 GiB that start like a picture format OpenCV knows), never by name.
//
// Safe to call from several threads at once (the plug-ins are entered under their
// list's mutex); a record is touched only by the thread that owns it at the time.
#pragma once

#include <optional>
#include <string>

#include <opencv2/core.hpp>

#include "core/QXBitmap.h"
#include "platform/FileStat.h"

namespace quenrix {

class QXFileInfo;

// Makes the record's image width and height known (the kImageSize mark); true on
// success. A file no decoder reads gets 0 × 0, one log line with its path, and the mark
// stays clear.
bool EnsureImageSize(QXFileInfo& file);

// stb_image decoding into a bitmap; none when it fails. `expected`, when given, is the
// file the caller found: another file at that path (other device or inode) is not read.
std::optional<QXBitmap> DecodeToBitmap(const std::wstring& path,
                                       const platform::FileStat* expected = nullptr);

// OpenCV decoding, colour mode (8-bit, three channels); an empty matrix when it fails.
cv::Mat ReadWithOpenCv(const std::wstring& path, const platform::FileStat* expected = nullptr);

// A matrix as a bitmap, its width cut down to a multiple of 4 (resized, linear); none when
// nothing is left. Matrices of 1, 3 or 4 channels; depths other than 8 bits are brought
// to 8 bits (16-bit values divided by 256).
std::optional<QXBitmap> MatToBitmap(const cv::Mat& mat);

// A bitmap as an 8-bit three-channel image of its size (empty for an empty bitmap).
cv::Mat BitmapToAnalysisImage(const QXBitmap& bitmap);

// The image the similar-image rule analyses: stb_image, then OpenCV, then a plug-in
// (only for a record whose thumbnail holder has not loaded yet); empty when none reads it.
cv::Mat LoadAnalysisImage(QXFileInfo& file);

}  // namespace quenrix
