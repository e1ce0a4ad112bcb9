// The costly per-file values a record owns once some part of the program has computed
// them (digests, image features, Exif, ID3 and video properties, thumbnail). Made on
// first need through QXFileInfo::extras() and destroyed with the record, so a record
// that never needs them costs one null pointer. Same thread rules as the record.
#pragma once

#include <memory>

#include "core/QXMetadata.h"

namespace quenrix {

struct QXDigestRecord;  // digest/QXDigest.h
struct QXImageFeatures;  // rule/QXSimilarImage.h (made by the similar-image rule)
struct QXThumbHolder;    // core/QXThumbHolder.h

struct QXFileExtras {
    std::unique_ptr<QXDigestRecord> digests;
    std::unique_ptr<QXExifHolder> exif;
    std::unique_ptr<QXId3Holder> id3;
    std::unique_ptr<QXVideoHolder> video;
    std::shared_ptr<QXImageFeatures> features;  // shared: the type is known only to its rule
    std::shared_ptr<QXThumbHolder> thumb;
};

}  // namespace quenrix
