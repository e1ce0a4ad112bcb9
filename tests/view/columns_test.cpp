// The column catalogue: keys and headers, cell and export texts, the sort rules and the
// result sort, and the two layout settings.
#include "view/QXColumns.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/QXFileExtras.h"
#include "digest/QXDigest.h"
#include "platform/Times.h"

namespace quenrix {
namespace {

QXFileInfoPtr makeRecord(const std::string& path, uint64_t size = 0, int32_t group = 0) {
    platform::FileStat st;
    st.size = size;
    auto file = std::make_shared<QXFileInfo>(path, st);
    file->groupNumber = group;
    return file;
}

int64_t localNs(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute) {
    platform::SYSTEMTIME local{year, month, 0, day, hour, minute, 0, 0};
    platform::FILETIME ft;
    EXPECT_TRUE(platform::localSystemTimeToFileTime(local, ft));
    return platform::unixNsFromFileTime(ft);
}

QXExifHolder& exifOf(QXFileInfo& file) {
    auto& exif = file.extras().exif;
    if (!exif) exif = std::make_unique<QXExifHolder>();
    exif->ready = true;
    return *exif;
}

QXExifValue exifText(const wchar_t* text) {
    QXExifValue v;
    v.kind = QXExifValue::kText;
    v.text = text;
    return v;
}

QXExifValue exifInteger(int32_t value) {
    QXExifValue v;
    v.kind = QXExifValue::kInteger;
    v.integer = value;
    return v;
}

QXExifValue exifFraction(int32_t numerator, int32_t denominator) {
    QXExifValue v;
    v.kind = QXExifValue::kFraction;
    v.numerator = numerator;
    v.denominator = denominator;
    return v;
}

QXId3Holder& id3Of(QXFileInfo& file) {
    auto& id3 = file.extras().id3;
    if (!id3) id3 = std::make_unique<QXId3Holder>();
    id3->ready = true;
    return *id3;
}

QXVideoHolder& videoOf(QXFileInfo& file) {
    auto& video = file.extras().video;
    if (!video) video = std::make_unique<QXVideoHolder>();
    video->ready = true;
    return *video;
}

QXDigestRecord& digestsOf(QXFileInfo& file) {
    auto& digests = file.extras().digests;
    if (!digests) digests = std::make_unique<QXDigestRecord>();
    return *digests;
}

int sign(int value) {
    return value < 0 ? -1 : value > 0 ? 1 : 0;
}

std::vector<std::string> namesOf(const QXFileList& files) {
    std::vector<std::string> names;
    for (const auto& f : files) names.emplace_back(f->nativeName());
    return names;
}

TEST(ColumnsTest, KeysRoundTripThroughTheirTypes) {
    std::set<std::wstring> keys;
    for (int32_t type = 0; type < kAllColumnTypes; ++type) {
        const std::wstring_view key = columnKey(type);
        ASSERT_FALSE(key.empty()) << type;
        EXPECT_FALSE(columnHeader(type).empty()) << type;
        EXPECT_EQ(columnTypeOfKey(key), type) << type;
        EXPECT_TRUE(keys.emplace(key).second) << "repeated key of type " << type;
        EXPECT_EQ(columnTypeOfKey(key, kShownColumnTypes), type < kShownColumnTypes ? type : -1)
            << type;
    }
    for (int32_t type : {-1, kAllColumnTypes, 1000}) {
        EXPECT_TRUE(columnKey(type).empty()) << type;
        EXPECT_TRUE(columnHeader(type).empty()) << type;
    }
}

TEST(ColumnsTest, KeysAndHeaders) {
    static const struct {
        int32_t type;
        const wchar_t* key;
        const wchar_t* header;
    } cases[] = {
        {kColFileName, L"FileName", L"ファイル名"},
        {kColFileSize, L"FileSize", L"ファイルサイズ"},
        {kColCreateTime, L"Create time", L"作成時間"},
        {kColUpdateTime, L"Last updated time", L"最終更新時間"},
        {kColImageSize, L"Image size", L"画像サイズ"},
        {kColSha256, L"Sha2-256", L"Sha256"},
        {kColSha512, L"Sha2-512", L"Sha512"},
        {kColExifIsoSpeed, L"exif.isospeed", L"Exif:ISO 感度"},
        {kColExifMeteringMode, L"exif.meteringmode", L"Exif:測光モード"},
        {kColId3Track, L"id3.track", L"ID3:トラックNo"},
        {kColVideoLength, L"video.length", L"動画:長さ"},
        {kColThumbnail, L"Thumbnail", L"サムネイル"},
        {kColGroup, L"Group", L"Group"},
        {kColFlags, L"Flags", L"Flags"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(columnKey(c.type), c.key) << c.type;
        EXPECT_EQ(columnHeader(c.type), c.header) << c.type;
    }
    // Keys are matched exactly.
    for (const wchar_t* key : {L"filename", L"FileName ", L" Path", L"", L"Create  time"}) {
        EXPECT_EQ(columnTypeOfKey(key), -1) << key;
    }
}

TEST(ColumnsTest, WidthSamplesAndAlignment) {
    static const struct {
        int32_t type;
        const wchar_t* sample;
        bool numeric;
    } cases[] = {
        {kColFileName, L"", false},
        {kColFileSize, L"000,000,000,000", true},
        {kColAccessTime, L"0000/00/00 00:00", false},
        {kColExifDateTime, L"0000/00/00 00:00", false},
        {kColImageSize, L"00000x00000", true},
        {kColCrc32, L"wwww", false},
        {kColHash, L"wwwwwwwwwwwwwwwwwwwwwwwwwwwww", false},
        {kColSha1, L"wwwwwwwwwwwwwwwwwwwwwwwwwwwww", false},
        {kColExifFlash, L"", false},
        {kColId3BitRate, L"", true},
        {kColVideoWidth, L"", true},
        {kColId3Artist, L"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(columnWidthSample(c.type), c.sample) << c.type;
        EXPECT_EQ(columnIsNumeric(c.type), c.numeric) << c.type;
    }
}

TEST(ColumnsTest, Durations) {
    static const struct {
        int64_t seconds;
        const wchar_t* text;
    } cases[] = {
        {0, L"0:00"},           {5, L"0:05"},       {59, L"0:59"},      {60, L"1:00"},
        {3599, L"59:59"},       {3600, L"1:00:00"}, {3725, L"1:02:05"}, {86399, L"23:59:59"},
        {360000, L"100:00:00"}, {-5, L"0:00"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatDuration(c.seconds), c.text) << c.seconds;
}

TEST(ColumnsTest, ByteSizes) {
    static const struct {
        uint64_t size;
        const wchar_t* text;
    } cases[] = {
        {0, L"0 B"},
        {999, L"999 B"},
        {1000, L"0.97 KB"},
        {1024, L"1.00 KB"},
        {1536, L"1.50 KB"},
        {10239, L"9.99 KB"},
        {10240, L"10.0 KB"},
        {102400, L"100 KB"},
        {1023999, L"999 KB"},
        {1024000, L"0.97 MB"},
        {1234567, L"1.17 MB"},
        {1073741824, L"1.00 GB"},
        {1099511627776ULL, L"1.00 TB"},
        {18446744073709551615ULL, L"16777215 TB"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatByteSize(c.size), c.text) << c.size;
}

TEST(ColumnsTest, CodeNames) {
    EXPECT_EQ(exposureProgramName(0), L"");
    EXPECT_EQ(exposureProgramName(2), L"通常のプログラムAE");
    EXPECT_EQ(exposureProgramName(8), L"風景モード");
    EXPECT_EQ(exposureProgramName(9), L"");
    EXPECT_EQ(exposureModeName(2), L"自動ブラケット");
    EXPECT_EQ(exposureModeName(3), L"");
    EXPECT_EQ(flashName(95), L"フラッシュあり、自動発光モード、赤目軽減モード、リターン検出");
    EXPECT_EQ(flashName(2), L"");
    EXPECT_EQ(whiteBalanceName(1), L"マニュアル");
    EXPECT_EQ(whiteBalanceName(-1), L"");
    EXPECT_EQ(lightSourceName(24), L"ISOスタジオ・タングステン");
    EXPECT_EQ(lightSourceName(16), L"");
    EXPECT_EQ(meteringModeName(255), L"その他");
    EXPECT_EQ(meteringModeName(7), L"");
}

// Cell texts of the file's own values: name, path, size, times, image size, group, flags.
TEST(ColumnsTest, FileCells) {
    auto file = makeRecord("/data/photos/Trip 2023.JPG", 1234567, -3);
    file->stat().createNs = localNs(2023, 4, 5, 6, 7);
    file->stat().writeNs = localNs(1999, 12, 31, 23, 59);
    file->stat().accessNs = localNs(2024, 2, 29, 0, 0);
    file->setFlags(0x01 | 0x02 | 0x08 | 0x20 | 0x400 | QXFileInfo::kMd5Computed);
    file->imageWidth = 100;
    file->imageHeight = 200;

    static const struct {
        int32_t type;
        const wchar_t* text;
    } cases[] = {
        {kColFileName, L"Trip 2023.JPG"},
        {kColPath, L"/data/photos/Trip 2023.JPG"},
        {kColFileSize, L"1,234,567"},
        {kColCreateTime, L"2023/04/05 06:07"},
        {kColUpdateTime, L"1999/12/31 23:59"},
        {kColAccessTime, L"2024/02/29 00:00"},
        {kColImageSize, L""},  // no image-size mark
        {kColGroup, L"-3"},
        {kColFlags, L"abdf"},
        {kColCodec, L""},
        {kColThumbnail, L""},
        {kColHash, L""},  // a computed mark but no digest record
        {-1, L""},
        {kAllColumnTypes, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(formatColumnText(c.type, *file), c.text) << c.type;

    file->addFlags(QXFileInfo::kImageSize);
    EXPECT_EQ(formatColumnText(kColImageSize, *file), L"100x200");
    EXPECT_EQ(formatColumnText(kColFlags, *makeRecord("/x")), L"");

    // Sizes with grouping commas.
    static const struct {
        uint64_t size;
        const wchar_t* text;
    } sizes[] = {{0, L"0"}, {999, L"999"}, {1000, L"1,000"}, {1234567, L"1,234,567"}};
    for (const auto& s : sizes) {
        EXPECT_EQ(formatColumnText(kColFileSize, *makeRecord("/x", s.size)), s.text) << s.size;
    }
}

TEST(ColumnsTest, DigestCellsNeedTheirComputedMark) {
    auto file = makeRecord("/a");
    QXDigestRecord& d = digestsOf(*file);
    d.crc32 = L"2639f4cb";
    d.md5 = L"md5text";
    d.sha1 = L"sha1text";
    d.sha256 = L"sha256text";
    d.sha512 = L"sha512text";
    d.comparison = L"md5text";
    file->addFlags(QXFileInfo::kMd5Computed | QXFileInfo::kSha512Computed);

    static const struct {
        int32_t type;
        const wchar_t* text;
    } cases[] = {
        {kColCrc32, L""},  // never computed, though its MD5 was
        {kColMd5, L"md5text"},  {kColSha1, L""}, {kColSha256, L""}, {kColSha512, L"sha512text"},
        {kColHash, L"md5text"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatColumnText(c.type, *file), c.text) << c.type;

    // The general hash column shows with any computed mark, xxHash included.
    auto other = makeRecord("/b");
    digestsOf(*other).comparison = L"99e9d85137db46ef";
    EXPECT_EQ(formatColumnText(kColHash, *other), L"");
    other->addFlags(QXFileInfo::kXxh64Computed);
    EXPECT_EQ(formatColumnText(kColHash, *other), L"99e9d85137db46ef");
}

TEST(ColumnsTest, ExifCells) {
    auto photo = makeRecord("/p.jpg");
    auto& values = exifOf(*photo).values;
    values["CameraMake"] = exifText(L"Canon ");
    values["CameraModel"] = exifText(L"Canon EOS 5D");
    values["Software"] = exifInteger(5);  // wrong kind for a text
    values["Comment"] = exifText(L"夕焼け");
    values["DateTime"] = exifText(L"2010:05:01 10:00:00");
    values["ImageWidth"] = exifInteger(4000);
    values["ImageHeight"] = exifInteger(-1);
    values["FNumber"] = exifFraction(28, 10);
    values["ExposureTime"] = exifFraction(1, 250);
    values["ISOEquivalent"] = exifText(L"400");  // wrong kind for a number
    values["ExposureProgram"] = exifInteger(3);
    values["ExposureMode"] = exifInteger(1);
    values["Flash"] = exifInteger(25);
    values["Whitebalance"] = exifInteger(7);  // not a white-balance code
    values["LightSource"] = exifInteger(21);
    values["MeteringMode"] = exifInteger(255);

    static const struct {
        int32_t type;
        const wchar_t* text;
    } cases[] = {
        {kColExifMake, L"Canon "},
        {kColExifModel, L"Canon EOS 5D"},
        {kColExifSoftware, L""},
        {kColExifComment, L"夕焼け"},
        {kColExifCopyright, L""},  // not delivered
        {kColExifDateTime, L"2010/05/01 10:00"},
        {kColExifWidth, L"4000"},
        {kColExifHeight, L""},
        {kColExifAperture, L"2.8"},
        {kColExifShutterSpeed, L"1/250"},
        {kColExifIsoSpeed, L""},
        {kColExifExposureProgram, L"絞り優先"},
        {kColExifExposureMode, L"マニュアル露光"},
        {kColExifFlash, L"フラッシュあり、自動発光モード"},
        {kColExifWhiteBalance, L""},
        {kColExifLightSource, L"D65"},
        {kColExifMeteringMode, L"その他"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatColumnText(c.type, *photo), c.text) << c.type;

    // Other forms of the values: a date as an import writes it, a whole aperture, a
    // shutter speed stored as its number, a fraction for a whole number.
    values["DateTime"] = exifText(L"2011/06/02 11:30");
    values["FNumber"] = exifInteger(8);
    values["ExposureTime"] = exifInteger(60);
    values["ImageWidth"] = exifFraction(9000, 2);
    EXPECT_EQ(formatColumnText(kColExifDateTime, *photo), L"2011/06/02 11:30");
    EXPECT_EQ(formatColumnText(kColExifAperture, *photo), L"8");
    EXPECT_EQ(formatColumnText(kColExifShutterSpeed, *photo), L"1/60");
    EXPECT_EQ(formatColumnText(kColExifWidth, *photo), L"4500");
    values["DateTime"] = exifText(L"yesterday");
    EXPECT_EQ(formatColumnText(kColExifDateTime, *photo), L"");

    // Nothing shows without the object or while it was never read.
    auto plain = makeRecord("/q.png");
    auto unread = makeRecord("/r.jpg");
    exifOf(*unread).values = values;
    unread->extras().exif->ready = false;
    for (int32_t type = kColExifMake; type <= kColExifMeteringMode; ++type) {
        EXPECT_EQ(formatColumnText(type, *plain), L"") << type;
        EXPECT_EQ(formatColumnText(type, *unread), L"") << type;
    }
}

TEST(ColumnsTest, Id3AndVideoCells) {
    auto song = makeRecord("/s.mp3");
    QXId3Holder& id3 = id3Of(*song);
    id3.channels = 2;
    id3.bitRate = 320;
    id3.sampleRate = 44100;
    id3.track = -1;  // never read
    id3.year = 1999;
    id3.length = 3725;
    id3.artist = L"アーティスト";
    id3.genre = L"Jazz";

    auto movie = makeRecord("/m.mp4");
    QXVideoHolder& video = videoOf(*movie);
    video.width = 1920;
    video.height = 1080;
    video.framesPerSecond = 30;
    video.frameCount = 100;

    static const struct {
        int32_t type;
        const QXFileInfoPtr* file;
        const wchar_t* text;
    } cases[] = {
        {kColId3Channels, &song, L"2"},
        {kColId3BitRate, &song, L"320"},
        {kColId3SampleRate, &song, L"44100"},
        {kColId3Track, &song, L""},
        {kColId3Year, &song, L"1999"},
        {kColId3Length, &song, L"1:02:05"},
        {kColId3Artist, &song, L"アーティスト"},
        {kColId3Title, &song, L""},
        {kColId3Genre, &song, L"Jazz"},
        {kColVideoWidth, &movie, L"1920"},
        {kColVideoHeight, &movie, L"1080"},
        {kColVideoLength, &movie, L"0:04"},  // 100 frames at 30 per second, rounded up
        {kColVideoWidth, &song, L""},
        {kColId3Channels, &movie, L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatColumnText(c.type, **c.file), c.text) << c.type;
    }

    static const struct {
        int32_t length;
        const wchar_t* text;
    } lengths[] = {{0, L"0:00"}, {59, L"0:59"}, {3600, L"1:00:00"}, {-1, L""}};
    for (const auto& l : lengths) {
        id3.length = l.length;
        EXPECT_EQ(formatColumnText(kColId3Length, *song), l.text) << l.length;
    }

    video.framesPerSecond = 0;
    EXPECT_EQ(formatColumnText(kColVideoLength, *movie), L"0:00");
    video.framesPerSecond = 30;
    video.frameCount = 301;
    EXPECT_EQ(formatColumnText(kColVideoLength, *movie), L"0:11");
    video.frameCount = -1;
    EXPECT_EQ(formatColumnText(kColVideoLength, *movie), L"");
    video.ready = false;
    video.frameCount = 100;
    EXPECT_EQ(formatColumnText(kColVideoWidth, *movie), L"");
    EXPECT_EQ(formatColumnText(kColVideoLength, *movie), L"");
    id3.ready = false;
    EXPECT_EQ(formatColumnText(kColId3Genre, *song), L"");
}

TEST(ColumnsTest, ExportTexts) {
    auto photo = makeRecord("/p.jpg", 1234567);
    auto& values = exifOf(*photo).values;
    values["ExposureTime"] = exifFraction(1, 250);
    values["Flash"] = exifInteger(25);
    values["ExposureProgram"] = exifInteger(99);  // unlisted: no name, but a code
    values["MeteringMode"] = exifInteger(-2);
    values["FNumber"] = exifFraction(28, 10);
    id3Of(*photo).length = 61;

    static const struct {
        int32_t type;
        bool withUnit;
        const wchar_t* text;
    } cases[] = {
        {kColFileSize, false, L"1,234,567"},
        {kColFileSize, true, L"1.17 MB"},
        {kColExifShutterSpeed, false, L"250"},
        {kColExifFlash, false, L"25"},
        {kColExifExposureProgram, false, L"99"},
        {kColExifMeteringMode, false, L""},
        {kColExifWhiteBalance, false, L""},
        {kColExifAperture, false, L"2.8"},
        {kColId3Length, false, L"61"},
        {kColPath, true, L"/p.jpg"},
        {kColFlags, false, L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exportColumnText(c.type, *photo, c.withUnit), c.text) << c.type;
    }
    id3Of(*photo).length = 0;
    EXPECT_EQ(exportColumnText(kColId3Length, *photo, false), L"");
    EXPECT_EQ(formatColumnText(kColId3Length, *photo), L"0:00");
}

// compareColumn by rule: each case gives two records and the expected sign.
TEST(ColumnsTest, CompareRules) {
    auto small = makeRecord("/d/Beta.txt", 5);
    auto large = makeRecord("/d/alpha.txt", 1ULL << 40);
    small->stat().writeNs = 1000;
    large->stat().writeNs = 900;
    small->stat().createNs = 100;
    large->stat().createNs = 200;

    auto wide = makeRecord("/w");
    wide->addFlags(QXFileInfo::kImageSize);
    wide->imageWidth = 200;
    wide->imageHeight = 50;
    auto tall = makeRecord("/t");
    tall->addFlags(QXFileInfo::kImageSize);
    tall->imageWidth = 100;
    tall->imageHeight = 300;
    auto noImage = makeRecord("/n");
    noImage->imageWidth = 1;  // not marked, so not an image size

    auto early = makeRecord("/e");
    exifOf(*early).values["ImageWidth"] = exifInteger(10);
    exifOf(*early).values["DateTime"] = exifText(L"2009:01:01 00:00:00");
    exifOf(*early).values["FNumber"] = exifFraction(14, 10);
    exifOf(*early).values["Flash"] = exifInteger(1);
    auto late = makeRecord("/l");
    exifOf(*late).values["DateTime"] = exifText(L"2010:01:01 00:00:00");
    exifOf(*late).values["FNumber"] = exifFraction(8, 1);
    exifOf(*late).values["Flash"] = exifInteger(0);
    exifOf(*late).values["ImageWidth"] = exifInteger(-5);
    auto noWidth = makeRecord("/m");
    exifOf(*noWidth).values["CameraMake"] = exifText(L"Canon");
    auto noExif = makeRecord("/x");
    auto badDate = makeRecord("/b");
    exifOf(*badDate).values["DateTime"] = exifText(L"not a date");

    auto short1 = makeRecord("/v1");
    videoOf(*short1) = {true, 1, 1, 30, 10};
    auto long1 = makeRecord("/v2");
    videoOf(*long1) = {true, 1, 1, 1, 9};  // fewer frames though longer in seconds

    static const struct {
        const char* name;
        int32_t type;
        const QXFileInfoPtr* a;
        const QXFileInfoPtr* b;
        int expected;
    } cases[] = {
        {"name folds case", kColFileName, &large, &small, -1},
        {"path folds case", kColPath, &small, &large, 1},
        {"size is unsigned", kColFileSize, &small, &large, -1},
        {"write time", kColUpdateTime, &small, &large, 1},
        {"create time", kColCreateTime, &small, &large, -1},
        {"access time equal", kColAccessTime, &small, &large, 0},
        {"image width first", kColImageSize, &tall, &wide, -1},
        {"image size before none", kColImageSize, &wide, &noImage, -1},
        {"no image sizes equal", kColImageSize, &noImage, &small, 0},
        {"exif time", kColExifDateTime, &late, &early, 1},
        {"exif time before none", kColExifDateTime, &late, &noExif, -1},
        {"unreadable date is none", kColExifDateTime, &badDate, &noExif, 0},
        {"aperture as real", kColExifAperture, &early, &late, -1},
        {"codes not names", kColExifFlash, &early, &late, 1},
        {"value before negative", kColExifWidth, &early, &late, -1},
        {"negative same as no value", kColExifWidth, &late, &noWidth, 0},
        {"no value before no object", kColExifWidth, &noWidth, &noExif, -1},
        {"no objects equal", kColId3Year, &small, &large, 0},
        {"video length by frames", kColVideoLength, &short1, &long1, 1},
        {"text rule for unknown", kAllColumnTypes, &small, &large, 0},
        {"same record", kColPath, &small, &small, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sign(compareColumn(c.type, **c.a, **c.b)), c.expected) << c.name;
        EXPECT_EQ(sign(compareColumn(c.type, **c.b, **c.a)), -c.expected) << c.name << " reversed";
    }
}

TEST(ColumnsTest, SortByImageSizePutsRecordsWithoutOneLast) {
    static const struct {
        const char* name;
        int32_t width;
        int32_t height;
        bool marked;
    } records[] = {
        {"none1", 0, 0, false}, {"w200h50", 200, 50, true},   {"w100h300", 100, 300, true},
        {"none2", 9, 9, false}, {"w100h200", 100, 200, true},
    };
    QXFileList files;
    for (const auto& r : records) {
        auto f = makeRecord(std::string("/i/") + r.name);
        f->imageWidth = r.width;
        f->imageHeight = r.height;
        if (r.marked) f->addFlags(QXFileInfo::kImageSize);
        files.push_back(f);
    }
    sortResults(files, kColImageSize, true);
    EXPECT_EQ(namesOf(files),
              (std::vector<std::string>{"w100h200", "w100h300", "w200h50", "none1", "none2"}));
    sortResults(files, kColImageSize, false);
    // Reversed; records that compare equal keep their order.
    EXPECT_EQ(namesOf(files),
              (std::vector<std::string>{"none1", "none2", "w200h50", "w100h300", "w100h200"}));
}

TEST(ColumnsTest, SortByNumberPutsMissingValuesLast) {
    QXFileList files;
    auto add = [&](const char* name, int32_t bitRate, bool hasObject) {
        auto f = makeRecord(std::string("/n/") + name);
        if (hasObject) id3Of(*f).bitRate = bitRate;
        files.push_back(f);
    };
    add("none1", 0, false);
    add("b320", 320, true);
    add("negative", -1, true);
    add("b128", 128, true);
    add("none2", 0, false);
    add("b0", 0, true);
    sortResults(files, kColId3BitRate, true);
    EXPECT_EQ(namesOf(files),
              (std::vector<std::string>{"b0", "b128", "b320", "negative", "none1", "none2"}));
}

TEST(ColumnsTest, SortKeepsGroupsTogetherInBothDirections) {
    static const struct {
        const char* name;
        int32_t group;
    } records[] = {
        {"c", 2}, {"B", 0}, {"a", 1}, {"A", 0}, {"b", 2}, {"d", 0}, {"a", 2}, {"z", -1},
    };
    QXFileList files;
    for (const auto& r : records)
        files.push_back(makeRecord(std::string("/g/") + r.name, 0, r.group));
    const QXFileList original = files;

    sortResults(files, kColFileName, true);
    std::vector<std::pair<int32_t, std::string>> got;
    for (const auto& f : files) got.emplace_back(f->groupNumber, f->nativeName());
    EXPECT_EQ(
        got, (std::vector<std::pair<int32_t, std::string>>{
                 {-1, "z"}, {0, "A"}, {0, "B"}, {0, "d"}, {1, "a"}, {2, "a"}, {2, "b"}, {2, "c"}}));

    files = original;
    sortResults(files, kColFileName, false);
    got.clear();
    for (const auto& f : files) got.emplace_back(f->groupNumber, f->nativeName());
    EXPECT_EQ(
        got, (std::vector<std::pair<int32_t, std::string>>{
                 {-1, "z"}, {0, "d"}, {0, "B"}, {0, "A"}, {1, "a"}, {2, "c"}, {2, "b"}, {2, "a"}}));
}

TEST(ColumnsTest, SortIsStableForEqualKeys) {
    // Names equal but for case: the list order decides, in both directions.
    QXFileList files;
    for (const char* path : {"/1/Same", "/2/same", "/3/SAME", "/4/other"}) {
        files.push_back(makeRecord(path));
    }
    for (bool ascending : {true, false}) {
        QXFileList sorted = files;
        sortResults(sorted, kColFileName, ascending);
        std::vector<std::string> paths;
        for (const auto& f : sorted) paths.push_back(f->nativePath());
        if (ascending) {
            EXPECT_EQ(paths,
                      (std::vector<std::string>{"/4/other", "/1/Same", "/2/same", "/3/SAME"}));
        } else {
            EXPECT_EQ(paths,
                      (std::vector<std::string>{"/1/Same", "/2/same", "/3/SAME", "/4/other"}));
        }
    }
}

TEST(ColumnsTest, SortFoldsNonAsciiNames) {
    // Ordinal order of the folded characters: "é" (U+00E9) after "z"; "É" folds to "é";
    // bytes that are no UTF-8 (U+DC80 and up) after both.
    QXFileList files;
    for (const char* name : {"\xC3\x89t\xC3\xA9", "zoo", "\xFF", "Eve", "\xC3\xA9ta", "eta"}) {
        files.push_back(makeRecord(std::string("/u/") + name));
    }
    sortResults(files, kColFileName, true);
    EXPECT_EQ(namesOf(files), (std::vector<std::string>{"eta", "Eve", "zoo", "\xC3\xA9ta",
                                                        "\xC3\x89t\xC3\xA9", "\xFF"}));
}

// Whatever the records, the sort agrees with compareColumn: groups ascending, each group
// in the column's order (reversed when descending), equal records in their former order.
TEST(ColumnsTest, SortAgreesWithCompareForEveryType) {
    std::mt19937 rng(20261211);
    auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
    static const char* const kNameParts[] = {"a",    "B", "\xC3\xA9",     "\xC3\x89", "z",
                                             "\xFF", "1", "\xE5\x86\x99", "",         "A"};
    QXFileList files;
    for (int i = 0; i < 400; ++i) {
        std::string name;
        for (int k = pick(4); k >= 0; --k) name += kNameParts[pick(10)];
        auto f = makeRecord(
            "/r/" + std::string(kNameParts[pick(10)]) + "/" + name + std::to_string(pick(3)),
            uint64_t(pick(5)) << (pick(3) * 20), pick(4) - 1);
        f->stat().writeNs = int64_t(pick(4)) * 1'000'000'000;
        f->stat().createNs = int64_t(pick(300)) * 37;
        f->stat().accessNs = -int64_t(pick(3)) * 1'000'000'000'000;
        f->setFlags(uint32_t(rng()) & 0x00FF013F);
        f->imageWidth = pick(3) * 100 - 100;
        f->imageHeight = pick(3);
        if (pick(3) == 0) {
            QXDigestRecord& d = digestsOf(*f);
            d.crc32 = pick(2) ? L"ab" : L"AB";
            d.comparison = pick(2) ? L"x" : L"";
        }
        if (pick(2)) {
            auto& values = exifOf(*f).values;
            f->extras().exif->ready = pick(5) != 0;
            if (pick(2)) values["CameraMake"] = exifText(pick(2) ? L"canon" : L"Canon");
            if (pick(2)) values["DateTime"] = exifText(pick(2) ? L"2010:05:01 10:00:00" : L"bad");
            if (pick(2)) values["ImageWidth"] = exifInteger(pick(5) - 2);
            if (pick(2)) values["FNumber"] = exifFraction(pick(5) - 1, pick(3));
            if (pick(2)) values["ExposureTime"] = exifFraction(1, pick(4) - 1);
            if (pick(2)) values["Flash"] = exifInteger(pick(3) * 8 - 8);
        }
        if (pick(2)) {
            QXId3Holder& id3 = id3Of(*f);
            id3.ready = pick(5) != 0;
            id3.length = pick(5) - 1;
            id3.artist = pick(2) ? L"x" : L"X";
        }
        if (pick(2)) {
            QXVideoHolder& v = videoOf(*f);
            v.ready = pick(5) != 0;
            v.frameCount = pick(5) - 1;
            v.framesPerSecond = pick(3);
            v.width = pick(3) - 1;
        }
        files.push_back(f);
    }
    std::unordered_map<const QXFileInfo*, size_t> position;
    for (size_t i = 0; i < files.size(); ++i) position[files[i].get()] = i;

    for (int32_t type = -1; type <= kAllColumnTypes; ++type) {
        for (bool ascending : {true, false}) {
            QXFileList sorted = files;
            sortResults(sorted, type, ascending);
            ASSERT_EQ(sorted.size(), files.size());
            for (size_t i = 1; i < sorted.size(); ++i) {
                const QXFileInfo& a = *sorted[i - 1];
                const QXFileInfo& b = *sorted[i];
                ASSERT_LE(a.groupNumber, b.groupNumber) << "type " << type;
                if (a.groupNumber != b.groupNumber) continue;
                const int c = compareColumn(type, a, b) * (ascending ? 1 : -1);
                ASSERT_LE(c, 0) << "type " << type << " ascending " << ascending << " at " << i;
                if (c == 0) {
                    ASSERT_LT(position[&a], position[&b]) << "type " << type << " at " << i;
                }
            }
        }
    }
}

TEST(ColumnsTest, ParseColumnLayout) {
    static const struct {
        const wchar_t* text;
        std::vector<int32_t> layout;
    } cases[] = {
        {L"FileName,Path,FileSize,Last updated time,Image size,Hash",
         {kColFileName, kColPath, kColFileSize, kColUpdateTime, kColImageSize, kColHash}},
        {L"Path,FileName", {kColPath, kColFileName}},
        {L"Thumbnail,video.length,exif.make", {kColThumbnail, kColVideoLength, kColExifMake}},
        // Unknown, misspelt, empty and repeated keys are skipped.
        {L"Path,,bogus,path,FileSize,Path, Hash,Hash ", {kColPath, kColFileSize}},
        // Group and Flags cannot be shown.
        {L"Group,Md5,Flags", {kColMd5}},
        // Nothing usable: the file-name column alone.
        {L"", {kColFileName}},
        {L",,,", {kColFileName}},
        {L"Group,Flags,nothing", {kColFileName}},
        {L"\xDC80\x0001\xFFFF,\xD800", {kColFileName}},
    };
    for (const auto& c : cases) EXPECT_EQ(parseColumnLayout(c.text), c.layout) << c.text;
}

TEST(ColumnsTest, FormatColumnLayoutRoundTrips) {
    // Every shown type once, in reverse: at most 46 entries survive a round trip.
    QXColumnLayout all;
    for (int32_t type = kShownColumnTypes - 1; type >= 0; --type) all.push_back(type);
    std::wstring text = formatColumnLayout(all);
    EXPECT_EQ(parseColumnLayout(text), all);
    EXPECT_EQ(parseColumnLayout(text + L"," + text), all);

    EXPECT_EQ(formatColumnLayout({kColFileName, kColUpdateTime, kColSha256}),
              L"FileName,Last updated time,Sha2-256");
    // Types that cannot be stored are left out.
    EXPECT_EQ(formatColumnLayout({kColGroup, kColPath, -1, 999, kColFlags}), L"Path");
    EXPECT_EQ(formatColumnLayout({}), L"");
}

TEST(ColumnsTest, ParseColumnWidths) {
    static const struct {
        const wchar_t* text;
        std::vector<std::pair<int32_t, int32_t>> widths;  // the entries other than -1
    } cases[] = {
        {L"", {}},
        {L"FileName,180,Path,320", {{kColFileName, 180}, {kColPath, 320}}},
        {L"path,250", {{kColPath, 250}}},  // keys without regard to case
        {L"LAST UPDATED TIME,90", {{kColUpdateTime, 90}}},
        {L"Path,abc", {{kColPath, 0}}},  // not a number counts as 0
        {L"Path, 42", {{kColPath, 42}}},
        {L"Path,+7px", {{kColPath, 7}}},
        {L"Path,-1", {}},
        {L"Path,-7", {}},  // no negative width but the default
        {L"Path,99999999999", {{kColPath, 2147483647}}},
        {L"Path,,FileSize,5", {{kColPath, 0}, {kColFileSize, 5}}},
        {L"bogus,5,Path,6", {{kColPath, 6}}},
        {L"FileName,1,FileName,2", {{kColFileName, 2}}},
        {L"Group,5,Flags,6", {}},
        {L"Path", {}},      // a key without its width
        {L"5,Path,6", {}},  // out of step: "Path" is a width, "6" a key
        {L" Path,5", {}},
        {L"\xDC80,\xD800,\xFFFF,Path", {}},
    };
    for (const auto& c : cases) {
        QXColumnWidths expected;
        expected.fill(-1);
        for (const auto& [type, width] : c.widths) expected[size_t(type)] = width;
        EXPECT_EQ(parseColumnWidths(c.text), expected) << c.text;
    }
}

TEST(ColumnsTest, FormatColumnWidthsListsEveryShownType) {
    QXColumnWidths widths;
    widths.fill(-1);
    widths[kColFileName] = 180;
    widths[kColThumbnail] = 0;
    const std::wstring text = formatColumnWidths(widths);
    EXPECT_EQ(text.rfind(L"FileName,180,Path,-1,FileSize,-1,Create time,-1,", 0), 0u) << text;
    EXPECT_TRUE(text.ends_with(L",video.length,-1,Thumbnail,0")) << text;
    size_t commas = 0;
    for (wchar_t c : text) commas += c == L',';
    EXPECT_EQ(commas, size_t(2 * kShownColumnTypes - 1));
    EXPECT_EQ(parseColumnWidths(text), widths);

    std::mt19937 rng(7);
    for (auto& w : widths) w = int32_t(rng() % 2000) - 1;
    EXPECT_EQ(parseColumnWidths(formatColumnWidths(widths)), widths);
}

TEST(ColumnsTest, SettingsSurviveArbitraryText) {
    // Random texts of separators, digits, key fragments and odd units.
    using namespace std::string_view_literals;
    static const std::wstring_view kPieces[] = {
        L","sv, L",,"sv,   L"Path"sv,       L"path"sv,       L"-"sv,
        L"9"sv, L"x"sv,    L"\xDC80"sv,     L"\xD800"sv,     L"\0"sv,
        L" "sv, L"Hash"sv, L"2147483648"sv, L"-2147483649"sv};
    std::mt19937 rng(99);
    for (int round = 0; round < 2000; ++round) {
        std::wstring text;
        for (int k = int(rng() % 12); k > 0; --k) text += kPieces[rng() % std::size(kPieces)];
        const QXColumnLayout layout = parseColumnLayout(text);
        ASSERT_FALSE(layout.empty());
        ASSERT_LE(layout.size(), size_t(kShownColumnTypes));
        for (int32_t type : layout) ASSERT_TRUE(type >= 0 && type < kShownColumnTypes);
        for (int32_t width : parseColumnWidths(text)) ASSERT_GE(width, -1);
    }
}

}  // namespace
}  // namespace quenrix
