#include "core/QXExifReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "core/QXFileInfo.h"
#include "platform/UniqueFd.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

// Limits of the segment walk: segments kept up to and including the start of scan, and
// 0xFF bytes in front of one marker code.
constexpr int kMaxKeptSegments = 20;
constexpr int kMaxMarkerFillBytes = 6;
// A COM segment's text keeps at most this many characters.
constexpr size_t kMaxCommentChars = 998;
// The shooting time is read from at most this many bytes.
constexpr size_t kDateTimeBytes = 20;
// Directories walked in one Exif segment, and how deep sub-directories may nest. A real
// file has four or five; the bounds keep a crafted one from costing more.
constexpr int kMaxDirectories = 32;
constexpr int kMaxNesting = 8;

constexpr uint8_t kSoi = 0xD8;
constexpr uint8_t kEoi = 0xD9;
constexpr uint8_t kSos = 0xDA;
constexpr uint8_t kApp0 = 0xE0;
constexpr uint8_t kApp1 = 0xE1;
constexpr uint8_t kCom = 0xFE;

// Where the walk gets its bytes: a buffer in memory or an open file.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Bytes available from offset 0.
    virtual uint64_t size() const = 0;
    // Copies up to len bytes from offset; returns how many it copied (fewer at the end, or
    // when the file shrank since it was opened).
    virtual size_t readAt(uint64_t offset, uint8_t* out, size_t len) = 0;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint64_t size() const override { return m_size; }
    size_t readAt(uint64_t offset, uint8_t* out, size_t len) override {
        if (offset >= m_size || len == 0) return 0;
        const size_t n = std::min<uint64_t>(len, m_size - offset);
        std::memcpy(out, m_data + offset, n);
        return n;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
};

// Reads through pread with a small block cache, so the marker and length bytes of the
// many small segments at a file's start cost one system call per block, and the
// segments the reader skips are never read at all.
class FileSource : public ByteSource {
public:
    FileSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    uint64_t size() const override { return m_size; }
    size_t readAt(uint64_t offset, uint8_t* out, size_t len) override {
        size_t done = 0;
        while (done < len) {
            const uint64_t at = offset + done;
            if (at < m_blockStart || at >= m_blockStart + m_blockSize) {
                if (!fill(at)) break;
            }
            const size_t from = size_t(at - m_blockStart);
            const size_t n = std::min(len - done, m_blockSize - from);
            std::memcpy(out + done, m_block + from, n);
            done += n;
        }
        return done;
    }

private:
    static constexpr size_t kBlock = 4096;

