// A small writer of JPEG headers for the Exif reader's tests and fuzz seeds: TIFF
// directories in either byte order (entries, Exif and interoperability sub-directories,
// a next directory), wrapped into an APP1 segment, and a segment table from the start
// marker to the start of scan. No pixel data: the reader stops at the scan.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace quenrix::test {

// Exif value formats.
enum : uint16_t {
    kTiffByte = 1,
    kTiffAscii = 2,
    kTiffShort = 3,
    kTiffLong = 4,
    kTiffRational = 5,
    kTiffSByte = 6,
    kTiffUndefined = 7,
    kTiffSShort = 8,
    kTiffSLong = 9,
    kTiffSRational = 10,
    kTiffFloat = 11,
    kTiffDouble = 12,
};

struct TiffEntry {
    uint16_t tag = 0;
    uint16_t format = 0;
    uint32_t count = 0;
    // The components; a fraction takes two parts (numerator, denominator), each written
    // in partSize bytes in the directory's byte order.
    std::vector<uint64_t> parts;
    size_t partSize = 1;
    // Written instead of the real offset of an out-of-line value, to point elsewhere.
    std::optional<uint32_t> offsetOverride;
};

inline TiffEntry tiffBytes(uint16_t tag, uint16_t format, const std::string& bytes) {
    TiffEntry e{tag, format, uint32_t(bytes.size()), {}, 1, {}};
    for (unsigned char c : bytes) e.parts.push_back(c);
    return e;
}
// ASCII text with its closing zero byte.
inline TiffEntry tiffAscii(uint16_t tag, const std::string& text) {
    return tiffBytes(tag, kTiffAscii, text + std::string(1, '\0'));
}
inline TiffEntry tiffNumber(uint16_t tag, uint16_t format, uint64_t bits) {
    static const size_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    const bool fraction = format == kTiffRational || format == kTiffSRational;
    TiffEntry e{tag, format, 1, {}, fraction ? 4 : kSizes[format], {}};
    if (fraction) {
        e.parts = {bits >> 32, bits & 0xFFFFFFFFu};
    } else {
        e.parts = {bits};
    }
    return e;
}
inline TiffEntry tiffShort(uint16_t tag, uint16_t value) {
    return tiffNumber(tag, kTiffShort, value);
}
inline TiffEntry tiffLong(uint16_t tag, uint32_t value) {
    return tiffNumber(tag, kTiffLong, value);
}
inline TiffEntry tiffRational(uint16_t tag, uint32_t num, uint32_t den) {
    return tiffNumber(tag, kTiffRational, uint64_t(num) << 32 | den);
}
inline TiffEntry tiffSRational(uint16_t tag, int32_t num, int32_t den) {
    return tiffNumber(tag, kTiffSRational, uint64_t(uint32_t(num)) << 32 | uint32_t(den));
}
inline TiffEntry tiffFloat(uint16_t tag, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return tiffNumber(tag, kTiffFloat, bits);
}
inline TiffEntry tiffDouble(uint16_t tag, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return tiffNumber(tag, kTiffDouble, bits);
}

// One directory with its entries, the sub-directories it links to and optionally a next
// directory.
struct TiffDir {
    // The tag under which the parent directory links to this one as a sub-directory
    // (0x8769 Exif, 0xA005 interoperability).
    uint16_t linkTag = 0;
    std::vector<TiffEntry> entries;
    std::vector<TiffDir> subs;
    std::vector<TiffDir> next;  // none or one
    // Written instead of the next directory's real offset (8 links back to the first).
    std::optional<uint32_t> nextOverride;
};

inline TiffDir linkedAs(uint16_t tag, TiffDir dir) {
    dir.linkTag = tag;
    return dir;
}

class TiffWriter {
public:
    explicit TiffWriter(bool bigEndian) : m_big(bigEndian) {}

    // The TIFF structure: header, then the first directory at offset 8.
    std::string write(const TiffDir& first) {
        m_out.assign(m_big ? "MM" : "II");
        m_out.append(6, '\0');
        put(2, 42, 2);
        put(4, 8, 4);
        writeDir(first);
        return m_out;
    }

private:
    void put(size_t at, uint64_t value, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            const size_t shift = 8 * (m_big ? size - 1 - i : i);
            m_out[at + i] = char((value >> shift) & 0xFF);
        }
    }

    size_t writeDir(const TiffDir& dir) {
        const size_t at = m_out.size();
        const size_t count = dir.entries.size() + dir.subs.size();
        m_out.append(2 + 12 * count + 4, '\0');
        put(at, count, 2);
        size_t entry = at + 2;
        for (const TiffEntry& e : dir.entries) {
            put(entry, e.tag, 2);
            put(entry + 2, e.format, 2);
            put(entry + 4, e.count, 4);
            const size_t size = e.parts.size() * e.partSize;
            size_t value = entry + 8;
            if (size > 4) {
                if (m_out.size() % 2) m_out.push_back('\0');
                value = m_out.size();
                m_out.append(size, '\0');
                put(entry + 8, e.offsetOverride.value_or(uint32_t(value)), 4);
            }
            for (size_t i = 0; i < e.parts.size(); ++i) {
                put(value + i * e.partSize, e.parts[i], e.partSize);
            }
            entry += 12;
        }
        for (const TiffDir& sub : dir.subs) {
            put(entry, sub.linkTag, 2);
            put(entry + 2, kTiffLong, 2);
            put(entry + 4, 1, 4);
            put(entry + 8, writeDir(sub), 4);
            entry += 12;
        }
        uint32_t next = 0;
        if (!dir.next.empty()) next = uint32_t(writeDir(dir.next.front()));
        put(entry, dir.nextOverride.value_or(next), 4);
        return at;
    }

    bool m_big;
    std::string m_out;
};

// One segment: FF, the code, the big-endian length (payload + 2), the payload.
inline std::string jpegSegment(uint8_t code, const std::string& payload) {
    const size_t length = payload.size() + 2;
    std::string out{char(0xFF), char(code), char(length >> 8), char(length & 0xFF)};
    return out + payload;
}

inline std::string exifSegment(const std::string& tiff) {
    return jpegSegment(0xE1, std::string("Exif\0\0", 6) + tiff);
}

inline std::string jpegStart() {
    return std::string("\xFF\xD8", 2);
}

// A start of scan for one component, a few bytes of scan data and the end marker.
inline std::string jpegScanAndEnd() {
    return jpegSegment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6)) +
           std::string("\x12\x34\xFF\x00\x56\xFF\xD9", 7);
}

// A JFIF segment, a quantisation table and a frame header: what a plain JPEG has before
// its scan.
inline std::string jpegTables() {
    return jpegSegment(0xE0, std::string("JFIF\0\x01\x01\x00\x00\x01\x00\x01\0\0", 14)) +
           jpegSegment(0xDB, std::string(65, '\x01')) +
           jpegSegment(0xC0, std::string("\x08\x00\x10\x00\x10\x01\x01\x11\x00", 9));
}

// Start marker, the given segments, tables, scan and end.
inline std::string jpegWith(const std::vector<std::string>& segments) {
    std::string out = jpegStart();
    for (const std::string& s : segments) out += s;
    return out + jpegTables() + jpegScanAndEnd();
}

}  // namespace quenrix::test
