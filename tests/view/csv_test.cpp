// CSV export and import of the result list: the bytes written, the records read back,
// and which lines the import keeps.
#include "view/QXCsv.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/QXFileExtras.h"
#include "core/QXLog.h"
#include "core/QXMetadata.h"
#include "digest/QXDigest.h"
#include "support/TempDir.h"
#include "tovy/TovStream.h"
#include "tovy/TovUtf8.h"
#include "view/QXColumns.h"

namespace quenrix {
namespace {

using test::TempDir;

// A record for a path that need not exist (the export never looks at the disk).
QXFileInfoPtr record(const std::string& path, uint64_t size, uint32_t flags, int32_t group = 0) {
    platform::FileStat st;
    st.size = size;
    st.writeNs = int64_t(1700000000) * 1000000000;
    st.createNs = st.accessNs = st.writeNs;
    auto file = std::make_shared<QXFileInfo>(path, st);
    file->setFlags(flags);
    file->groupNumber = group;
    return file;
}

QXCsvExportSettings only(std::vector<int32_t> columns) {
    QXCsvExportSettings s = QXCsvExportSettings::defaults();
    s.columns = std::move(columns);
    return s;
}

std::vector<std::string> crlfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    EXPECT_EQ(start, bytes.size()) << "every line ends with CR LF";
    return lines;
}

TEST(CsvSplit, FieldsQuotesAndEscapes) {
    static const struct {
        const char* name;
        const wchar_t* line;
        std::vector<std::wstring> fields;
    } cases[] = {
        {"plain", L"a,b,c", {L"a", L"b", L"c"}},
        {"a trailing separator adds no field", L"a,b,", {L"a", L"b"}},
        {"empty fields", L",,x,", {L"", L"", L"x"}},
        {"comma inside quotes", L"\"a,b\",c,", {L"a,b", L"c"}},
        {"quotes switch anywhere", L"ab\"c,d\"e,f", {L"abc,de", L"f"}},
        {"escaped quote and backslash", L"\"a\\\"b\\\\c\",", {L"a\"b\\c"}},
        {"backslash before another character stays", L"C:\\dir\\x,", {L"C:\\dir\\x"}},
        {"backslash keeps a comma in the field", L"a\\,b,c", {L"a\\,b", L"c"}},
        {"backslash at the end is dropped", L"ab\\", {L"ab"}},
        {"unclosed quote runs to the end", L"\"a,b", {L"a,b"}},
        {"tab is no separator", L"a\tb\t", {L"a\tb\t"}},
        {"quoted empty field", L"\"\",", {L""}},
        {"empty line", L"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(splitCsvLine(c.line), c.fields) << c.name;
    }
}

TEST(CsvExport, DefaultsWriteEveryColumnOfTheTickedRowsQuoted) {
    QXFileList files = {record("/data/a.txt", 1234567, QXFileInfo::kCheck),
                        record("/data/kept.txt", 10, 0)};
    std::string bytes;
    QXCsvExportResult r = formatCsv(files, QXCsvExportSettings::defaults(), bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF") << "no byte-order mark";
    std::vector<std::string> lines = crlfLines(bytes);
    ASSERT_EQ(lines.size(), 2u) << "the header and the one ticked row";

    std::string header;
    for (int32_t type = 0; type < kAllColumnTypes; ++type)
        header += tovy::toUtf8(columnKey(type)) + ",";
    EXPECT_EQ(lines[0], header);
    EXPECT_EQ(lines[0].substr(0, 14), "FileName,Path,");

    const std::string& row = lines[1];
    EXPECT_TRUE(row.starts_with("\"a.txt\",\"/data/a.txt\",\"1,234,567\",")) << row;
    EXPECT_TRUE(row.ends_with(",\"0\",\"a\",")) << "Group and Flags last: " << row;
    std::vector<std::wstring> fields = splitCsvLine(tovy::fromUtf8(row));
    ASSERT_EQ(fields.size(), size_t(kAllColumnTypes));
    for (int32_t type = 0; type < kAllColumnTypes; ++type)
        EXPECT_EQ(fields[type], exportColumnText(type, *files[0], false)) << "type " << type;
}

TEST(CsvExport, SettingsShapeTheBytes) {
    const std::string kana = "/d/\xE5\x86\x99\xE7\x9C\x9F.jpg";  // 写真.jpg
    QXFileList files = {record("/d/a b.txt", 1234567, QXFileInfo::kCheck), record(kana, 1536, 0),
                        record("/d/q\"u\\o.txt", 999, QXFileInfo::kCheck)};
    auto with = [](std::vector<int32_t> columns, auto change) {
        QXCsvExportSettings s = only(std::move(columns));
        change(s);
        return s;
    };
    const struct {
        const char* name;
        QXCsvExportSettings settings;
        std::string bytes;
    } cases[] = {
        {"quoting off: the size's commas split it",
         with({kColFileName, kColFileSize}, [](auto& s) { s.quote = false; }),
         "FileName,FileSize,\r\n"
         "a b.txt,1,234,567,\r\n"
         "q\"u\\o.txt,999,\r\n"},
        {"quoting escapes quote and backslash", only({kColPath}),
         "Path,\r\n"
         "\"/d/a b.txt\",\r\n"
         "\"/d/q\\\"u\\\\o.txt\",\r\n"},
        {"tab separator", with({kColPath, kColFileSize}, [](auto& s) { s.separator = 1; }),
         "Path\tFileSize\t\r\n"
         "\"/d/a b.txt\"\t\"1,234,567\"\t\r\n"
         "\"/d/q\\\"u\\\\o.txt\"\t\"999\"\t\r\n"},
        {"size with unit", with({kColFileSize}, [](auto& s) { s.sizeWithUnit = true; }),
         "FileSize,\r\n"
         "\"1.17 MB\",\r\n"
         "\"999 B\",\r\n"},
        {"unticked rows", with({kColFileName, kColFlags}, [](auto& s) { s.rows = 1; }),
         "FileName,Flags,\r\n"
         "\"\xE5\x86\x99\xE7\x9C\x9F.jpg\",\"\",\r\n"},
        {"all rows in Shift_JIS",
         with({kColFileName, kColFileSize},
              [](auto& s) {
                  s.rows = 2;
                  s.encoding = QXCsvEncoding::kSjis;
                  s.sizeWithUnit = true;
              }),
         "FileName,FileSize,\r\n"
         "\"a b.txt\",\"1.17 MB\",\r\n"
         "\"\x8E\xCA\x90\x5E.jpg\",\"1.50 KB\",\r\n"
         "\"q\\\"u\\\\o.txt\",\"999 B\",\r\n"},
        {"no columns", with({}, [](auto& s) { s.rows = 2; }), "\r\n\r\n\r\n\r\n"},
    };
    for (const auto& c : cases) {
        std::string bytes;
        QXCsvExportResult r = formatCsv(files, c.settings, bytes);
        EXPECT_TRUE(r.ok) << c.name;
        EXPECT_EQ(bytes, c.bytes) << c.name;
    }
}

TEST(CsvExport, TextsThatCannotBeWrittenStopTheExport) {
    auto exif = [](const std::string& path, const std::wstring& comment) {
        QXFileInfoPtr f = record(path, 1, QXFileInfo::kCheck);
        f->extras().exif = std::make_unique<QXExifHolder>();
        f->extras().exif->ready = true;
        f->extras().exif->values["Comment"].text = comment;
        return f;
    };
    const struct {
        const char* name;
        QXFileInfoPtr file;
        QXCsvEncoding encoding;
        std::vector<int32_t> columns;
        bool ok;
        const wchar_t* messagePart;  // when not ok
    } cases[] = {
        {"yen sign in Shift_JIS",
         record("/d/\xC2\xA5"
                "100.txt",
                1, QXFileInfo::kCheck),
         QXCsvEncoding::kSjis,
         {kColPath},
         false,
         L"/d/\u00A5100.txt"},
        {"wave dash in Shift_JIS",
         record("/d/a\xE3\x80\x9C"
                "b",
                1, QXFileInfo::kCheck),
         QXCsvEncoding::kSjis,
         {kColFileName},
         false,
         L"U+301C"},
        {"undecodable name byte in Shift_JIS",
         record("/d/\x82\xA0.txt", 1, QXFileInfo::kCheck),
         QXCsvEncoding::kSjis,
         {kColPath},
         false,
         L"/d/\uFFFD\uFFFD.txt"},
        {"undecodable name byte in UTF-8 is written as it is",
         record("/d/\x82\xA0.txt", 1, QXFileInfo::kCheck),
         QXCsvEncoding::kUtf8,
         {kColPath},
         true,
         nullptr},
        {"emoji in a tag in Shift_JIS",
         exif("/d/p.jpg", L"smile \U0001F600"),
         QXCsvEncoding::kSjis,
         {kColPath, kColExifComment},
         false,
         L"Exif:コメント"},
        {"line feed in the path",
         record("/d/a\nb.txt", 1, QXFileInfo::kCheck),
         QXCsvEncoding::kUtf8,
         {kColPath},
         false,
         L"/d/a\u21B5b.txt"},
        {"carriage return in the name",
         record("/d/a\rb.txt", 1, QXFileInfo::kCheck),
         QXCsvEncoding::kUtf8,
         {kColFileName},
         false,
         L"改行"},
        {"line break in a path that is not written",
         record("/d/a\nb.txt", 1, QXFileInfo::kCheck),
         QXCsvEncoding::kUtf8,
         {kColFileSize},
         true,
         nullptr},
        {"line break in an unticked row",
         record("/d/a\nb.txt", 1, 0),
         QXCsvEncoding::kUtf8,
         {kColPath},
         true,
         nullptr},
        {"line break in a tag becomes a space",
         exif("/d/p.jpg", L"one\r\ntwo"),
         QXCsvEncoding::kUtf8,
         {kColExifComment},
         true,
         nullptr},
    };
    for (const auto& c : cases) {
        QXCsvExportSettings s = only(c.columns);
        s.encoding = c.encoding;
        std::string bytes;
        QXCsvExportResult r = formatCsv({c.file}, s, bytes);
        EXPECT_EQ(r.ok, c.ok) << c.name;
        if (!c.ok) {
            EXPECT_NE(r.message.find(c.messagePart), std::wstring::npos) << c.name;
            EXPECT_NE(r.message.find(L"中止"), std::wstring::npos) << c.name;
        }
    }

    std::string bytes;
    ASSERT_TRUE(formatCsv({exif("/d/p.jpg", L"one\r\ntwo")}, only({kColExifComment}), bytes).ok);
    EXPECT_EQ(bytes, "exif.comment,\r\n\"one  two\",\r\n");
}

TEST(CsvExport, FileIsWrittenOrTheFailureReported) {
    TempDir dir;
    QXFileList files = {record("/d/a.txt", 1, QXFileInfo::kCheck)};
    const std::string path = dir / "out.csv";
    dir.createFile("out.csv", "an older and much longer export");
    ASSERT_TRUE(exportCsv(path, files, only({kColPath})).ok);
    EXPECT_EQ(test::readFile(path), "Path,\r\n\"/d/a.txt\",\r\n");

    QXLog::clearQueue();
    QXCsvExportResult r = exportCsv(dir / "no such folder/out.csv", files, only({kColPath}));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, L"ファイルの書き込みに失敗しました。");
    bool logged = false;
    for (const std::wstring& line : QXLog::takeQueued())
        logged = logged || line.find(L"(QuenrixView_IO,1)") != std::wstring::npos;
    EXPECT_TRUE(logged);

    QXFileList bad = {record("/d/a\nb", 1, QXFileInfo::kCheck)};
    const std::string untouched = dir.createFile("keep.csv", "old");
    EXPECT_FALSE(exportCsv(untouched, bad, only({kColPath})).ok);
    EXPECT_EQ(test::readFile(untouched), "old") << "a refused export leaves the file alone";
}

// Files on disk with the names that stress the quoting, given their record fields.
struct RoundTripFixture {
    TempDir dir;
    QXFileList files;

    RoundTripFixture() {
        const struct {
            const char* name;
            uint32_t flags;
            int32_t group;
        } specs[] = {
            {"say \"hi\".txt", QXFileInfo::kCheck | QXFileInfo::kInGroup, 1},
            {"a, b.txt", QXFileInfo::kInGroup | QXFileInfo::kNewestInGroup, 1},
            {"back\\slash\\.txt", QXFileInfo::kCheck | QXFileInfo::kDone, 2},
            {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE5\x90\x8D\xE5\x89\x8D.txt", 0, 2},
            {"\\\"\\\",.txt", QXFileInfo::kCheck | QXFileInfo::kMatched | QXFileInfo::kExamined, 3},
        };
        int n = 0;
        for (const auto& s : specs) {
            const std::string path =
                dir.createFile(std::string("sub/") + s.name, std::string(size_t(100 + n), 'x'));
            QXFileInfoPtr f = QXFileInfo::fromPath(path);
            f->setFlags(s.flags);
            f->groupNumber = s.group;
            QXDigestRecord& d = *(f->extras().digests = std::make_unique<QXDigestRecord>());
            d.md5 = std::wstring(32, wchar_t(L'a' + n));
            d.sha1 = std::wstring(40, wchar_t(L'0' + n));
            d.comparison = d.md5;
            f->addFlags(QXFileInfo::kMd5Computed | QXFileInfo::kSha1Computed);
            ++n;
            files.push_back(f);
        }
        // Metadata on one of them, each kind of value once.
        QXFileInfo& photo = *files[0];
        auto& exif = *(photo.extras().exif = std::make_unique<QXExifHolder>());
        exif.ready = true;
        exif.values["CameraMake"].text = L"Canon";
        exif.values["DateTime"].text = L"2023:04:05 06:07:08";
        auto integer = [](int32_t v) {
            QXExifValue x;
            x.kind = QXExifValue::kInteger;
            x.integer = v;
            return x;
        };
        auto fraction = [](int32_t num, int32_t den) {
            QXExifValue x;
            x.kind = QXExifValue::kFraction;
            x.numerator = num;
            x.denominator = den;
            return x;
        };
        exif.values["ImageWidth"] = integer(4000);
        exif.values["Flash"] = integer(16);
        exif.values["MeteringMode"] = integer(5);
        exif.values["FNumber"] = fraction(28, 10);
        exif.values["ExposureTime"] = fraction(1, 250);
        auto& id3 = *(photo.extras().id3 = std::make_unique<QXId3Holder>());
        id3.ready = true;
        id3.length = 225;
        id3.year = 1999;
        id3.artist = L"\u6B4C\u624B";
    }
};

TEST(CsvRoundTrip, ExportThenImportGivesTheListBack) {
    for (QXCsvEncoding encoding : {QXCsvEncoding::kUtf8, QXCsvEncoding::kSjis}) {
        const char* name = encoding == QXCsvEncoding::kUtf8 ? "UTF-8" : "SJIS";
        RoundTripFixture fx;
        QXCsvExportSettings s = QXCsvExportSettings::defaults();
        s.rows = 2;
        s.encoding = encoding;
        const std::string csv = fx.dir / "list.csv";
        QXCsvExportResult written = exportCsv(csv, fx.files, s);
        ASSERT_TRUE(written.ok) << name << ": " << tovy::toUtf8(written.message);

        QXCsvImportResult read = importCsv(csv, encoding);
        ASSERT_EQ(read.status, QXCsvImportResult::kOk) << name;
        EXPECT_TRUE(read.duplicateSearch) << name;
        ASSERT_EQ(read.records.size(), fx.files.size()) << name;

        std::map<std::string, QXFileInfoPtr> byPath;
        for (const QXFileInfoPtr& f : read.records) byPath[f->nativePath()] = f;
        for (const QXFileInfoPtr& before : fx.files) {
            const std::string& path = before->nativePath();
            ASSERT_EQ(byPath.count(path), 1u) << name << ": " << path;
            const QXFileInfo& after = *byPath[path];
            EXPECT_EQ(after.flags(), before->flags()) << name << ": " << path;
            EXPECT_EQ(after.groupNumber, before->groupNumber) << name << ": " << path;
            EXPECT_EQ(after.targetIndex, 0) << name;
            EXPECT_EQ(after.size(), before->size()) << name << ": " << path;
            ASSERT_NE(after.extrasIfAny(), nullptr) << name;
            const QXDigestRecord& d = *after.extrasIfAny()->digests;
            EXPECT_EQ(d.md5, before->extrasIfAny()->digests->md5) << name << ": " << path;
            EXPECT_EQ(d.sha1, before->extrasIfAny()->digests->sha1) << name << ": " << path;
            EXPECT_EQ(d.comparison, d.md5) << name << ": " << path;
            // Every column but the image size (whose mark the import leaves unset) reads
            // the same as before.
            for (int32_t type = 0; type < kAllColumnTypes; ++type) {
                if (type == kColImageSize) continue;
                EXPECT_EQ(exportColumnText(type, after, false),
                          exportColumnText(type, *before, false))
                    << name << ": " << path << " type " << type;
            }
        }
        // Sorted by group number, then by file name.
        for (size_t i = 1; i < read.records.size(); ++i)
            EXPECT_LE(read.records[i - 1]->groupNumber, read.records[i]->groupNumber) << name;
    }
}

TEST(CsvImport, KeepsOnlyLinesNamingRegularFiles) {
    TempDir dir;
    const std::string file = dir.createFile("file.txt", "12345");
    const std::string folder = dir.createDir("folder");
    const std::string link = dir / "link.txt";
    ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A relative path that names the file from the current folder is still refused.
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    struct Restore {
        const char* folder;
        ~Restore() { (void)!chdir(folder); }
    } restore{previous};

    const struct {
        const char* name;
        std::string path;
        bool kept;
    } cases[] = {
        {"regular file", file, true},
        {"folder", folder, false},
        {"symbolic link to a file", link, false},
        {"fifo", fifo, false},
        {"missing file", dir / "gone.txt", false},
        {"relative path of an existing file", "file.txt", false},
        {"empty path", "", false},
        {"trailing slash", file + "/", false},
    };
    for (const auto& c : cases) {
        const std::string bytes = "Path,FileSize,Flags,\r\n\"" + c.path + "\",\"999\",\"a\",\r\n";
        QXCsvImportResult r = parseCsv(bytes, QXCsvEncoding::kUtf8);
        ASSERT_EQ(r.status, QXCsvImportResult::kOk) << c.name;
        ASSERT_EQ(r.records.size(), c.kept ? 1u : 0u) << c.name;
        if (c.kept) {
            EXPECT_EQ(r.records[0]->size(), 5u) << c.name << ": the size comes from the file";
            EXPECT_TRUE(r.records[0]->stat().isRegular()) << c.name;
            EXPECT_EQ(r.records[0]->fileName(), L"file.txt") << c.name;
            EXPECT_EQ(r.records[0]->flags(), QXFileInfo::kCheck) << c.name;
        }
    }
}

TEST(CsvImport, OneRowPerDirectoryEntry) {
    TempDir dir;
    const std::string file = dir.createFile("sub/f.txt", "f");
    const std::string other = dir.createFile("sub/g.txt", "g");
    const std::string hardLink = dir / "sub/hard.txt";
    ASSERT_EQ(link(file.c_str(), hardLink.c_str()), 0);
    const std::string linkedFolder = dir / "linked";
    ASSERT_EQ(symlink((dir / "sub").c_str(), linkedFolder.c_str()), 0);

    const struct {
        const char* name;
        std::vector<std::string> paths;  // the Path column, line by line
        std::vector<std::string> kept;   // in file order
    } cases[] = {
        {"a repeated line", {file, other, file}, {file, other}},
        {"dot and dot-dot components",
         {dir / "sub/./f.txt", dir / "sub/../sub/f.txt"},
         {dir / "sub/./f.txt"}},
        {"a doubled slash", {file, dir.path() + "//sub/f.txt"}, {file}},
        {"through a linked folder", {linkedFolder + "/f.txt", file}, {linkedFolder + "/f.txt"}},
        {"hard links are two entries", {file, hardLink}, {file, hardLink}},
    };
    for (const auto& c : cases) {
        std::string bytes = "Flags,Path,\r\n";
        for (const std::string& p : c.paths) bytes += "a,\"" + p + "\",\r\n";
        QXCsvImportResult r = parseCsv(bytes, QXCsvEncoding::kUtf8);
        std::vector<std::string> kept;
        for (const QXFileInfoPtr& f : r.records) kept.push_back(f->nativePath());
        std::sort(kept.begin(), kept.end());
        std::vector<std::string> expected = c.kept;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(kept, expected) << c.name;
    }
}

TEST(CsvImport, ColumnsGroupsAndFlags) {
    TempDir dir;
    const std::string a = dir.createFile("a.txt", "a");
    const std::string b = dir.createFile("b.txt", "b");
    const std::string q = "\"";
    const struct {
        const char* name;
        std::string bytes;
        size_t records;
        bool duplicates;
        uint32_t firstFlags;
    } cases[] = {
        {"flags ad: ticked and in a group", "Path,Flags,\r\n" + q + a + q + ",ad,\r\n", 1, false,
         QXFileInfo::kCheck | QXFileInfo::kInGroup},
        {"flag b: the done bit", "Path,Flags,\r\n" + a + ",b,\r\n", 1, false, QXFileInfo::kDone},
        {"other letters are ignored", "Path,Flags,\r\n" + a + ",xyzA,\r\n", 1, false, 0},
        {"unknown header field between Path and Md5",
         "Path,Nonsense,Md5,\r\n" + a + ",zzz," + std::string(32, '9') + ",\r\n", 1, false,
         QXFileInfo::kMd5Computed},
        {"group above 0 makes a duplicate list", "Path,Group,\r\n" + a + ",2,\r\n", 1, true, 0},
        {"two of group 0 make a duplicate list", "Path,Group,\r\n" + a + ",0,\r\n" + b + ",0,\r\n",
         2, true, 0},
        {"one record of group 0 does not", "Path,Group,\r\n" + a + ",0,\r\n", 1, false, 0},
        {"no Group column, no duplicate list", "Path,\r\n" + a + ",\r\n" + b + ",\r\n", 2, false,
         0},
        {"lines end in CR, LF or both; empty lines skipped",
         "Path,\r\r\n\n" + a + ",\r" + b + "\n\n", 2, false, 0},
        {"a header key must match exactly", "path,Flags,\r\n" + a + ",a,\r\n", 0, false, 0},
        {"tab-separated lines have no path", "Path\tFlags\t\r\n\"" + a + "\"\t\"a\"\t\r\n", 0,
         false, 0},
        {"header only", "Path,Flags,\r\n", 0, false, 0},
    };
    for (const auto& c : cases) {
        QXCsvImportResult r = parseCsv(c.bytes, QXCsvEncoding::kUtf8);
        ASSERT_EQ(r.status, QXCsvImportResult::kOk) << c.name;
        ASSERT_EQ(r.records.size(), c.records) << c.name;
        EXPECT_EQ(r.duplicateSearch, c.duplicates) << c.name;
        if (c.records > 0) {
            EXPECT_EQ(r.records[0]->flags(), c.firstFlags) << c.name;
        }
    }

    QXCsvImportResult md5 =
        parseCsv("Path,Nonsense,Md5,Hash,\r\n" + a + ",zzz,abc,def,\r\n", QXCsvEncoding::kUtf8);
    ASSERT_EQ(md5.records.size(), 1u);
    const QXDigestRecord& d = *md5.records[0]->extrasIfAny()->digests;
    EXPECT_EQ(d.md5, L"abc");
    EXPECT_EQ(d.comparison, L"def");

    QXCsvImportResult sized =
        parseCsv("Image size,Path,\r\n640x480," + a + ",\r\n", QXCsvEncoding::kUtf8);
    ASSERT_EQ(sized.records.size(), 1u);
    EXPECT_EQ(sized.records[0]->imageWidth, 640);
    EXPECT_EQ(sized.records[0]->imageHeight, 480);
    EXPECT_FALSE(sized.records[0]->hasFlag(QXFileInfo::kImageSize));
}

TEST(CsvImport, EmptyAndUnreadableFiles) {
    TempDir dir;
    const struct {
        const char* name;
        std::string bytes;
    } empties[] = {{"no bytes", ""}, {"only line ends", "\r\n\r\n\n\r"}};
    for (const auto& c : empties) {
        EXPECT_EQ(parseCsv(c.bytes, QXCsvEncoding::kUtf8).status, QXCsvImportResult::kEmpty)
            << c.name;
        EXPECT_EQ(importCsv(dir.createFile("empty.csv", c.bytes), QXCsvEncoding::kSjis).status,
                  QXCsvImportResult::kEmpty)
            << c.name;
    }
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        const char* name;
        std::string path;
    } unreadable[] = {
        {"missing", dir / "missing.csv"},
        {"folder", dir.path()},
        {"fifo is not waited on", fifo},
    };
    for (const auto& c : unreadable) {
        EXPECT_EQ(importCsv(c.path, QXCsvEncoding::kUtf8).status, QXCsvImportResult::kReadError)
            << c.name;
    }
}

TEST(CsvImport, SurvivesArbitraryBytes) {
    TempDir dir;
    const std::string file = dir.createFile("x.txt", "x");
    // Bytes that matter to the reader, and some that do not decode.
    const std::string alphabet = std::string("\"\\,\t\r\nabdfx0123456789/ ") + '\0' +
                                 "\x81\x82\xA0\xE3\x80\xFF\xC2\xA5" + file;
    const char* headers[] = {
        "", "Path,Flags,Group,\r\n",
        "Image size,Path,Md5,Hash,exif.datetime,exif.aperture,id3.length,\r\n"};
    std::mt19937 rng(20240611);
    for (int i = 0; i < 3000; ++i) {
        std::string bytes = headers[i % 3];
        const size_t n = rng() % 160;
        for (size_t k = 0; k < n; ++k) {
            if (rng() % 20 == 0)
                bytes += file;
            else
                bytes.push_back(alphabet[rng() % alphabet.size()]);
        }
        for (QXCsvEncoding enc : {QXCsvEncoding::kUtf8, QXCsvEncoding::kSjis}) {
            QXCsvImportResult r = parseCsv(bytes, enc);
            for (const QXFileInfoPtr& f : r.records) {
                ASSERT_TRUE(f->stat().isRegular());
                ASSERT_EQ(f->nativePath().front(), '/');
            }
        }
    }
}

}  // namespace
}  // namespace quenrix
