// The metadata holders a record owns once a rule, a column or the CSV import needed
// them: Exif values of a JPEG, the audio tags, the video properties. Each is made on
// first need (through QXFileInfo::extras()), read at most once per record and kind, and
// kept for the life of the record, so a re-search and the result list's columns reuse
// it. Same thread rules as the record.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace quenrix {

// One Exif value as the reader delivers it.
struct QXExifValue {
    enum Kind { kText, kInteger, kFraction };
    Kind kind = kText;
    std::wstring text;        // kText
    int32_t integer = 0;      // kInteger
    bool signedFraction = false;  // kFraction: SRATIONAL (true) or RATIONAL
    int32_t numerator = 0;
    int32_t denominator = 0;

    // numerator / denominator, 0 when the denominator is 0; the integer as a double.
    double number() const {
        if (kind == kInteger) return double(integer);
        if (kind == kFraction) return denominator == 0 ? 0.0 : double(numerator) / denominator;
        return 0.0;
    }
};

// The Exif values of a file by their names ("CameraMake", "DateTime", "FNumber", …).
// `ready` is set when the file was read as a JPEG up to its image data (or a CSV import
// filled the holder).
struct QXExifHolder {
    bool ready = false;
    std::map<std::string, QXExifValue> values;

    const QXExifValue* find(const std::string& name) const {
        auto it = values.find(name);
        return it == values.end() ? nullptr : &it->second;
    }
};

// The tags of an audio file. Numbers are -1 until read; the length is in seconds.
struct QXId3Holder {
    bool ready = false;
    int32_t channels = -1;
    int32_t bitRate = -1;
    int32_t sampleRate = -1;
    int32_t track = -1;
    int32_t year = -1;
    int32_t length = -1;
    std::wstring artist;
    std::wstring title;
    std::wstring album;
    std::wstring genre;
    std::wstring comment;
};

// The properties of a video file. `ready` when the first frame had pixel data; the
// rate and frame count are kept whenever the file opened as a video.
struct QXVideoHolder {
    bool ready = false;
    int32_t width = 0;
    int32_t height = 0;
    int32_t framesPerSecond = 0;
    int32_t frameCount = 0;

    // Whole seconds, the frame count over the rate rounded up; 0 when the rate is below 1.
    int64_t lengthSeconds() const {
        if (framesPerSecond < 1) return 0;
        return (int64_t(frameCount) + framesPerSecond - 1) / framesPerSecond;
    }
};

}  // namespace quenrix
