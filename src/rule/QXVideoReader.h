// Reads the properties of a video file through OpenCV (its FFmpeg back end): frame
// width and height from the first frame, frame rate and frame count as the container
// reports them. Thread-safe: no shared state (OpenCV is called without a lock).
#pragma once

#include "core/QXFileInfo.h"
#include "core/QXMetadata.h"

namespace quenrix {

// Fills the holder from the record's file. The file is opened by the program itself
// (never through a symbolic link, only a regular file, the recorded one when the record
// knows its device and inode) and OpenCV reads that descriptor. Rate and frame count
// are stored once the file opened as a video with a codec; width, height and the ready
// flag only when the first frame had pixels. Returns holder.ready.
bool ReadVideoFile(const QXFileInfo& file, QXVideoHolder& holder);

}  // namespace quenrix
