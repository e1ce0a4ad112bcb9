#include "tovy/support_jscript/ScriptTarget.h"

#include <QDateTime>
#include <QJSEngine>

#include "core/QXFileExtras.h"
#include "core/QXFileInfo.h"
#include "core/QXImageLoader.h"
#include "digest/QXDigest.h"
#include "platform/Path.h"
#include "platform/WinTypes.h"
#include "tovy/support_jscript/ScriptItem.h"
#include "tovy/support_jscript/ScriptSite.h"

namespace tovy::support_jscript {

namespace {

// Member ids, in the order of memberNames().
enum Member {
    kFileName = 1,
    kFileNameNoExt,
    kFileSize,
    kFileExt,
    kPath,
    kDir,
    kAttribHidden,
    kAttribSystem,
    kAttribReadOnly,
    kAttribArchive,
    kCreateTime,
    kUpdateTime,
    kAccessTime,
    kImageWidth,
    kImageHeight,
    kCrc32,
    kMd5,
    kSha1,
    kSha256,
    kSha512,
};

QJSValue text(const std::wstring& value) {
    return QJSValue(QString::fromStdWString(value));
}

// A script Date at the same instant as the file time.
QJSValue date(QJSEngine& engine, int64_t unixNs) {
    int64_t ms = unixNs / 1000000;
    if (unixNs % 1000000 < 0) --ms;  // towards the earlier millisecond
    return engine.toScriptValue(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC));
}

QJSValue digest(quenrix::QXFileInfo& file, quenrix::QXDigestKind kind,
                quenrix::QXCacheServer* cache) {
    if (!quenrix::EnsureDigest(file, kind, cache)) return text(std::wstring());
    quenrix::QXFileExtras* extras = file.extrasIfAny();
    if (!extras || !extras->digests) return text(std::wstring());
    quenrix::QXDigestRecord& record = *extras->digests;
    record.comparison = record.text(kind);
    return text(record.comparison);
}

}  // namespace

QStringList ScriptTarget::memberNames() const {
    return {QStringLiteral("fileName"),
            QStringLiteral("fileNameNoExt"),
            QStringLiteral("fileSize"),
            QStringLiteral("fileExt"),
            QStringLiteral("path"),
            QStringLiteral("dir"),
            QStringLiteral("attribHidden"),
            QStringLiteral("attribSystem"),
            QStringLiteral("attribReadOnly"),
            QStringLiteral("attribArchive"),
            QStringLiteral("createTime"),
            QStringLiteral("updateTime"),
            QStringLiteral("accessTime"),
            QStringLiteral("imageWidth"),
            QStringLiteral("imageHeight"),
            QStringLiteral("crc32"),
            QStringLiteral("md5"),
            QStringLiteral("sha1"),
            QStringLiteral("sha2_256"),
            QStringLiteral("sha2_512")};
}

QJSValue ScriptTarget::property(int id) {
    QJSEngine& engine = *site().engine();
    quenrix::QXFileInfo* file = site().target();
    if (!file) {
        QJSValue error = engine.newErrorObject(
            QJSValue::GenericError, QStringLiteral("ファイル情報が見つかりませんでした。"));
        error.setProperty(QStringLiteral("source"), QStringLiteral("Quenrix"));
        engine.throwError(error);
        return QJSValue();
    }
    const uint32_t attributes = file->attributes();
    switch (id) {
        case kFileName:
            return text(file->fileName());
        case kFileNameNoExt:
            return text(platform::removeExtension(file->fileName()));
        case kFileSize:
            return QJSValue(double(file->size()));
        case kFileExt:
            return text(platform::extensionOf(file->fileName()));
        case kPath:
            return text(file->fullPath());
        case kDir:
            return text(platform::parentPath(file->fullPath()));
        case kAttribHidden:
            return QJSValue((attributes & platform::FILE_ATTRIBUTE_HIDDEN) != 0);
        case kAttribSystem:
            return QJSValue((attributes & platform::FILE_ATTRIBUTE_SYSTEM) != 0);
        case kAttribReadOnly:
            return QJSValue((attributes & platform::FILE_ATTRIBUTE_READONLY) != 0);
        case kAttribArchive:
            return QJSValue((attributes & platform::FILE_ATTRIBUTE_ARCHIVE) != 0);
        case kCreateTime:
            return date(engine, file->stat().createNs);
        case kUpdateTime:
            return date(engine, file->stat().writeNs);
        case kAccessTime:
            return date(engine, file->stat().accessNs);
        case kImageWidth:
            quenrix::EnsureImageSize(*file);
            return QJSValue(int(file->imageWidth));
        case kImageHeight:
            quenrix::EnsureImageSize(*file);
            return QJSValue(int(file->imageHeight));
        case kCrc32:
            return digest(*file, quenrix::QXDigestKind::kCrc32, site().cache());
        case kMd5:
            return digest(*file, quenrix::QXDigestKind::kMd5, site().cache());
        case kSha1:
            return digest(*file, quenrix::QXDigestKind::kSha1, site().cache());
        case kSha256:
            return digest(*file, quenrix::QXDigestKind::kSha256, site().cache());
        case kSha512:
            return digest(*file, quenrix::QXDigestKind::kSha512, site().cache());
        default:
            return QJSValue();
    }
}

ScriptItem targetItem() {
    return ScriptItem{L"target", kItemVisible | kItemGlobalMembers,
                      [](ScriptSite& site) -> ScriptObject* { return new ScriptTarget(site); }};
}

}  // namespace tovy::support_jscript
