#include "core/QXExifReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/QXFileInfo.h"
#include "support/JpegWriter.h"
#include "support/TempDir.h"

namespace quenrix {
namespace {

using namespace test;

constexpr uint16_t kMake = 0x010F, kModel = 0x0110, kSoftware = 0x0131, kCopyright = 0x8298;
constexpr uint16_t kDateTaken = 0x9003, kUserComment = 0x9286;
constexpr uint16_t kPixelWidth = 0xA002, kPixelHeight = 0xA003;
constexpr uint16_t kFNumber = 0x829D, kExposureTime = 0x829A, kIso = 0x8827;
constexpr uint16_t kExposureProgram = 0x8822, kExposureMode = 0xA402, kMetering = 0x9207;
constexpr uint16_t kLightSource = 0x9208, kFlash = 0x9209, kWhiteBalance = 0xA403;
constexpr uint16_t kExifLink = 0x8769, kInteropLink = 0xA005;

QXExifHolder read(const std::string& bytes) {
    QXExifHolder holder;
    ReadExif(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), holder);
    return holder;
}

std::string jpegWithTiff(const TiffDir& first, bool bigEndian) {
    return jpegWith({exifSegment(TiffWriter(bigEndian).write(first))});
}

// A photo's Exif block as cameras write it: names in the first directory, the shooting
// values in the Exif directory, which links to an interoperability directory, and a
// next (thumbnail) directory.
TiffDir cameraDirectories() {
    TiffDir interop;
    interop.entries = {tiffAscii(0x0001, "R98"), tiffShort(kFlash, 16)};
    TiffDir exif;
    exif.entries = {
        tiffRational(kExposureTime, 1, 250),
        tiffRational(kFNumber, 28, 10),
        tiffShort(kExposureProgram, 2),
        tiffShort(kIso, 400),
        tiffAscii(kDateTaken, "2010:05:01 10:00:00"),
        tiffShort(kMetering, 5),
        tiffShort(kLightSource, 3),
        tiffShort(kFlash, 9),  // replaced by the interoperability directory's value below
        tiffBytes(kUserComment, kTiffUndefined, std::string("ASCII\0\0\0Hello", 13)),
        tiffShort(kPixelWidth, 640),
        tiffLong(kPixelHeight, 480),
        tiffShort(kExposureMode, 1),
        tiffShort(kWhiteBalance, 1),
    };
    exif.subs = {linkedAs(kInteropLink, interop)};
    TiffDir thumbnail;
    thumbnail.entries = {tiffAscii(kSoftware, "Viewer 2.0"), tiffShort(0x0103, 6)};
    TiffDir first;
    first.entries = {tiffAscii(kMake, "Canon Inc. "), tiffAscii(kModel, "Canon EOS 5D"),
                     tiffAscii(kCopyright, "(c) someone")};
    first.subs = {linkedAs(kExifLink, exif)};
    first.next = {thumbnail};
    return first;
}

class ExifByteOrder : public testing::TestWithParam<bool> {};

TEST_P(ExifByteOrder, ReadsTheValuesOfEveryDirectory) {
    const QXExifHolder h = read(jpegWithTiff(cameraDirectories(), GetParam()));
    ASSERT_TRUE(h.ready);

    const struct {
        const char* name;
        std::wstring text;
    } texts[] = {
        {"CameraMake", L"Canon Inc. "},
        {"CameraModel", L"Canon EOS 5D"},
        {"Copyright", L"(c) someone"},
        {"Software", L"Viewer 2.0"},  // from the next directory
        {"DateTime", L"2010:05:01 10:00:00"},
        {"Comment", L"ASCII"},  // the user comment ends at its first zero byte
    };
    for (const auto& c : texts) {
        SCOPED_TRACE(c.name);
        const QXExifValue* v = h.find(c.name);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->kind, QXExifValue::kText);
        EXPECT_EQ(v->text, c.text);
    }

