// Writes the seed inputs of the fuzz targets: make_seeds <folder> creates
// <folder>/rule_presets_fuzz/ with preset files holding a rule of every kind, and
// <folder>/document_reader_fuzz/ with documents holding targets, ignored folders, grouped
// rules of every kind and the empty-folder lists.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "doc/CQuenrixDoc.h"
#include "doc/QXRulePreset.h"
#include "rule/QXRuleRegistry.h"

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds <folder>\n");
        return 2;
    }
    const std::filesystem::path root = argv[1];
    presetSeeds(root / "rule_presets_fuzz");
    documentSeeds(root / "document_reader_fuzz");
    return 0;
}
