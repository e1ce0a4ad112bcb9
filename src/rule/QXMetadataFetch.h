// The metadata holders of a record, read on first need: the Exif values of a JPEG, the
// tags of an audio file through the tag module, the properties of a video. The metadata
// rules and the result list's metadata columns fetch through these, so each file is read
// at most once per kind and record (a holder that is present was read, successfully or
// not; its ready flag says which).
//
// Same thread rules as the record: during a search only the search worker calls these;
// afterwards the user-interface thread.
#pragma once

#include "core/QXFileInfo.h"
#include "core/QXMetadata.h"

namespace quenrix {

// The record's Exif holder, reading the file when the record has none.
const QXExifHolder& fetchExif(QXFileInfo& file);
// The record's tag holder, reading the file through the tag module when the record has
// none. Without a loaded module (or when it gives no reader) the holder stays not ready
// and "ITagLib インターフェイスの取得に失敗しました" is logged; a file the module cannot
// open logs "TagLib: ファイルを開けませんでした. [<path>]".
const QXId3Holder& fetchId3(QXFileInfo& file);
// The record's video holder, reading the file when the record has none.
const QXVideoHolder& fetchVideo(QXFileInfo& file);

}  // namespace quenrix