    const struct {
        const char* name;
        int32_t value;
    } integers[] = {
        {"ImageWidth", 640},    {"ImageHeight", 480}, {"ISOEquivalent", 400},
        {"ExposureProgram", 2}, {"MeteringMode", 5},  {"LightSource", 3},
        {"Flash", 16},          {"ExposureMode", 1},  {"Whitebalance", 1},
    };
    for (const auto& c : integers) {
        SCOPED_TRACE(c.name);
        const QXExifValue* v = h.find(c.name);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->kind, QXExifValue::kInteger);
        EXPECT_EQ(v->integer, c.value);
    }

    const QXExifValue* f = h.find("FNumber");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->kind, QXExifValue::kFraction);
    EXPECT_FALSE(f->signedFraction);
    EXPECT_EQ(f->numerator, 28);
    EXPECT_EQ(f->denominator, 10);
    EXPECT_DOUBLE_EQ(f->number(), 2.8);
    const QXExifValue* t = h.find("ExposureTime");
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->kind, QXExifValue::kFraction);
    EXPECT_EQ(t->denominator, 250);

    // Tags the reader does not know are not stored.
    EXPECT_EQ(h.values.size(), std::size(texts) + std::size(integers) + 2);
}

INSTANTIATE_TEST_SUITE_P(BothOrders, ExifByteOrder, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Motorola" : "Intel"; });

TEST(ExifReader, IntegersComeFromEveryNumericFormat) {
    const struct {
        const char* name;
        TiffEntry entry;
        bool present;
        int32_t value;
    } cases[] = {
        {"byte", tiffNumber(kExposureProgram, kTiffByte, 3), true, 3},
        {"signed byte", tiffNumber(kExposureProgram, kTiffSByte, 0xFE), true, -2},
        {"short", tiffShort(kExposureProgram, 65535), true, 65535},
        {"signed short", tiffNumber(kExposureProgram, kTiffSShort, 0xFFFD), true, -3},
        {"long beyond int32", tiffLong(kExposureProgram, 4000000000u), true, 2147483647},
        {"signed long", tiffNumber(kExposureProgram, kTiffSLong, 0xFFFFFFFB), true, -5},
        {"rational truncated", tiffRational(kExposureProgram, 7, 2), true, 3},
        {"signed rational", tiffSRational(kExposureProgram, -7, 2), true, -3},
        {"rational over 0", tiffRational(kExposureProgram, 7, 0), true, 0},
        {"float", tiffFloat(kExposureProgram, 2.75f), true, 2},
        {"double", tiffDouble(kExposureProgram, -1.5), true, -1},
        {"huge double", tiffDouble(kExposureProgram, -1e300), true, -2147483647 - 1},
        {"text is no number", tiffAscii(kExposureProgram, "2"), false, 0},
        {"undefined is no number", tiffBytes(kExposureProgram, kTiffUndefined, "\2"), false, 0},
        {"unknown format", tiffBytes(kExposureProgram, 99, "\2"), false, 0},
        {"no components", tiffBytes(kExposureProgram, kTiffShort, ""), false, 0},
        // Some cameras give the ISO speed below 50 in steps of 200.
        {"iso 49", tiffShort(kIso, 49), true, 9800},
        {"iso 50", tiffShort(kIso, 50), true, 50},
        {"iso 0", tiffShort(kIso, 0), true, 0},
        {"iso very negative", tiffNumber(kIso, kTiffSLong, 0x80000000), true, -2147483647 - 1},
    };
    for (bool big : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (big ? " (Motorola)" : " (Intel)"));
            TiffDir first;
            first.entries = {c.entry};
            const QXExifHolder h = read(jpegWithTiff(first, big));
            ASSERT_TRUE(h.ready);
            const char* name = c.entry.tag == kIso ? "ISOEquivalent" : "ExposureProgram";
            const QXExifValue* v = h.find(name);
            ASSERT_EQ(v != nullptr, c.present);
            if (!v) continue;
            EXPECT_EQ(v->kind, QXExifValue::kInteger);
            EXPECT_EQ(v->integer, c.value);
        }
    }
}

