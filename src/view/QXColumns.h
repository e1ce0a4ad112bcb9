// The column catalogue of the result list: each column type's key, header text, default
// width, cell text and sort rule; the two settings that keep the layout ("Columns" and
// "ColumnWidth"); and the result list's sort, which keeps duplicate groups together.
// Plain functions over records, no Qt. Not thread-safe: records are read, except that
// the Exif, ID3 and video cells (and their sort and export) read the file's metadata
// into the record on first need, and the sort reorders the list it is given; call them
// on the thread that owns the records (the user-interface thread after a search).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/QXFileInfo.h"

namespace quenrix {

enum QXColumnType : int32_t {
    kColFileName = 0,
    kColPath = 1,
    kColFileSize = 2,
    kColCreateTime = 3,
    kColUpdateTime = 4,
    kColAccessTime = 5,
    kColImageSize = 6,
    kColCrc32 = 7,
    kColMd5 = 8,
    kColSha1 = 9,
    kColSha256 = 10,
    kColSha512 = 11,
    kColExifMake = 12,
    kColExifModel = 13,
    kColExifSoftware = 14,
    kColExifComment = 15,
    kColExifCopyright = 16,
    kColExifDateTime = 17,
    kColExifWidth = 18,
    kColExifHeight = 19,
    kColExifAperture = 20,
    kColExifShutterSpeed = 21,
    kColExifIsoSpeed = 22,
    kColExifExposureProgram = 23,
    kColExifExposureMode = 24,
    kColExifFlash = 25,
    kColExifWhiteBalance = 26,
    kColExifLightSource = 27,
    kColExifMeteringMode = 28,
    kColId3Channels = 29,
    kColId3BitRate = 30,
    kColId3SampleRate = 31,
    kColId3Track = 32,
    kColId3Year = 33,
    kColId3Length = 34,
    kColId3Artist = 35,
    kColId3Title = 36,
    kColId3Album = 37,
    kColId3Genre = 38,
    kColId3Comment = 39,
    kColCodec = 40,
    kColHash = 41,
    kColVideoWidth = 42,
    kColVideoHeight = 43,
    kColVideoLength = 44,
    kColThumbnail = 45,
    kColGroup = 46,
    kColFlags = 47,
};

// Types 0 to 45 can be shown and stored in the settings; 46 and 47 exist for CSV only.
constexpr int32_t kShownColumnTypes = 46;
constexpr int32_t kAllColumnTypes = 48;

// "FileName", "Path", … "Group", "Flags"; empty outside 0 to 47.
std::wstring_view columnKey(int32_t type);
// "ファイル名", "パス", …; empty outside 0 to 47.
std::wstring_view columnHeader(int32_t type);
// The type whose key equals `key` exactly (case-sensitive) among the first `limit`
// types, or -1.
int32_t columnTypeOfKey(std::wstring_view key, int32_t limit = kAllColumnTypes);
// Whether the cell is right-aligned (sizes and numbers).
bool columnIsNumeric(int32_t type);

// The text a default width is measured from ("000,000,000,000", "0000/00/00 00:00",
// "00000x00000", "wwww", 29 letters w), or empty when the default is a fixed 100 units.
std::wstring_view columnWidthSample(int32_t type);

// The cell text of the result list; empty for an unknown type. Names and paths keep the
// units that stand for undecodable bytes (see displayText for showing them). Exif, ID3
// and video cells read the record's metadata when it has none yet (rule/QXMetadataFetch.h);
// they are empty when the file gave no such object, and number cells also when the value
// is missing or negative. The Exif shutter speed is the
// denominator of "ExposureTime" stored as a fraction, or the number itself when stored
// as an integer (as an import gives it); the shooting time is "DateTime" read in any of
// the date forms of tovy/TovDate.h.
std::wstring formatColumnText(int32_t type, const QXFileInfo& file);
// The text the CSV export writes: the cell text except shutter speed as its number, the
// six Exif codes as numbers, the ID3 length as whole seconds, and the file size as a
// byte-size text ("1.17 MB") when sizeWithUnit.
std::wstring exportColumnText(int32_t type, const QXFileInfo& file, bool sizeWithUnit);
// The sort rule of the type: <0 when a sorts before b. Text columns compare their cell
// texts without regard to case; sizes, times, image sizes, the shooting time and the
// number columns compare values, a record without a value after one with it (for numbers:
// a value of 0 or more, then a negative or missing value, then no object).
int compareColumn(int32_t type, const QXFileInfo& a, const QXFileInfo& b);

// "%d:%02d" below an hour, else "%d:%02d:%02d"; a negative count as 0.
std::wstring formatDuration(int64_t seconds);
// One to three significant digits with B, KB, MB, GB or TB in powers of 1024:
// 999 → "999 B", 1536 → "1.50 KB", 1234567 → "1.17 MB". The unit is the smallest in
// which the value stays below 1000 (TB at most), so 1000 → "0.97 KB"; digits are cut,
// not rounded.
std::wstring formatByteSize(uint64_t size);
// The exposure-program, exposure-mode, flash, white-balance, light-source and
// metering-mode names; empty for an unlisted code.
std::wstring_view exposureProgramName(int32_t code);
std::wstring_view exposureModeName(int32_t code);
std::wstring_view flashName(int32_t code);
std::wstring_view whiteBalanceName(int32_t code);
std::wstring_view lightSourceName(int32_t code);
std::wstring_view meteringModeName(int32_t code);

// The layout: the shown column types from left to right.
using QXColumnLayout = std::vector<int32_t>;
// "Columns": keys separated by ","; unknown and repeated keys are skipped, so there are
// at most 46 entries; a text without any usable key gives the file-name column alone.
QXColumnLayout parseColumnLayout(std::wstring_view text);
std::wstring formatColumnLayout(const QXColumnLayout& layout);

// The remembered widths of types 0 to 45; -1 means the default.
using QXColumnWidths = std::array<int32_t, kShownColumnTypes>;
// "ColumnWidth": key,width pairs; keys without regard to case, widths read like _wtoi
// (not a number is 0); a width below -1 counts as -1.
QXColumnWidths parseColumnWidths(std::wstring_view text);
// All 46 pairs in type order.
std::wstring formatColumnWidths(const QXColumnWidths& widths);

// Sorts the results: by group number, ascending, and within each run of one group number
// by the column's rule, reversed when descending. Stable in both directions: records the
// rule holds equal keep their order. Each record's sort key is formed once per sort, not
// once per comparison.
void sortResults(QXFileList& files, int32_t type, bool ascending);

}  // namespace quenrix
