#include "rule/QXRuleRegistry.h"

#include "rule/QXCheckArchiveRule.h"
#include "rule/QXCheckDuplicateRule.h"
#include "rule/QXCreateTimeRule.h"
#include "rule/QXExifRule.h"
#include "rule/QXFileAttrRule.h"
#include "rule/QXFileExtRule.h"
#include "rule/QXFileSizeRule.h"
#include "rule/QXFilenameRegexpRule.h"
#include "rule/QXFilenameRule.h"
#include "rule/QXFilenameWildcardRule.h"
#include "rule/QXID3Rule.h"
#include "rule/QXImageSizeRule.h"
#include "rule/QXLastAccessTimeRule.h"
#include "rule/QXLastUpdatedTimeRule.h"
#include "rule/QXSameFileRule.h"
#include "rule/QXScriptRule.h"
#include "rule/QXSimilarImageRule.h"
#include "rule/QXVideoRule.h"

namespace quenrix {

namespace {

// Each kind's factory is filled in here as the kind is added.
const QXRuleKind kKinds[ruletype::kCount] = {
    {ruletype::kFilename, L"filename", L"ファイル名", L"ファイル名", 50,
     []() -> QXRulePtr { return std::make_shared<QXFilenameRule>(); }},
    {ruletype::kFilenameWildcard, L"filename_wildcard", L"ファイル名（ワイルドカード）",
     L"ファイル名（ワイルドカード）", 52,
     []() -> QXRulePtr { return std::make_shared<QXFilenameWildcardRule>(); }},
    {ruletype::kFilenameRegexp, L"filename_regexp", L"ファイル名（正規表現）",
     L"ファイル名（正規表現）", 53,
     []() -> QXRulePtr { return std::make_shared<QXFilenameRegexpRule>(); }},
    {ruletype::kFileExt, L"file_ext", L"拡張子", L"拡張子", 60,
     []() -> QXRulePtr { return std::make_shared<QXFileExtRule>(); }},
    {ruletype::kFileSize, L"file_size", L"ファイルサイズ", L"ファイルサイズ", 55,
     []() -> QXRulePtr { return std::make_shared<QXFileSizeRule>(); }},
    {ruletype::kFileAttr, L"file_attr", L"ファイル属性", L"ファイル属性", 45,
     []() -> QXRulePtr { return std::make_shared<QXFileAttrRule>(); }},
    {ruletype::kCreateTime, L"file_create_time", L"作成時間", L"作成時間", 30,
     []() -> QXRulePtr { return std::make_shared<QXCreateTimeRule>(); }},
    {ruletype::kUpdateTime, L"file_update_time", L"更新時間", L"更新時間", 30,
     []() -> QXRulePtr { return std::make_shared<QXLastUpdatedTimeRule>(); }},
    {ruletype::kAccessTime, L"file_access_time", L"アクセス時間", L"アクセス時間", 30,
     []() -> QXRulePtr { return std::make_shared<QXLastAccessTimeRule>(); }},
    {ruletype::kDuplicate, L"duplicate", L"重複", L"重複", 10,
     []() -> QXRulePtr { return std::make_shared<QXCheckDuplicateRule>(); }},
    {ruletype::kImageSize, L"image_size", L"画像サイズ", L"画像サイズ", 20,
     []() -> QXRulePtr { return std::make_shared<QXImageSizeRule>(); }},
    {ruletype::kScript, L"script", L"スクリプト", L"スクリプト", 25,
     []() -> QXRulePtr { return std::make_shared<QXScriptRule>(); }},
    {ruletype::kSameFile, L"same_file", L"ファイル一致", L"ファイル一致", 15,
     []() -> QXRulePtr { return std::make_shared<QXSameFileRule>(); }},
    {ruletype::kCheckArchive, L"check_archive", L"書庫チェック", L"書庫チェック", 27,
     []() -> QXRulePtr { return std::make_shared<QXCheckArchiveRule>(); }},
    {ruletype::kExif, L"exif", L"Exif", L"Exif", 28,
     []() -> QXRulePtr { return std::make_shared<QXExifRule>(); }},
    {ruletype::kId3, L"id3", L"ID3", L"ID3", 28,
     []() -> QXRulePtr { return std::make_shared<QXID3Rule>(); }},
    {ruletype::kSimilarImage, L"similar_image", L"類似画像", L"類似画像", 12,
     []() -> QXRulePtr { return std::make_shared<QXSimilarImageRule>(); }},
    // The video kind is stored under "video", so video rules survive documents and
    // presets; files written without it simply hold no video rule.
    {ruletype::kVideo, L"video", L"動画", L"Video", 26,
     []() -> QXRulePtr { return std::make_shared<QXVideoRule>(); }},
};

}  // namespace

const QXRuleKind* ruleKind(int32_t typeId) {
    if (typeId < 0 || typeId >= ruletype::kCount) return nullptr;
    return &kKinds[typeId];
}

std::wstring ruleTypeKey(int32_t typeId) {
    const QXRuleKind* kind = ruleKind(typeId);
    return kind ? std::wstring(kind->typeKey) : std::wstring();
}

int32_t ruleTypeIdOf(std::wstring_view key) {
    if (key.empty()) return -1;
    for (const auto& kind : kKinds) {
        if (key == kind.typeKey) return kind.typeId;
    }
    return -1;
}

QXRulePtr createRule(int32_t typeId) {
    const QXRuleKind* kind = ruleKind(typeId);
    if (!kind || !kind->create) return nullptr;
    return kind->create();
}

}  // namespace quenrix