TEST(ExifReader, FractionsKeepSignAndParts) {
    const struct {
        const char* name;
        TiffEntry entry;
        bool signedFraction;
        int32_t numerator, denominator;
    } cases[] = {
        {"aperture", tiffRational(kFNumber, 28, 10), false, 28, 10},
        {"signed", tiffSRational(kFNumber, -1, 3), true, -1, 3},
        {"beyond int32, halved together", tiffRational(kFNumber, 3000000000u, 1000000000u), false,
         1500000000, 500000000},
        {"whole number", tiffShort(kFNumber, 4), false, 4, 1},
        {"shutter 1/250", tiffRational(kExposureTime, 1, 250), false, 1, 250},
        {"shutter written 10/2500", tiffRational(kExposureTime, 10, 2500), false, 1, 250},
        {"shutter 3/1000 stays", tiffRational(kExposureTime, 3, 1000), false, 3, 1000},
        {"shutter 2 s", tiffRational(kExposureTime, 2, 1), false, 2, 1},
        {"shutter denominator capped", tiffRational(kExposureTime, 1, 4294967295u), false, 0,
         2147483647},
        {"shutter over 0", tiffRational(kExposureTime, 1, 0), false, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TiffDir first;
        first.entries = {c.entry};
        const QXExifHolder h = read(jpegWithTiff(first, true));
        const QXExifValue* v = h.find(c.entry.tag == kFNumber ? "FNumber" : "ExposureTime");
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->kind, QXExifValue::kFraction);
        EXPECT_EQ(v->signedFraction, c.signedFraction);
        EXPECT_EQ(v->numerator, c.numerator);
        EXPECT_EQ(v->denominator, c.denominator);
    }
    TiffDir first;
    first.entries = {tiffDouble(kFNumber, 2.8)};
    EXPECT_EQ(read(jpegWithTiff(first, false)).find("FNumber"), nullptr);
}

TEST(ExifReader, TextsEndAtTheirFirstZeroByte) {
    const struct {
        const char* name;
        TiffEntry entry;
        std::wstring text;
    } cases[] = {
        {"utf-8", tiffAscii(kModel, "カメラ"), L"カメラ"},
        {"no closing zero", tiffBytes(kModel, kTiffAscii, "EOS"), L"EOS"},
        {"short inline", tiffBytes(kModel, kTiffAscii, "ab"), L"ab"},
        {"empty", tiffBytes(kModel, kTiffAscii, std::string(1, '\0')), L""},
        {"date: first 20 bytes", tiffBytes(kDateTaken, kTiffAscii, "2010:05:01 10:00:00 and more"),
         L"2010:05:01 10:00:00 "},
        {"comment prefix", tiffBytes(kUserComment, kTiffUndefined, std::string("ASCII\0\0\0x", 9)),
         L"ASCII"},
        {"comment without prefix", tiffBytes(kUserComment, kTiffUndefined, "plain"), L"plain"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TiffDir first;
        first.entries = {c.entry};
        const QXExifHolder h = read(jpegWithTiff(first, false));
        const char* name = c.entry.tag == kModel       ? "CameraModel"
                           : c.entry.tag == kDateTaken ? "DateTime"
                                                       : "Comment";
        const QXExifValue* v = h.find(name);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->kind, QXExifValue::kText);
        EXPECT_EQ(v->text, c.text);
    }
}

std::string com(const std::string& text) {
    return jpegSegment(0xFE, text);
}

TEST(ExifReader, CommentSegmentText) {
    const struct {
        const char* name;
        std::string bytes;
        std::wstring text;
    } cases[] = {
        {"plain", "a photo", L"a photo"},
        {"cr lf becomes lf", "line 1\r\nline 2\r\n", L"line 1\nline 2\n"},
        {"lone cr", "a\rb", L"a?b"},
        {"cr at the end", "a\r", L"a?"},
        {"tab and lf kept", "a\tb\nc", L"a\tb\nc"},
        {"control characters", std::string("a\0b\x01\x1f\x7f", 6), L"a?b???"},
        {"utf-8", "日本語のコメント", L"日本語のコメント"},
        {"998 kept", std::string(998, 'x'), std::wstring(998, L'x')},
        {"longer cut to 998", std::string(1200, 'y'), std::wstring(998, L'y')},
        {"dropped cr counts nothing", std::string(997, 'z') + "\r\n" + "tail",
         std::wstring(997, L'z') + L"\n"},
        {"empty", "", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QXExifHolder h = read(jpegWith({com(c.bytes)}));
        ASSERT_TRUE(h.ready);
        const QXExifValue* v = h.find("Comment");
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->kind, QXExifValue::kText);
        EXPECT_EQ(v->text, c.text);
    }
}

