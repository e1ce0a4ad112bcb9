// The thumbnail of one record: made by the thumbnail worker, drawn by the result list.
#pragma once

#include "core/QXBitmap.h"

namespace quenrix {

struct QXThumbHolder {
    // Whether the thumbnail worker has already tried to load the picture.
    bool bitmapLoaded() const { return loaded; }

    bool loaded = false;
    QXBitmap bitmap;
};

}  // namespace quenrix
