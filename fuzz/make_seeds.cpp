// Writes the seed inputs of the fuzz targets: make_seeds <folder> creates
// <folder>/rule_presets_fuzz/ with preset files holding a rule of every kind, and
// <folder>/document_reader_fuzz/ with documents holding targets, ignored folders, grouped
// rules of every kind and the empty-folder lists, and <folder>/exif_reader_fuzz/ with JPEG
// headers (Exif in both byte orders, every value format, comments, a directory loop).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "doc/CQuenrixDoc.h"
#include "doc/QXRulePreset.h"
#include "rule/QXRuleRegistry.h"
#include "support/JpegWriter.h"

namespace {

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

void presetSeeds(const std::filesystem::path& folder) {
    using namespace quenrix;
    std::filesystem::create_directories(folder);
    QXRulePresetList all;
    QXRuleList every;
    for (int32_t id = 0; id < ruletype::kCount; ++id) {
        QXRulePtr rule = createRule(id);
        if (!rule) continue;
        QXRuleList one{rule};
        writeFile(folder / ("kind" + std::to_string(id)),
                  QXRulePresets::fileBytes({QXRulePresets::make(L"kind", id % 2, one)}));
        every.push_back(rule);
    }
    if (every.size() >= 3) groupRules({every[1], every[2]}, 1);
    all.push_back(QXRulePresets::make(L"all \\ \"kinds\"", 1, every));
    all.push_back(QXRulePresets::make(L"empty", 0, {}));
    writeFile(folder / "all", QXRulePresets::fileBytes(all));
}

void documentSeeds(const std::filesystem::path& folder) {
    using namespace quenrix;
    std::filesystem::create_directories(folder);
    CQuenrixDoc doc;
    for (const char* path : {"/tmp", "/"})
        if (QXTargetPtr target = QXTarget::fromPath(path)) doc.targets.push_back(target);
    doc.ignoreList = {L"*.git", L"back\\slash \"quoted\""};
    doc.includeSubfolders = true;
    doc.includeSystem = true;
    doc.ruleOperator = CQuenrixDoc::kRuleOr;
    for (int32_t id = 0; id < ruletype::kCount; ++id)
        if (QXRulePtr rule = createRule(id)) doc.rules.push_back(rule);
    if (doc.rules.size() >= 2) {
        groupRules({doc.rules[0], doc.rules[1]}, 1);
    }
    const std::filesystem::path saved = folder / "doc03";
    doc.onSaveDocument(saved.string());
}

void exifSeeds(const std::filesystem::path& folder) {
    using namespace quenrix::test;
    std::filesystem::create_directories(folder);
    TiffDir interop;
    interop.entries = {tiffAscii(0x0001, "R98")};
    TiffDir exif;
    exif.entries = {
        tiffRational(0x829A, 1, 250),
        tiffRational(0x829D, 28, 10),
        tiffShort(0x8822, 2),
        tiffShort(0x8827, 400),
        tiffAscii(0x9003, "2010:05:01 10:00:00"),
        tiffShort(0x9207, 5),
        tiffShort(0x9208, 3),
        tiffShort(0x9209, 16),
        tiffShort(0xA002, 640),
        tiffLong(0xA003, 480),
        tiffShort(0xA402, 1),
        tiffShort(0xA403, 1),
        tiffBytes(0x9286, kTiffUndefined, std::string("ASCII\0\0\0Hello", 13)),
    };
    exif.subs = {linkedAs(0xA005, interop)};
    TiffDir next;
    next.entries = {tiffAscii(0x0131, "Viewer")};
    TiffDir first;
    first.entries = {tiffAscii(0x010F, "Maker"), tiffAscii(0x0110, "Model"),
                     tiffAscii(0x8298, "(c)")};
    first.subs = {linkedAs(0x8769, exif)};
    first.next = {next};
    const std::string comment = jpegSegment(0xFE, "a\r\nb\x01");
    for (bool big : {false, true}) {
        writeFile(folder / (big ? "camera_motorola" : "camera_intel"),
                  jpegWith({exifSegment(TiffWriter(big).write(first)), comment}));
    }

    TiffDir formats;
    formats.entries = {
        tiffNumber(0x8822, kTiffByte, 3),
        tiffNumber(0x9207, kTiffSByte, 0xFE),
        tiffNumber(0x9208, kTiffSShort, 0xFFFD),
        tiffNumber(0x9209, kTiffSLong, 7),
        tiffSRational(0x829D, -1, 3),
        tiffFloat(0xA402, 2.5f),
        tiffDouble(0xA403, 1.5),
        tiffAscii(0x8827, "12"),
    };
    formats.nextOverride = 8;  // links back to itself
    writeFile(folder / "formats_loop", jpegWith({exifSegment(TiffWriter(true).write(formats))}));
    writeFile(folder / "comment_only", jpegWith({comment, jpegSegment(0xFE, "second")}));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <folder>\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    presetSeeds(root / "rule_presets_fuzz");
    documentSeeds(root / "document_reader_fuzz");
    exifSeeds(root / "exif_reader_fuzz");
    return 0;
}