TEST(ExifReader, TheCommentLaterInTheFileWins) {
    TiffDir first;
    first.entries = {tiffBytes(kUserComment, kTiffUndefined, "from exif")};
    const std::string exif = exifSegment(TiffWriter(false).write(first));
    const struct {
        const char* name;
        std::vector<std::string> segments;
        std::wstring text;
    } cases[] = {
        {"com after exif", {exif, com("from com")}, L"from com"},
        {"exif after com", {com("from com"), exif}, L"from exif"},
        {"only the first com", {com("first"), com("second")}, L"first"},
        {"second com ignored after exif", {com("first"), exif, com("second")}, L"from exif"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QXExifHolder h = read(jpegWith(c.segments));
        ASSERT_TRUE(h.ready);
        ASSERT_NE(h.find("Comment"), nullptr);
        EXPECT_EQ(h.find("Comment")->text, c.text);
    }
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

TEST(ExifReader, ReadyOnlyWithinTheSegmentLimits) {
    TiffDir first;
    first.entries = {tiffAscii(kMake, "Maker")};
    const std::string exif = exifSegment(TiffWriter(false).write(first));
    const std::string table = jpegSegment(0xC4, std::string(20, '\0'));  // a kept segment
    const std::string app0 = jpegSegment(0xE0, "JFIF");
    const std::string xmp = jpegSegment(0xE1, "http://ns.example/xap/1.0/");
    const std::string scan = jpegSegment(0xDA, std::string(6, '\0')) + "\x12\xFF\xD9";
    const std::string soi = jpegStart();
    // The tables of jpegWith are three segments, two of them kept; the scan is kept too.
    const struct {
        const char* name;
        std::string bytes;
        bool ready;
        bool hasMake;
    } cases[] = {
        {"plain", jpegWith({exif}), true, true},
        {"no start marker", exif + scan, false, false},
        {"png signature", "\x89PNG\r\n\x1a\n" + exif, false, false},
        {"empty", "", false, false},
        {"start marker only", soi, false, false},
        {"one byte", "\xFF", false, false},
        {"end before scan", soi + exif + std::string("\xFF\xD9", 2) + scan, false, true},
        {"data ends before scan", soi + exif + table, false, true},
        {"19 kept and the scan", soi + exif + repeat(table, 18) + scan, true, true},
        {"20 kept and the scan", soi + exif + repeat(table, 19) + scan, false, true},
        {"app0 not kept", soi + exif + repeat(app0, 30) + repeat(table, 18) + scan, true, true},
        {"other app1 not kept", soi + exif + repeat(xmp, 30) + repeat(table, 18) + scan, true,
         true},
        {"later com not kept", soi + com("a") + repeat(com("b"), 30) + repeat(table, 18) + scan,
         true, false},
        {"six 0xFF before a code", soi + std::string(5, '\xFF') + exif + scan, true, true},
        {"seven 0xFF before a code", soi + std::string(6, '\xFF') + exif + scan, false, false},
        {"seven 0xFF before the scan", soi + exif + std::string(6, '\xFF') + scan, false, true},
        {"no 0xFF before a code", soi + exif + "\x12" + scan, false, true},
        {"restart marker skipped", soi + exif + std::string("\xFF\xD0", 2) + scan, true, true},
        {"second start marker", soi + soi + exif + scan, false, false},
        {"length below 2", soi + std::string("\xFF\xE2\x00\x01", 4) + exif + scan, false, false},
        {"length past the end", soi + exif + std::string("\xFF\xE2\x40\x00xy", 6), false, true},
        {"length cut off", soi + exif + std::string("\xFF\xE2\x00", 3), false, true},
        {"marker cut off", soi + exif + std::string("\xFF\xFF", 2), false, true},
        {"scan without its length", soi + exif + std::string("\xFF\xDA", 2), false, true},
        {"scan header past the end", soi + exif + std::string("\xFF\xDA\x00\x0C\x01", 5), false,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QXExifHolder h = read(c.bytes);
        EXPECT_EQ(h.ready, c.ready);
        EXPECT_EQ(h.find("CameraMake") != nullptr, c.hasMake);
    }
}

TEST(ExifReader, EveryTruncationOfTheHeaderIsNotReady) {
    const std::string whole = jpegWithTiff(cameraDirectories(), true);
    const size_t scan = whole.find("\xFF\xDA");
    ASSERT_NE(scan, std::string::npos);
    const size_t scanEnd = scan + 4 + 6;  // marker, length, the scan header
    for (size_t n = 0; n < whole.size(); ++n) {
        SCOPED_TRACE(n);
        QXExifHolder holder;
        ReadExif(reinterpret_cast<const uint8_t*>(whole.data()), n, holder);
        EXPECT_EQ(holder.ready, n >= scanEnd);
    }
}

void put32(std::string& bytes, size_t at, uint32_t value) {  // Motorola order
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char(value >> (24 - 8 * i));
}

TEST(ExifReader, MalformedDirectoriesKeepWhatCanBeRead) {
    // The first directory sits at offset 8: its entry count at 8, its first entry (the
    // maker, an out-of-line text) at 10 with the value's offset at 18.
    using EditDirs = void (*)(TiffDir&);
    using EditBytes = void (*)(std::string&);
    const struct {
        const char* name;
        EditDirs editDirs;
        EditBytes editBytes;
        std::vector<const char*> present;
        std::vector<const char*> absent;
    } cases[] = {
        {"next links back to the first",
         [](TiffDir& d) { d.nextOverride = 8; },
         nullptr,
         {"CameraMake", "FNumber"},
         {}},
        {"exif directory links to the first",
         [](TiffDir& d) { d.subs[0].entries.push_back(tiffLong(kExifLink, 8)); },
         nullptr,
         {"CameraMake", "FNumber"},
         {}},
        {"exif directory's next is the first",
         [](TiffDir& d) { d.subs[0].nextOverride = 8; },
         nullptr,
         {"CameraMake", "FNumber"},
         {}},
        {"next link past the end",
         [](TiffDir& d) { d.nextOverride = 0x7FFFFFF0; },
         nullptr,
         {"CameraMake", "FNumber"},
         {}},
        {"sub-directory past the end",
         [](TiffDir& d) {
             d.subs.clear();
             d.entries.push_back(tiffLong(kExifLink, 0xFFFFFFFF));
         },
         nullptr,
         {"CameraMake"},
         {"FNumber"}},
        {"value offset past the end",
         nullptr,
         [](std::string& t) { put32(t, 18, 0xFFFFFFF0); },
         {"FNumber"},
         {"CameraMake"}},
        {"value running past the end",
         nullptr,
         [](std::string& t) { put32(t, 18, uint32_t(t.size() - 4)); },
         {"FNumber"},
         {"CameraMake"}},
        {"entry count past the end",
         nullptr,
         [](std::string& t) { t[8] = t[9] = '\x7F'; },
         {},
         {"CameraMake", "FNumber"}},
        {"unknown byte order",
         nullptr,
         [](std::string& t) { t[0] = t[1] = 'X'; },
         {},
         {"CameraMake"}},
        {"not 42", nullptr, [](std::string& t) { t[2] = t[3] = 0; }, {}, {"CameraMake"}},
        {"header only", nullptr, [](std::string& t) { t.resize(8); }, {}, {"CameraMake"}},
        {"first directory at 0",
         nullptr,
         [](std::string& t) { put32(t, 4, 0); },
         {},
         {"CameraMake"}},
        {"first directory past the end",
         nullptr,
         [](std::string& t) { put32(t, 4, 0xFFFFFFFE); },
         {},
         {"CameraMake"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TiffDir first;
        first.entries = {tiffAscii(kMake, "A maker long enough")};
        TiffDir exif;
        exif.entries = {tiffRational(kFNumber, 28, 10)};
        first.subs = {linkedAs(kExifLink, exif)};
        if (c.editDirs) c.editDirs(first);
        std::string tiff = TiffWriter(true).write(first);
        if (c.editBytes) c.editBytes(tiff);
        const QXExifHolder h = read(jpegWith({exifSegment(tiff)}));
        EXPECT_TRUE(h.ready);
        for (const char* name : c.present) EXPECT_NE(h.find(name), nullptr) << name;
        for (const char* name : c.absent) EXPECT_EQ(h.find(name), nullptr) << name;
    }
}

TEST(ExifReader, ReadsTheRecordedRegularFileOnly) {
    TempDir dir;
    const std::string photo = dir.createFile("photo.jpg", jpegWithTiff(cameraDirectories(), false));
    const std::string png = dir.createFile("picture.png", "\x89PNG\r\n\x1a\n");
    ASSERT_EQ(::symlink(photo.c_str(), (dir / "link.jpg").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo.jpg").c_str(), 0644), 0);

    {
        auto file = QXFileInfo::fromPath(photo);
        ASSERT_TRUE(file);
        QXExifHolder h;
        EXPECT_TRUE(ReadExifFile(*file, h));
        EXPECT_TRUE(h.ready);
        ASSERT_NE(h.find("FNumber"), nullptr);
        EXPECT_DOUBLE_EQ(h.find("FNumber")->number(), 2.8);
        // The same values as read from memory.
        const QXExifHolder memory = read(readFile(photo));
        ASSERT_EQ(h.values.size(), memory.values.size());
        for (const auto& [name, value] : memory.values) {
            SCOPED_TRACE(name);
            ASSERT_NE(h.find(name), nullptr);
            EXPECT_EQ(h.find(name)->text, value.text);
            EXPECT_EQ(h.find(name)->integer, value.integer);
            EXPECT_EQ(h.find(name)->denominator, value.denominator);
        }
    }
    for (const char* name : {"picture.png", "link.jpg", "fifo.jpg"}) {
        SCOPED_TRACE(name);
        auto file = QXFileInfo::fromPath(dir / name);
        ASSERT_TRUE(file);
        QXExifHolder h;
        EXPECT_FALSE(ReadExifFile(*file, h));
        EXPECT_FALSE(h.ready);
    }
    {
        // The path now names another file than the one recorded.
        auto file = QXFileInfo::fromPath(photo);
        ASSERT_TRUE(file);
        const std::string copy = dir.createFile("copy.jpg", readFile(photo));
        ASSERT_EQ(::rename(copy.c_str(), photo.c_str()), 0);
        QXExifHolder h;
        EXPECT_FALSE(ReadExifFile(*file, h));
        EXPECT_TRUE(h.values.empty());
    }
}

TEST(ExifReader, LargeSegmentsBeforeTheScanAreSkippedOrRead) {
    // Segments of many blocks, an Exif block far into the file, and image data after it.
    TiffDir first;
    first.entries = {tiffAscii(kMake, "Far")};
    const std::string profile = jpegSegment(0xE2, std::string(65000, '\x55'));
    const std::string bytes = jpegStart() + profile + profile +
                              exifSegment(TiffWriter(false).write(first)) + jpegTables() +
                              jpegScanAndEnd() + std::string(100000, '\xAA');
    TempDir dir;
    auto file = QXFileInfo::fromPath(dir.createFile("big.jpg", bytes));
    ASSERT_TRUE(file);
    QXExifHolder h;
    EXPECT_TRUE(ReadExifFile(*file, h));
    ASSERT_NE(h.find("CameraMake"), nullptr);
    EXPECT_EQ(h.find("CameraMake")->text, L"Far");
}

}  // namespace
}  // namespace quenrix