    bool fill(uint64_t at) {
        m_blockStart = at - at % kBlock;
        m_blockSize = 0;
        while (m_blockSize < kBlock) {
            const ssize_t n = ::pread(m_fd, m_block + m_blockSize, kBlock - m_blockSize,
                                      off_t(m_blockStart + m_blockSize));
            if (n < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (n == 0) break;
            m_blockSize += size_t(n);
        }
        return at < m_blockStart + m_blockSize;
    }

    int m_fd;
    uint64_t m_size;
    uint8_t m_block[kBlock];
    uint64_t m_blockStart = 0;
    size_t m_blockSize = 0;
};

// ---- Values -------------------------------------------------------------------------

QXExifValue textValue(std::wstring text) {
    QXExifValue v;
    v.kind = QXExifValue::kText;
    v.text = std::move(text);
    return v;
}

QXExifValue integerValue(int32_t n) {
    QXExifValue v;
    v.kind = QXExifValue::kInteger;
    v.integer = n;
    return v;
}

// A double truncated to signed 32 bits; out-of-range values saturate, NaN gives 0.
int32_t truncateToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value <= double(std::numeric_limits<int32_t>::min())) {
        return std::numeric_limits<int32_t>::min();
    }
    if (value >= double(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    return int32_t(value);
}

int32_t saturateToInt32(int64_t value) {
    return int32_t(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

// The COM rules: a carriage return before a line feed is dropped, every other control
// character except tab and line feed becomes "?", and at most kMaxCommentChars
// characters are kept.
std::wstring commentText(const uint8_t* bytes, size_t size) {
    std::string cleaned;
    cleaned.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        const uint8_t c = bytes[i];
        if (c == '\r' && i + 1 < size && bytes[i + 1] == '\n') continue;
        const bool control = c < 0x20 || c == 0x7F;
        cleaned.push_back(control && c != '\t' && c != '\n' ? '?' : char(c));
    }
    std::wstring text = tovy::fromUtf8(cleaned);
    if (text.size() > kMaxCommentChars) text.resize(kMaxCommentChars);
    return text;
}

// ---- The TIFF structure inside an Exif segment ---------------------------------------

enum Format : uint16_t {
    kByte = 1,
    kAscii = 2,
    kShort = 3,
    kLong = 4,
    kRational = 5,
    kSByte = 6,
    kUndefined = 7,
    kSShort = 8,
    kSLong = 9,
    kSRational = 10,
    kFloat = 11,
    kDouble = 12,
    kIfd = 13,
};

size_t bytesPerComponent(uint16_t format) {
    static const uint8_t kSizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return format < sizeof kSizes ? kSizes[format] : 0;
}

enum class Kind { kText, kDateTime, kInteger, kIso, kFraction, kExposureTime, kSubdirectory };

struct TagInfo {
    uint16_t tag;
    const char* name;  // none for a sub-directory link
    Kind kind;
};

const TagInfo kTags[] = {
    {0x010F, "CameraMake", Kind::kText},
    {0x0110, "CameraModel", Kind::kText},
    {0x0131, "Software", Kind::kText},
    {0x8298, "Copyright", Kind::kText},
    {0x9003, "DateTime", Kind::kDateTime},
    {0x9286, "Comment", Kind::kText},
    {0xA002, "ImageWidth", Kind::kInteger},
    {0xA003, "ImageHeight", Kind::kInteger},
    {0x829D, "FNumber", Kind::kFraction},
    {0x829A, "ExposureTime", Kind::kExposureTime},
    {0x8827, "ISOEquivalent", Kind::kIso},
    {0x8822, "ExposureProgram", Kind::kInteger},
    {0xA402, "ExposureMode", Kind::kInteger},
    {0x9207, "MeteringMode", Kind::kInteger},
    {0x9208, "LightSource", Kind::kInteger},
    {0xA403, "Whitebalance", Kind::kInteger},
    {0x9209, "Flash", Kind::kInteger},
    {0x8769, nullptr, Kind::kSubdirectory},  // the Exif directory
    {0xA005, nullptr, Kind::kSubdirectory},  // the interoperability directory
};

const TagInfo* findTag(uint16_t tag) {
    for (const TagInfo& info : kTags) {
        if (info.tag == tag) return &info;
    }
    return nullptr;
}

// Walks the directories of one TIFF structure (the bytes after "Exif\0\0"), never outside
// it, never one directory twice.
class TiffWalker {
public:
    TiffWalker(const uint8_t* data, size_t size, QXExifHolder& holder)
        : m_data(data), m_size(size), m_holder(holder) {}

    void run() {
        if (m_size < 8) return;
        if (m_data[0] == 'I' && m_data[1] == 'I') {
            m_bigEndian = false;
        } else if (m_data[0] == 'M' && m_data[1] == 'M') {
            m_bigEndian = true;
        } else {
            return;
        }
        if (get16(2) != 42) return;
        walkDirectory(get32(4), 0);
    }

private:
    uint16_t get16(size_t at) const {
        const uint8_t* p = m_data + at;
        return m_bigEndian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
    }
    uint32_t get32(size_t at) const {
        const uint8_t* p = m_data + at;
        return m_bigEndian
                   ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                   : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    uint64_t get64(size_t at) const {
        const uint64_t a = get32(at), b = get32(at + 4);
        return m_bigEndian ? a << 32 | b : b << 32 | a;
    }

    void walkDirectory(uint64_t offset, int nesting) {
        if (nesting > kMaxNesting || m_walked >= kMaxDirectories) return;
        if (offset < 8 || offset > m_size || m_size - offset < 2) return;
        // A directory met again (a link back to itself or to an earlier one) is a loop.
        if (std::find(m_visited.begin(), m_visited.end(), offset) != m_visited.end()) return;
        m_visited.push_back(offset);
        ++m_walked;

        const size_t start = size_t(offset);
        const size_t count = get16(start);
        if ((m_size - start - 2) / 12 < count) return;  // the entries run past the segment
        for (size_t i = 0; i < count; ++i) readEntry(start + 2 + 12 * i, nesting);

        // The link to the next directory follows the entries; it is optional at the end.
        const size_t link = start + 2 + 12 * count;
        if (m_size - link >= 4) {
            const uint32_t next = get32(link);
            if (next != 0) walkDirectory(next, nesting + 1);
        }
    }

    void readEntry(size_t entry, int nesting) {
        const TagInfo* info = findTag(get16(entry));
        if (!info) return;
        const uint16_t format = get16(entry + 2);
        const uint32_t components = get32(entry + 4);
        const size_t unit = bytesPerComponent(format);
        if (unit == 0 || components == 0) return;
        const uint64_t byteCount = uint64_t(components) * unit;
        size_t value = entry + 8;
        if (byteCount > 4) {
            const uint64_t at = get32(entry + 8);
            if (at > m_size || byteCount > m_size - at) return;
            value = size_t(at);
        }

        switch (info->kind) {
            case Kind::kSubdirectory:
                if (unit == 4 && format != kFloat) walkDirectory(get32(value), nesting + 1);
                return;
            case Kind::kText:
                store(info->name, textValue(textAt(value, size_t(byteCount))));
                return;
            case Kind::kDateTime:
                store(info->name, textValue(textAt(
                                      value, std::min<size_t>(size_t(byteCount), kDateTimeBytes))));
                return;
            case Kind::kInteger:
            case Kind::kIso: {
                double number;
                if (!numberAt(format, value, number)) return;
                int32_t n = truncateToInt32(number);
                // Some cameras give the ISO speed in steps of 200 below 50.
                if (info->kind == Kind::kIso && n <= 49) n = saturateToInt32(int64_t(n) * 200);
                store(info->name, integerValue(n));
                return;
            }
            case Kind::kFraction:
            case Kind::kExposureTime: {
                QXExifValue v;
                if (!fractionAt(format, value, v)) return;
                // An exposure time is read as 1/N by its denominator: 10/2500 is 1/250.
                if (info->kind == Kind::kExposureTime) reduce(v);
                store(info->name, v);
                return;
            }
        }
    }

    std::wstring textAt(size_t at, size_t len) const {
        return tovy::fromUtf8(std::string_view(reinterpret_cast<const char*>(m_data + at), len));
    }

    // The first component of a numeric value.
    bool numberAt(uint16_t format, size_t at, double& out) const {
        switch (format) {
            case kByte:
                out = m_data[at];
                return true;
            case kSByte:
                out = int8_t(m_data[at]);
                return true;
            case kShort:
                out = get16(at);
                return true;
            case kSShort:
                out = int16_t(get16(at));
                return true;
            case kLong:
            case kIfd:
                out = get32(at);
                return true;
            case kSLong:
                out = int32_t(get32(at));
                return true;
            case kRational:
            case kSRational: {
                const double num = format == kRational ? double(get32(at)) : int32_t(get32(at));
                const double den =
                    format == kRational ? double(get32(at + 4)) : int32_t(get32(at + 4));
                out = den == 0 ? 0.0 : num / den;
                return true;
            }
            case kFloat: {
                const uint32_t bits = get32(at);
                float f;
                std::memcpy(&f, &bits, sizeof f);
                out = f;
                return true;
            }
            case kDouble: {
                const uint64_t bits = get64(at);
                std::memcpy(&out, &bits, sizeof out);
                return true;
            }
            default:  // text and undefined bytes are no number
                return false;
        }
    }

    bool fractionAt(uint16_t format, size_t at, QXExifValue& v) const {
        v.kind = QXExifValue::kFraction;
        if (format == kSRational) {
            v.signedFraction = true;
            v.numerator = int32_t(get32(at));
            v.denominator = int32_t(get32(at + 4));
            return true;
        }
        if (format == kRational) {
            // Unsigned parts beyond the signed range are halved together, which keeps the
            // value and caps a huge denominator at 2147483647.
            uint32_t num = get32(at), den = get32(at + 4);
            while (num > uint32_t(std::numeric_limits<int32_t>::max()) ||
                   den > uint32_t(std::numeric_limits<int32_t>::max())) {
                num >>= 1;
                den >>= 1;
            }
            v.numerator = int32_t(num);
            v.denominator = int32_t(den);
            return true;
        }
        // A whole number written in an integer format is that number over 1.
        if (format == kFloat || format == kDouble) return false;
        double number;
        if (!numberAt(format, at, number)) return false;
        v.signedFraction = format == kSByte || format == kSShort || format == kSLong;
        v.numerator = truncateToInt32(number);
        v.denominator = 1;
        return true;
    }

    static void reduce(QXExifValue& v) {
        if (v.numerator <= 0 || v.denominator <= 0) return;
        const int32_t d = std::gcd(v.numerator, v.denominator);
        v.numerator /= d;
        v.denominator /= d;
    }

    void store(const char* name, QXExifValue value) { m_holder.values[name] = std::move(value); }

    const uint8_t* m_data;
    size_t m_size;
    QXExifHolder& m_holder;
    bool m_bigEndian = false;
    int m_walked = 0;
    std::vector<uint64_t> m_visited;
};

// ---- The segment walk ------------------------------------------------------------------

bool isStandalone(uint8_t code) {
    return code == 0x01 || (code >= 0xD0 && code <= 0xD7);
}

// Walks the segments from the start marker to the start of scan and fills the holder.
// True when the start of scan was reached within the limits.
bool walkSegments(ByteSource& source, QXExifHolder& holder) {
    const uint64_t size = source.size();
    uint8_t head[kMaxMarkerFillBytes + 3];
    if (source.readAt(0, head, 2) != 2 || head[0] != 0xFF || head[1] != kSoi) return false;

    uint64_t pos = 2;
    int kept = 0;
    bool haveComment = false;
    std::vector<uint8_t> payload;
    for (;;) {
        // The marker: one to six 0xFF bytes, the code and, for most codes, a length.
        const size_t got = source.readAt(pos, head, sizeof head);
        size_t fill = 0;
        while (fill < got && head[fill] == 0xFF) ++fill;
        if (fill == 0 || fill > size_t(kMaxMarkerFillBytes) || fill == got) return false;
        const uint8_t code = head[fill];
        pos += fill + 1;
        if (code == kEoi || code == kSoi) return false;
        if (isStandalone(code)) continue;
        if (got < fill + 3) return false;
        const size_t length = size_t(head[fill + 1]) << 8 | head[fill + 2];
        if (length < 2 || length > size - pos) return false;

        const size_t bodySize = length - 2;
        const uint64_t body = pos + 2;
        pos += length;
        bool keep = true;
        bool exif = false;
        if (code == kApp0) {
            keep = false;
        } else if (code == kApp1) {
            uint8_t tag[4];
            exif = bodySize >= 4 && source.readAt(body, tag, 4) == 4 &&
                   std::memcmp(tag, "Exif", 4) == 0;
            keep = exif;
        } else if (code == kCom) {
            keep = !haveComment;
        }
        if (!keep) continue;
        if (++kept > kMaxKeptSegments) return false;
        if (code == kSos) return true;

        if (exif || code == kCom) {
            payload.resize(bodySize);
            if (source.readAt(body, payload.data(), bodySize) != bodySize) return false;
            if (exif) {
                // "Exif", two zero bytes, then the TIFF structure.
                if (bodySize > 6) TiffWalker(payload.data() + 6, bodySize - 6, holder).run();
            } else {
                holder.values["Comment"] = textValue(commentText(payload.data(), bodySize));
                haveComment = true;
            }
        }
    }
}

}  // namespace

void ReadExif(const uint8_t* data, size_t size, QXExifHolder& holder) {
    holder.values.clear();
    MemorySource source(data, data ? size : 0);
    holder.ready = walkSegments(source, holder);
}

bool ReadExifFile(const QXFileInfo& file, QXExifHolder& holder) {
    holder.values.clear();
    holder.ready = false;
    int fd;
    do {
        fd = ::open(file.nativePath().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    platform::UniqueFd owned(fd);
    if (!owned.ok()) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_dev) != file.stat().dev ||
        uint64_t(st.st_ino) != file.stat().ino) {
        return false;
    }
    FileSource source(fd, uint64_t(st.st_size));
    holder.ready = walkSegments(source, holder);
    return holder.ready;
}

}  // namespace quenrix
