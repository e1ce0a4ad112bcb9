#include "view/QXColumns.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cwchar>
#include <iterator>
#include <limits>

#include "core/QXExifLabels.h"
#include "core/QXFileExtras.h"
#include "digest/QXDigest.h"
#include "platform/Text.h"
#include "rule/QXMetadataFetch.h"
#include "tovy/TovDate.h"
#include "view/QXResultFormat.h"

namespace quenrix {

namespace {

struct ColumnName {
    const wchar_t* key;
    const wchar_t* header;
};

constexpr ColumnName kColumnNames[kAllColumnTypes] = {
    {L"FileName", L"ファイル名"},                       // 0
    {L"Path", L"パス"},                                 // 1
    {L"FileSize", L"ファイルサイズ"},                   // 2
    {L"Create time", L"作成時間"},                      // 3
    {L"Last updated time", L"最終更新時間"},            // 4
    {L"Last access time", L"最終アクセス時間"},         // 5
    {L"Image size", L"画像サイズ"},                     // 6
    {L"Crc32", L"Crc32"},                               // 7
    {L"Md5", L"Md5"},                                   // 8
    {L"Sha1", L"Sha1"},                                 // 9
    {L"Sha2-256", L"Sha256"},                           // 10
    {L"Sha2-512", L"Sha512"},                           // 11
    {L"exif.make", L"Exif:メーカー"},                   // 12
    {L"exif.model", L"Exif:モデル"},                    // 13
    {L"exif.software", L"Exif:ソフトウェア"},           // 14
    {L"exif.comment", L"Exif:コメント"},                // 15
    {L"exif.copyright", L"Exif:著作権"},                // 16
    {L"exif.datetime", L"Exif:撮影日時"},               // 17
    {L"exif.width", L"Exif:幅"},                        // 18
    {L"exif.height", L"Exif:高さ"},                     // 19
    {L"exif.aperture", L"Exif:絞り"},                   // 20
    {L"exif.shutterspeed", L"Exif:シャッター速度"},     // 21
    {L"exif.isospeed", L"Exif:ISO 感度"},               // 22
    {L"exif.exposureprogram", L"Exif:露出プログラム"},  // 23
    {L"exif.exposuremode", L"Exif:露出モード"},         // 24
    {L"exif.flash", L"Exif:フラッシュ"},                // 25
    {L"exif.whitebalance", L"Exif:ホワイトバランス"},   // 26
    {L"exif.lightsource", L"Exif:光源"},                // 27
    {L"exif.meteringmode", L"Exif:測光モード"},         // 28
    {L"id3.channels", L"ID3:チャンネル数"},             // 29
    {L"id3.bitrate", L"ID3:ビットレート"},              // 30
    {L"id3.samplerate", L"ID3:サンプリングレート"},     // 31
    {L"id3.track", L"ID3:トラックNo"},                  // 32
    {L"id3.year", L"ID3:年"},                           // 33
    {L"id3.length", L"ID3:長さ"},                       // 34
    {L"id3.artist", L"ID3:アーティスト"},               // 35
    {L"id3.title", L"ID3:タイトル"},                    // 36
    {L"id3.album", L"ID3:アルバム"},                    // 37
    {L"id3.genre", L"ID3:ジャンル"},                    // 38
    {L"id3.comment", L"ID3:コメント"},                  // 39
    {L"codec", L"コーデック"},                          // 40
    {L"Hash", L"Hash"},                                 // 41
    {L"video.width", L"動画:幅"},                       // 42
    {L"video.height", L"動画:高さ"},                    // 43
    {L"video.length", L"動画:長さ"},                    // 44
    {L"Thumbnail", L"サムネイル"},                      // 45
    {L"Group", L"Group"},                               // 46
    {L"Flags", L"Flags"},                               // 47
};

using CodeName = QXExifCodeLabel;

constexpr auto& kExposurePrograms = kExifExposurePrograms;
constexpr auto& kExposureModes = kExifExposureModes;
constexpr auto& kFlashes = kExifFlashes;
constexpr auto& kWhiteBalances = kExifWhiteBalances;
constexpr auto& kLightSources = kExifLightSources;

constexpr CodeName kMeteringModes[] = {
    {0, L"不明"},           {1, L"平均"},     {2, L"中央重点"}, {3, L"スポット"},
    {4, L"マルチスポット"}, {5, L"分割測光"}, {6, L"部分測光"}, {255, L"その他"},
};

template <size_t N>
std::wstring_view nameOfCode(const CodeName (&table)[N], int32_t code) {
    for (const CodeName& entry : table) {
        if (entry.code == code) return entry.label;
    }
    return {};
}

bool knownType(int32_t type) {
    return type >= 0 && type < kAllColumnTypes;
}

// The metadata objects, read from the file the first time a cell needs them, through
// the same functions as the metadata rules; a record keeps them, so each file is read
// at most once per kind (an import fills them instead). Filling that cache is the only
// change these functions make to a record. Values count only when the object is ready.
QXFileInfo& metadataOwner(const QXFileInfo& file) {
    return const_cast<QXFileInfo&>(file);
}

const QXExifHolder* readyExif(const QXFileInfo& file) {
    const QXExifHolder& exif = fetchExif(metadataOwner(file));
    return exif.ready ? &exif : nullptr;
}

const QXId3Holder* readyId3(const QXFileInfo& file) {
    const QXId3Holder& id3 = fetchId3(metadataOwner(file));
    return id3.ready ? &id3 : nullptr;
}

const QXVideoHolder* readyVideo(const QXFileInfo& file) {
    const QXVideoHolder& video = fetchVideo(metadataOwner(file));
    return video.ready ? &video : nullptr;
}

const QXDigestRecord* digestsOf(const QXFileInfo& file) {
    const QXFileExtras* extras = file.extrasIfAny();
    return extras ? extras->digests.get() : nullptr;
}

// The name under which the Exif reader keeps the value of an Exif column.
const char* exifValueName(int32_t type) {
    switch (type) {
        case kColExifMake:
            return "CameraMake";
        case kColExifModel:
            return "CameraModel";
        case kColExifSoftware:
            return "Software";
        case kColExifComment:
            return "Comment";
        case kColExifCopyright:
            return "Copyright";
        case kColExifDateTime:
            return "DateTime";
        case kColExifWidth:
            return "ImageWidth";
        case kColExifHeight:
            return "ImageHeight";
        case kColExifAperture:
            return "FNumber";
        case kColExifShutterSpeed:
            return "ExposureTime";
        case kColExifIsoSpeed:
            return "ISOEquivalent";
        case kColExifExposureProgram:
            return "ExposureProgram";
        case kColExifExposureMode:
            return "ExposureMode";
        case kColExifFlash:
            return "Flash";
        case kColExifWhiteBalance:
            return "Whitebalance";
        case kColExifLightSource:
            return "LightSource";
        case kColExifMeteringMode:
            return "MeteringMode";
        default:
            return nullptr;
    }
}

// An Exif text value; none when the object is missing or the value is not a text.
const std::wstring* exifText(const QXFileInfo& file, int32_t type) {
    const QXExifHolder* exif = readyExif(file);
    if (!exif) return nullptr;
    const QXExifValue* value = exif->find(exifValueName(type));
    if (!value || value->kind != QXExifValue::kText) return nullptr;
    return &value->text;
}

// The shooting time, in whichever of the date forms the text is written.
bool exifTime(const QXFileInfo& file, platform::FILETIME& out) {
    const std::wstring* text = exifText(file, kColExifDateTime);
    if (!text) return false;
    return tovy::parseSlashDate(*text, out) || tovy::parseExifDate(*text, out) ||
           tovy::parseIsoDate(*text, out) || tovy::parseRfcDate(*text, out);
}

// The value of a number column (Exif 18 to 28, ID3 29 to 34, video 42 to 44) as both its
// cell and its sort see it.
struct NumberValue {
    enum State : uint32_t {
        kValue = 0,     // a value of 0 or more
        kNoValue = 1,   // the object was read but holds no such value, or a negative one
        kNoObject = 2,  // no object, or one that was never read
    };
    State state = kNoObject;
    int64_t integer = 0;
    double real = 0;  // the aperture
};

NumberValue integerValue(int64_t value) {
    NumberValue out;
    out.state = value < 0 ? NumberValue::kNoValue : NumberValue::kValue;
    out.integer = value < 0 ? 0 : value;
    return out;
}

int64_t truncatedToInt32(double value) {
    if (!(value > double(std::numeric_limits<int32_t>::min()))) {
        return std::isnan(value) ? 0 : std::numeric_limits<int32_t>::min();
    }
    if (value >= double(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    return int64_t(value);
}

NumberValue exifNumber(const QXFileInfo& file, int32_t type) {
    const QXExifHolder* exif = readyExif(file);
    if (!exif) return {};
    NumberValue out;
    out.state = NumberValue::kNoValue;
    const QXExifValue* value = exif->find(exifValueName(type));
    if (!value || value->kind == QXExifValue::kText) return out;
    if (type == kColExifAperture) {
        const double real = value->number();
        if (!(real >= 0)) return out;
        out.state = NumberValue::kValue;
        out.real = real + 0.0;  // never a negative zero, whose bits would sort last
        return out;
    }
    if (value->kind == QXExifValue::kInteger) return integerValue(value->integer);
    // The reader keeps the exposure time as the fraction 1/N; the column shows N.
    if (type == kColExifShutterSpeed) return integerValue(value->denominator);
    return integerValue(truncatedToInt32(value->number()));
}

NumberValue id3Number(const QXFileInfo& file, int32_t type) {
    const QXId3Holder* id3 = readyId3(file);
    if (!id3) return {};
    switch (type) {
        case kColId3Channels:
            return integerValue(id3->channels);
        case kColId3BitRate:
            return integerValue(id3->bitRate);
        case kColId3SampleRate:
            return integerValue(id3->sampleRate);
        case kColId3Track:
            return integerValue(id3->track);
        case kColId3Year:
            return integerValue(id3->year);
        case kColId3Length:
            return integerValue(id3->length);
        default:
            return {};
    }
}

NumberValue videoNumber(const QXFileInfo& file, int32_t type) {
    const QXVideoHolder* video = readyVideo(file);
    if (!video) return {};
    switch (type) {
        case kColVideoWidth:
            return integerValue(video->width);
        case kColVideoHeight:
            return integerValue(video->height);
        // The length sorts by the frame count, which the seconds shown are rounded from.
        case kColVideoLength:
            return integerValue(video->frameCount);
        default:
            return {};
    }
}

bool isExifNumber(int32_t type) {
    return type >= kColExifWidth && type <= kColExifMeteringMode;
}
bool isId3Number(int32_t type) {
    return type >= kColId3Channels && type <= kColId3Length;
}
bool isVideoNumber(int32_t type) {
    return type >= kColVideoWidth && type <= kColVideoLength;
}

NumberValue numberValue(int32_t type, const QXFileInfo& file) {
    if (isExifNumber(type)) return exifNumber(file, type);
    if (isId3Number(type)) return id3Number(file, type);
    if (isVideoNumber(type)) return videoNumber(file, type);
    return {};
}

// "%g" as the C locale writes it, whatever locale the process runs in.
std::wstring formatReal(double value) {
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    if (ec != std::errc()) return {};
    return std::wstring(buffer, end);
}

std::wstring numberText(int32_t type, const QXFileInfo& file) {
    const NumberValue value = numberValue(type, file);
    if (value.state != NumberValue::kValue) return {};
    const int32_t code = int32_t(value.integer);
    switch (type) {
        case kColExifAperture:
            return formatReal(value.real);
        case kColExifShutterSpeed:
            return L"1/" + std::to_wstring(value.integer);
        case kColExifExposureProgram:
            return std::wstring(exposureProgramName(code));
        case kColExifExposureMode:
            return std::wstring(exposureModeName(code));
        case kColExifFlash:
            return std::wstring(flashName(code));
        case kColExifWhiteBalance:
            return std::wstring(whiteBalanceName(code));
        case kColExifLightSource:
            return std::wstring(lightSourceName(code));
        case kColExifMeteringMode:
            return std::wstring(meteringModeName(code));
        case kColId3Length:
            return formatDuration(value.integer);
        case kColVideoLength:
            return formatDuration(readyVideo(file)->lengthSeconds());
        default:
            return std::to_wstring(value.integer);
    }
}

std::wstring digestText(int32_t type, const QXFileInfo& file) {
    static const struct {
        int32_t type;
        QXDigestKind kind;
    } kinds[] = {
        {kColCrc32, QXDigestKind::kCrc32},   {kColMd5, QXDigestKind::kMd5},
        {kColSha1, QXDigestKind::kSha1},     {kColSha256, QXDigestKind::kSha256},
        {kColSha512, QXDigestKind::kSha512},
    };
    const QXDigestRecord* digests = digestsOf(file);
    if (!digests) return {};
    for (const auto& entry : kinds) {
        if (entry.type != type) continue;
        if (!file.hasFlag(digestComputedFlag(entry.kind))) return {};
        return digests->text(entry.kind);
    }
    return {};
}

constexpr uint32_t kAnyDigestComputed = 0x00FF0000;

std::wstring flagLetters(uint32_t flags) {
    std::wstring out;
    for (int bit = 0; bit < 6; ++bit) {
        if (flags & (1u << bit)) out.push_back(wchar_t(L'a' + bit));
    }
    return out;
}

std::wstring id3Text(int32_t type, const QXFileInfo& file) {
    const QXId3Holder* id3 = readyId3(file);
    if (!id3) return {};
    switch (type) {
        case kColId3Artist:
            return id3->artist;
        case kColId3Title:
            return id3->title;
        case kColId3Album:
            return id3->album;
        case kColId3Genre:
            return id3->genre;
        case kColId3Comment:
            return id3->comment;
        default:
            return {};
    }
}

// ---- Sort rules ----

enum class SortRule { kText, kSize, kTime, kImageSize, kExifTime, kNumber };

SortRule sortRuleOf(int32_t type) {
    switch (type) {
        case kColFileSize:
            return SortRule::kSize;
        case kColCreateTime:
        case kColUpdateTime:
        case kColAccessTime:
            return SortRule::kTime;
        case kColImageSize:
            return SortRule::kImageSize;
        case kColExifDateTime:
            return SortRule::kExifTime;
        default:
            break;
    }
    if (isExifNumber(type) || isId3Number(type) || isVideoNumber(type)) return SortRule::kNumber;
    return SortRule::kText;
}

// What every rule but the text rule compares: the rank first (a value before none), then
// the value in two parts. Records of one rank without a value carry zeros, so they are
// equal.
struct ScalarKey {
    uint32_t rank = 0;
    uint64_t primary = 0;
    uint64_t secondary = 0;
};

int compareScalar(const ScalarKey& a, const ScalarKey& b) {
    if (a.rank != b.rank) return a.rank < b.rank ? -1 : 1;
    if (a.primary != b.primary) return a.primary < b.primary ? -1 : 1;
    if (a.secondary != b.secondary) return a.secondary < b.secondary ? -1 : 1;
    return 0;
}

// A signed 32-bit value mapped to an unsigned one of the same order.
uint64_t ordered(int32_t value) {
    return uint64_t(int64_t(value) - int64_t(std::numeric_limits<int32_t>::min()));
}

uint64_t ticksOf(int32_t type, const QXFileInfo& file) {
    switch (type) {
        case kColCreateTime:
            return platform::fileTimeTicks(file.creationTime());
        case kColAccessTime:
            return platform::fileTimeTicks(file.lastAccessTime());
        default:
            return platform::fileTimeTicks(file.lastWriteTime());
    }
}

ScalarKey scalarKey(int32_t type, SortRule rule, const QXFileInfo& file) {
    switch (rule) {
        case SortRule::kSize:
            return {0, file.size(), 0};
        case SortRule::kTime:
            return {0, ticksOf(type, file), 0};
        case SortRule::kImageSize:
            if (!file.hasFlag(QXFileInfo::kImageSize)) return {1, 0, 0};
            return {0, ordered(file.imageWidth), ordered(file.imageHeight)};
        case SortRule::kExifTime: {
            platform::FILETIME time;
            if (!exifTime(file, time)) return {1, 0, 0};
            return {0, platform::fileTimeTicks(time), 0};
        }
        case SortRule::kNumber: {
            const NumberValue value = numberValue(type, file);
            if (value.state != NumberValue::kValue) return {uint32_t(value.state), 0, 0};
            // Non-negative doubles order like their bit patterns.
            if (type == kColExifAperture) return {0, std::bit_cast<uint64_t>(value.real), 0};
            return {0, uint64_t(value.integer), 0};
        }
        case SortRule::kText:
            break;
    }
    return {};
}

// ---- Text sort keys ----
//
// A text key is the cell text folded to lower case and written as UTF-8 (extended to
// every 31-bit value), whose byte order is the order of the folded characters: the order
// compareNoCase gives. All keys of one sort share one buffer, a quarter of the size of
// wide strings for the usual names and paths.

void appendCodePoint(std::string& out, uint32_t c) {
    if (c > 0x7FFFFFFF) c = 0x7FFFFFFF;  // not a character at all
    if (c < 0x80) {
        out.push_back(char(c));
        return;
    }
    // The number of continuation bytes grows with the value; the lead byte says how many.
    static const struct {
        uint32_t below;
        int extra;
        uint8_t lead;
    } kForms[] = {
        {0x800, 1, 0xC0},     {0x10000, 2, 0xE0},    {0x200000, 3, 0xF0},
        {0x4000000, 4, 0xF8}, {0x80000000, 5, 0xFC},
    };
    for (const auto& form : kForms) {
        if (c >= form.below) continue;
        out.push_back(char(form.lead | (c >> (6 * form.extra))));
        for (int i = form.extra - 1; i >= 0; --i) {
            out.push_back(char(0x80 | ((c >> (6 * i)) & 0x3F)));
        }
        return;
    }
}

void appendFolded(std::string& out, std::wstring_view text) {
    for (wchar_t c : text) {
        if (c < 0x80 && c >= 0) {
            out.push_back(char(c >= L'A' && c <= L'Z' ? c + 32 : c));
        } else {
            appendCodePoint(out, uint32_t(platform::toLower(c)));
        }
    }
}

// The folded key of a name or path straight from its bytes when they are plain ASCII
// (which decode to the same units), else through the wide text.
void appendFoldedNative(std::string& out, std::string_view bytes, int32_t type,
                        const QXFileInfo& file) {
    const size_t start = out.size();
    out.resize(start + bytes.size());
    char* to = out.data() + start;
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (u >= 0x80 || u == 0) {
            out.resize(start);
            appendFolded(out, formatColumnText(type, file));
            return;
        }
        *to++ = char(u >= 'A' && u <= 'Z' ? u + 32 : u);
    }
}

struct TextEntry {
    int32_t group;
    uint32_t index;
    uint32_t length;
    uint32_t head;  // the first four key bytes, big-endian, zero-padded
    uint64_t offset;
};

uint32_t headOf(const std::string& keys, uint64_t offset, uint32_t length) {
    uint32_t head = 0;
    for (uint32_t i = 0; i < 4; ++i) {
        head <<= 8;
        if (i < length) head |= static_cast<unsigned char>(keys[offset + i]);
    }
    return head;
}

std::vector<uint32_t> orderByText(const QXFileList& files, int32_t type, bool ascending) {
    std::string keys;
    // Names and paths of plain ASCII take as many key bytes as they have; other texts
    // grow the buffer as they need.
    size_t expected = 0;
    if (type == kColFileName || type == kColPath) {
        for (const auto& file : files) {
            expected += type == kColPath ? file->nativePath().size() : file->nativeName().size();
        }
    }
    keys.reserve(expected + expected / 8);
    std::vector<TextEntry> entries(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const QXFileInfo& file = *files[i];
        const uint64_t offset = keys.size();
        if (type == kColFileName) {
            appendFoldedNative(keys, file.nativeName(), type, file);
        } else if (type == kColPath) {
            appendFoldedNative(keys, file.nativePath(), type, file);
        } else {
            appendFolded(keys, formatColumnText(type, file));
        }
        const auto length = uint32_t(keys.size() - offset);
        entries[i] = {file.groupNumber, uint32_t(i), length, 0, offset};
    }
    for (TextEntry& entry : entries) entry.head = headOf(keys, entry.offset, entry.length);

    const char* base = keys.data();
    auto columnOrder = [base](const TextEntry& a, const TextEntry& b) {
        if (a.head != b.head) return a.head < b.head ? -1 : 1;
        return std::string_view(base + a.offset, a.length)
            .compare(std::string_view(base + b.offset, b.length));
    };
    if (ascending) {
        std::sort(entries.begin(), entries.end(), [&](const TextEntry& a, const TextEntry& b) {
            if (a.group != b.group) return a.group < b.group;
            const int c = columnOrder(a, b);
            return c != 0 ? c < 0 : a.index < b.index;
        });
    } else {
        std::sort(entries.begin(), entries.end(), [&](const TextEntry& a, const TextEntry& b) {
            if (a.group != b.group) return a.group < b.group;
            const int c = columnOrder(a, b);
            return c != 0 ? c > 0 : a.index < b.index;
        });
    }
    std::vector<uint32_t> order(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) order[i] = entries[i].index;
    return order;
}

struct ScalarEntry {
    int32_t group;
    uint32_t index;
    ScalarKey key;
};

std::vector<uint32_t> orderByScalar(const QXFileList& files, int32_t type, SortRule rule,
                                    bool ascending) {
    std::vector<ScalarEntry> entries(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        entries[i] = {files[i]->groupNumber, uint32_t(i), scalarKey(type, rule, *files[i])};
    }
    const int direction = ascending ? 1 : -1;
    std::sort(entries.begin(), entries.end(),
              [direction](const ScalarEntry& a, const ScalarEntry& b) {
                  if (a.group != b.group) return a.group < b.group;
                  const int c = compareScalar(a.key, b.key) * direction;
                  return c != 0 ? c < 0 : a.index < b.index;
              });
    std::vector<uint32_t> order(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) order[i] = entries[i].index;
    return order;
}

// Reads a number as _wtoi does: leading white space, a sign, digits up to the first
// other character; 0 without digits; the 32-bit limits when out of range.
int32_t readInt(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) break;
    }
    if (negative) value = -value;
    return int32_t(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

// Calls f with every ","-separated token, empty ones included.
template <class F>
void forEachToken(std::wstring_view text, F&& f) {
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(L',', start);
        if (comma == std::wstring_view::npos) {
            f(text.substr(start));
            return;
        }
        f(text.substr(start, comma - start));
        start = comma + 1;
    }
}

int32_t shownTypeOfKeyNoCase(std::wstring_view key) {
    for (int32_t type = 0; type < kShownColumnTypes; ++type) {
        if (platform::equalsNoCase(key, kColumnNames[type].key)) return type;
    }
    return -1;
}

}  // namespace

std::wstring_view columnKey(int32_t type) {
    return knownType(type) ? kColumnNames[type].key : std::wstring_view();
}

std::wstring_view columnHeader(int32_t type) {
    return knownType(type) ? kColumnNames[type].header : std::wstring_view();
}

int32_t columnTypeOfKey(std::wstring_view key, int32_t limit) {
    limit = std::clamp(limit, 0, kAllColumnTypes);
    for (int32_t type = 0; type < limit; ++type) {
        if (key == kColumnNames[type].key) return type;
    }
    return -1;
}

bool columnIsNumeric(int32_t type) {
    switch (type) {
        case kColFileSize:
        case kColImageSize:
        case kColExifWidth:
        case kColExifHeight:
        case kColExifAperture:
        case kColExifShutterSpeed:
        case kColExifIsoSpeed:
        case kColVideoWidth:
        case kColVideoHeight:
        case kColVideoLength:
            return true;
        default:
            return isId3Number(type);
    }
}

std::wstring_view columnWidthSample(int32_t type) {
    switch (type) {
        case kColFileSize:
            return L"000,000,000,000";
        case kColCreateTime:
        case kColUpdateTime:
        case kColAccessTime:
        case kColExifDateTime:
            return L"0000/00/00 00:00";
        case kColImageSize:
            return L"00000x00000";
        case kColCrc32:
            return L"wwww";
        case kColMd5:
        case kColSha1:
        case kColSha256:
        case kColSha512:
        case kColHash:
            return L"wwwwwwwwwwwwwwwwwwwwwwwwwwwww";
        default:
            return {};
    }
}

std::wstring formatColumnText(int32_t type, const QXFileInfo& file) {
    switch (type) {
        case kColFileName:
            return file.fileName();
        case kColPath:
            return file.fullPath();
        case kColFileSize:
            return formatThousands(file.size());
        case kColCreateTime:
            return formatLocalTime(file.creationTime());
        case kColUpdateTime:
            return formatLocalTime(file.lastWriteTime());
        case kColAccessTime:
            return formatLocalTime(file.lastAccessTime());
        case kColImageSize:
            return formatImageSize(file);
        case kColCrc32:
        case kColMd5:
        case kColSha1:
        case kColSha256:
        case kColSha512:
            return digestText(type, file);
        case kColExifMake:
        case kColExifModel:
        case kColExifSoftware:
        case kColExifComment:
        case kColExifCopyright: {
            const std::wstring* text = exifText(file, type);
            return text ? *text : std::wstring();
        }
        case kColExifDateTime: {
            platform::FILETIME time;
            return exifTime(file, time) ? formatLocalTime(time) : std::wstring();
        }
        case kColId3Artist:
        case kColId3Title:
        case kColId3Album:
        case kColId3Genre:
        case kColId3Comment:
            return id3Text(type, file);
        case kColCodec:
        case kColThumbnail:
            return {};
        case kColHash: {
            const QXDigestRecord* digests = digestsOf(file);
            if (!digests || (file.flags() & kAnyDigestComputed) == 0) return {};
            return digests->comparison;
        }
        case kColGroup:
            return std::to_wstring(file.groupNumber);
        case kColFlags:
            return flagLetters(file.flags());
        default:
            return numberText(type, file);  // the number columns; empty for the rest
    }
}

std::wstring exportColumnText(int32_t type, const QXFileInfo& file, bool sizeWithUnit) {
    if (type == kColFileSize && sizeWithUnit) return formatByteSize(file.size());
    const bool exportsNumber = type == kColExifShutterSpeed ||
                               (type >= kColExifExposureProgram && type <= kColExifMeteringMode);
    if (exportsNumber) {
        const NumberValue value = numberValue(type, file);
        if (value.state != NumberValue::kValue) return {};
        return std::to_wstring(value.integer);
    }
    if (type == kColId3Length) {
        const NumberValue value = numberValue(type, file);
        if (value.state != NumberValue::kValue || value.integer <= 0) return {};
        return std::to_wstring(value.integer);
    }
    return formatColumnText(type, file);
}

int compareColumn(int32_t type, const QXFileInfo& a, const QXFileInfo& b) {
    const SortRule rule = sortRuleOf(type);
    if (rule == SortRule::kText) {
        return platform::compareNoCase(formatColumnText(type, a), formatColumnText(type, b));
    }
    return compareScalar(scalarKey(type, rule, a), scalarKey(type, rule, b));
}

std::wstring formatDuration(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    wchar_t buffer[48];
    const int64_t hours = seconds / 3600;
    if (hours < 1) {
        std::swprintf(buffer, sizeof buffer / sizeof buffer[0], L"%d:%02d", int(seconds / 60),
                      int(seconds % 60));
    } else {
        std::swprintf(buffer, sizeof buffer / sizeof buffer[0], L"%lld:%02d:%02d",
                      static_cast<long long>(hours), int(seconds / 60 % 60), int(seconds % 60));
    }
    return buffer;
}

std::wstring formatByteSize(uint64_t size) {
    static const wchar_t* const kUnits[] = {L"KB", L"MB", L"GB", L"TB"};
    if (size < 1000) return std::to_wstring(size) + L" B";
    // The smallest unit in which the value stays below 1000 (so it has at most three
    // digits before the point), TB at most; the digits after the point are cut, not
    // rounded, so a value never rounds up into a fourth digit.
    size_t unit = 0;
    unsigned __int128 scale = 1024;
    while (unit + 1 < std::size(kUnits) && size >= 1000 * scale) {
        ++unit;
        scale *= 1024;
    }
    const auto hundredths = uint64_t((unsigned __int128)size * 100 / scale);
    wchar_t buffer[48];
    if (hundredths < 1000) {
        std::swprintf(buffer, sizeof buffer / sizeof buffer[0], L"%d.%02d %ls",
                      int(hundredths / 100), int(hundredths % 100), kUnits[unit]);
    } else if (hundredths < 10000) {
        std::swprintf(buffer, sizeof buffer / sizeof buffer[0], L"%d.%d %ls", int(hundredths / 100),
                      int(hundredths / 10 % 10), kUnits[unit]);
    } else {
        std::swprintf(buffer, sizeof buffer / sizeof buffer[0], L"%llu %ls",
                      static_cast<unsigned long long>(hundredths / 100), kUnits[unit]);
    }
    return buffer;
}

std::wstring_view exposureProgramName(int32_t code) {
    return nameOfCode(kExposurePrograms, code);
}
std::wstring_view exposureModeName(int32_t code) {
    return nameOfCode(kExposureModes, code);
}
std::wstring_view flashName(int32_t code) {
    return nameOfCode(kFlashes, code);
}
std::wstring_view whiteBalanceName(int32_t code) {
    return nameOfCode(kWhiteBalances, code);
}
std::wstring_view lightSourceName(int32_t code) {
    return nameOfCode(kLightSources, code);
}
std::wstring_view meteringModeName(int32_t code) {
    return nameOfCode(kMeteringModes, code);
}

QXColumnLayout parseColumnLayout(std::wstring_view text) {
    QXColumnLayout layout;
    std::array<bool, kShownColumnTypes> seen{};
    forEachToken(text, [&](std::wstring_view key) {
        const int32_t type = columnTypeOfKey(key, kShownColumnTypes);
        if (type < 0 || seen[size_t(type)]) return;
        seen[size_t(type)] = true;
        layout.push_back(type);
    });
    // A list without a single column could show nothing and offer no header to edit.
    if (layout.empty()) layout.push_back(kColFileName);
    return layout;
}

std::wstring formatColumnLayout(const QXColumnLayout& layout) {
    std::wstring out;
    for (int32_t type : layout) {
        if (type < 0 || type >= kShownColumnTypes) continue;
        if (!out.empty()) out += L',';
        out += kColumnNames[type].key;
    }
    return out;
}

QXColumnWidths parseColumnWidths(std::wstring_view text) {
    QXColumnWidths widths;
    widths.fill(-1);
    size_t position = 0;
    int32_t keyType = -1;
    forEachToken(text, [&](std::wstring_view token) {
        if (position++ % 2 == 0) {
            keyType = shownTypeOfKeyNoCase(token);
            return;
        }
        if (keyType < 0) return;
        // A negative width other than -1 means nothing either; it takes the default.
        widths[size_t(keyType)] = std::max(readInt(token), -1);
    });
    return widths;
}

std::wstring formatColumnWidths(const QXColumnWidths& widths) {
    std::wstring out;
    for (int32_t type = 0; type < kShownColumnTypes; ++type) {
        if (type != 0) out += L',';
        out += kColumnNames[type].key;
        out += L',';
        out += std::to_wstring(std::max(widths[size_t(type)], -1));
    }
    return out;
}

void sortResults(QXFileList& files, int32_t type, bool ascending) {
    if (files.size() < 2) return;
    if (files.size() > std::numeric_limits<uint32_t>::max()) {
        // Beyond the 32-bit positions of the keyed sort; no list gets near this in memory.
        std::stable_sort(files.begin(), files.end(), [&](const auto& a, const auto& b) {
            if (a->groupNumber != b->groupNumber) return a->groupNumber < b->groupNumber;
            const int c = compareColumn(type, *a, *b);
            return ascending ? c < 0 : c > 0;
        });
        return;
    }
    const SortRule rule = sortRuleOf(type);
    const std::vector<uint32_t> order = rule == SortRule::kText
                                            ? orderByText(files, type, ascending)
                                            : orderByScalar(files, type, rule, ascending);
    QXFileList sorted;
    sorted.reserve(files.size());
    for (uint32_t index : order) sorted.push_back(std::move(files[index]));
    files = std::move(sorted);
}

}  // namespace quenrix
