#include "rule/QXMetadataFetch.h"

#include <memory>

#include "core/QXExifReader.h"
#include "core/QXFileExtras.h"
#include "core/QXLog.h"
#include "platform/FileStat.h"
#include "rule/QXVideoReader.h"
#include "tovy/support_tag/TovTagLibHost.h"

namespace quenrix {

namespace {

using tovy::support_tag::ITagLib;
using tovy::support_tag::TovTagLibHost;

// Whether the record's path still names a regular file, the recorded one when the
// record knows its inode. The module refuses links and special files itself; this
// keeps it from reading another file that took the name since the search.
bool stillRecordedFile(const QXFileInfo& file) {
    platform::FileStat now;
    if (!platform::statPath(file.nativePath(), now) || !now.isRegular()) return false;
    const platform::FileStat& recorded = file.stat();
    return recorded.ino == 0 || (now.dev == recorded.dev && now.ino == recorded.ino);
}

void readTags(const QXFileInfo& file, QXId3Holder& holder) {
    TovTagLibHost& host = TovTagLibHost::instance();
    ITagLib* reader = host.createInstance();
    if (!reader) {
        QXLog::Write(L"ITagLib インターフェイスの取得に失敗しました");
        return;
    }
    const std::wstring path = file.fullPath();
    if (!stillRecordedFile(file) || !reader->open(path.c_str())) {
        QXLog::Write(L"TagLib: ファイルを開けませんでした. [%s]", path.c_str());
    } else {
        holder.channels = reader->channels();
        holder.bitRate = reader->bitRate();
        holder.sampleRate = reader->sampleRate();
        holder.track = reader->track();
        holder.year = reader->year();
        holder.length = reader->length();
        holder.artist = TovTagLibHost::take(reader->artist());
        holder.title = TovTagLibHost::take(reader->title());
        holder.album = TovTagLibHost::take(reader->album());
        holder.genre = TovTagLibHost::take(reader->genre());
        holder.comment = TovTagLibHost::take(reader->comment());
        holder.ready = true;
        reader->close();
    }
    host.deleteInstance(reader);
}

}  // namespace

const QXExifHolder& fetchExif(QXFileInfo& file) {
    QXFileExtras& extras = file.extras();
    if (!extras.exif) {
        extras.exif = std::make_unique<QXExifHolder>();
        ReadExifFile(file, *extras.exif);
    }
    return *extras.exif;
}

const QXId3Holder& fetchId3(QXFileInfo& file) {
    QXFileExtras& extras = file.extras();
    if (!extras.id3) {
        extras.id3 = std::make_unique<QXId3Holder>();
        readTags(file, *extras.id3);
    }
    return *extras.id3;
}

const QXVideoHolder& fetchVideo(QXFileInfo& file) {
    QXFileExtras& extras = file.extras();
    if (!extras.video) {
        extras.video = std::make_unique<QXVideoHolder>();
        ReadVideoFile(file, *extras.video);
    }
    return *extras.video;
}

}  // namespace quenrix
