// The Exif reader: walks a JPEG's segments from its start marker to the start of the
// image data and fills a holder with the values it knows (camera, times, exposure, the
// first comment). Our own code; it survives arbitrary bytes. Thread-safe (no state).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/QXMetadata.h"

namespace quenrix {

class QXFileInfo;

// Reads `size` bytes from the start of a file. The holder is ready only when the bytes
// begin with FF D8 and the segments could be read up to the start of the image data
// within the reader's limits; values found before a failure may still be present.
void ReadExif(const uint8_t* data, size_t size, QXExifHolder& holder);

// Opens the record's file (a regular file with the recorded device and inode, never
// through a symbolic link), reads it up to the start of the image data and calls
// ReadExif. Returns holder.ready.
bool ReadExifFile(const QXFileInfo& file, QXExifHolder& holder);

}  // namespace quenrix
