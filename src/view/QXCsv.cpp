#include "view/QXCsv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <new>
#include <unordered_set>

#include "core/QXFileExtras.h"
#include "core/QXLog.h"
#include "core/QXMetadata.h"
#include "digest/QXDigest.h"
#include "platform/ErrorText.h"
#include "platform/FileStat.h"
#include "platform/Times.h"
#include "tovy/TovDate.h"
#include "tovy/TovStream.h"
#include "tovy/TovUtf8.h"
#include "view/QXColumns.h"
#include "view/QXResultFormat.h"

namespace quenrix {

QXCsvExportSettings QXCsvExportSettings::defaults() {
    QXCsvExportSettings settings;
    for (int32_t type = 0; type < kAllColumnTypes; ++type) settings.columns.push_back(type);
    return settings;
}

namespace {

constexpr const wchar_t* kWriteFailed = L"ファイルの書き込みに失敗しました。";
constexpr const wchar_t* kLogSource = L"QuenrixView_IO";

bool hasLineBreak(std::wstring_view text) {
    return text.find_first_of(L"\r\n") != std::wstring_view::npos;
}

// A path as a message shows it: undecodable bytes as U+FFFD, line breaks as "↵".
std::wstring pathForMessage(const QXFileInfo& file) {
    std::wstring text = displayText(file.fullPath());
    for (wchar_t& c : text) {
        if (c == L'\r' || c == L'\n') c = L'\u21B5';
    }
    return text;
}

std::wstring lineBreakMessage(const QXFileInfo& file) {
    return L"パスに改行を含むファイルは CSV に書けないため、エクスポートを中止しました。\n"
           L"ファイル: " +
           pathForMessage(file);
}

std::wstring sjisMessage(const QXFileInfo& file, int32_t type, wchar_t bad) {
    wchar_t code[16];
    std::swprintf(code, sizeof code / sizeof code[0], L"U+%04X", unsigned(bad));
    std::wstring shown =
        tovy::isEscapedByte(bad) || bad == 0 ? std::wstring() : std::wstring(1, bad);
    return L"SJIS で書けない文字があるため、エクスポートを中止しました。"
           L"文字コードに UTF-8 を選ぶと書き出せます。\n"
           L"ファイル: " +
           pathForMessage(file) + L"\n項目: " + std::wstring(columnHeader(type)) + L"\n文字: " +
           shown + L" (" + code + L")";
}

// Inside double quotes a `"` or `\` is escaped by a backslash, which the import reads.
std::wstring quoted(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + 2);
    out.push_back(L'"');
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') out.push_back(L'\\');
        out.push_back(c);
    }
    out.push_back(L'"');
    return out;
}

bool rowSelected(const QXFileInfo& file, int32_t rows) {
    const bool ticked = file.hasFlag(QXFileInfo::kCheck);
    if (rows == 0) return ticked;
    if (rows == 1) return !ticked;
    return true;
}

// --- import ---

// Reads like _wtoi: leading white space, a sign, digits; the value clamped to 32 bits.
int32_t readInt(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    return int32_t(value);
}

// Reads like _wtof; 0 for anything that is not a finite number.
double readReal(const std::wstring& text) {
    const double value = std::wcstod(text.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0;
}

// The aperture as the fraction the Exif reader would have stored: the smallest power of
// ten as denominator that gives the value back exactly, so "%g" prints the same text.
QXExifValue fractionOf(double value) {
    QXExifValue v;
    v.kind = QXExifValue::kFraction;
    v.numerator = 0;
    v.denominator = 1;
    int64_t denominator = 1;
    for (int k = 0; k <= 9; ++k, denominator *= 10) {
        const double scaled = value * double(denominator);
        if (std::fabs(scaled) > double(INT32_MAX)) break;
        const int64_t numerator = std::llround(scaled);
        v.numerator = int32_t(numerator);
        v.denominator = int32_t(denominator);
        if (double(numerator) / double(denominator) == value) break;
    }
    return v;
}

QXExifValue integerValue(int32_t n) {
    QXExifValue v;
    v.kind = QXExifValue::kInteger;
    v.integer = n;
    return v;
}

QXExifValue textValue(const std::wstring& text) {
    QXExifValue v;
    v.kind = QXExifValue::kText;
    v.text = text;
    return v;
}

QXExifHolder& exifOf(QXFileInfo& file) {
    QXFileExtras& extras = file.extras();
    if (!extras.exif) extras.exif = std::make_unique<QXExifHolder>();
    extras.exif->ready = true;
    return *extras.exif;
}

QXId3Holder& id3Of(QXFileInfo& file) {
    QXFileExtras& extras = file.extras();
    if (!extras.id3) extras.id3 = std::make_unique<QXId3Holder>();
    extras.id3->ready = true;
    return *extras.id3;
}

QXDigestRecord& digestsOf(QXFileInfo& file) {
    QXFileExtras& extras = file.extras();
    if (!extras.digests) extras.digests = std::make_unique<QXDigestRecord>();
    return *extras.digests;
}

// The Exif names the reader stores the values under, for the Exif columns 12 to 28.
const char* exifName(int32_t type) {
    static const char* const kNames[] = {
        "CameraMake",    "CameraModel",     "Software",     "Comment", "Copyright",
        "DateTime",      "ImageWidth",      "ImageHeight",  "FNumber", "ExposureTime",
        "ISOEquivalent", "ExposureProgram", "ExposureMode", "Flash",   "Whitebalance",
        "LightSource",   "MeteringMode",
    };
    return kNames[type - kColExifMake];
}

// The date texts the export writes ("YYYY/MM/DD hh:mm") and the other date forms, kept
// as the Exif reader keeps a shooting time: "YYYY:MM:DD hh:mm:ss" in local time.
bool exifDateText(std::wstring_view text, std::wstring& out) {
    platform::FILETIME time{};
    if (!tovy::parseSlashDate(text, time) && !tovy::parseExifDate(text, time) &&
        !tovy::parseIsoDate(text, time) && !tovy::parseRfcDate(text, time))
        return false;
    platform::SYSTEMTIME local{};
    if (!platform::fileTimeToLocalSystemTime(time, local)) return false;
    wchar_t buffer[32];
    std::swprintf(buffer, sizeof buffer / sizeof buffer[0], L"%04d:%02d:%02d %02d:%02d:%02d",
                  int(local.wYear), int(local.wMonth), int(local.wDay), int(local.wHour),
                  int(local.wMinute), int(local.wSecond));
    out = buffer;
    return true;
}

void applyField(QXFileInfo& file, int32_t type, const std::wstring& field) {
    switch (type) {
        case kColPath:
            file.setNativePath(tovy::toUtf8(field));
            break;
        case kColImageSize: {
            const size_t x = field.find(L'x');
            file.imageWidth = readInt(std::wstring_view(field).substr(0, x));
            file.imageHeight =
                x == std::wstring::npos ? 0 : readInt(std::wstring_view(field).substr(x + 1));
            break;
        }
        case kColCrc32:
        case kColMd5:
        case kColSha1:
        case kColSha256:
        case kColSha512: {
            static const QXDigestKind kKinds[] = {QXDigestKind::kCrc32, QXDigestKind::kMd5,
                                                  QXDigestKind::kSha1, QXDigestKind::kSha256,
                                                  QXDigestKind::kSha512};
            const QXDigestKind kind = kKinds[type - kColCrc32];
            digestsOf(file).text(kind) = field;
            file.addFlags(digestComputedFlag(kind));
            break;
        }
        case kColExifMake:
        case kColExifModel:
        case kColExifSoftware:
        case kColExifComment:
        case kColExifCopyright:
            exifOf(file).values[exifName(type)] = textValue(field);
            break;
        case kColExifDateTime: {
            std::wstring text;
            if (exifDateText(field, text)) exifOf(file).values[exifName(type)] = textValue(text);
            break;
        }
        case kColExifAperture:
            exifOf(file).values[exifName(type)] = fractionOf(readReal(field));
            break;
        case kColExifShutterSpeed: {
            // The column shows the denominator of the exposure time ("1/250").
            QXExifValue v;
            v.kind = QXExifValue::kFraction;
            v.numerator = 1;
            v.denominator = readInt(field);
            exifOf(file).values[exifName(type)] = v;
            break;
        }
        case kColExifWidth:
        case kColExifHeight:
        case kColExifIsoSpeed:
        case kColExifExposureProgram:
        case kColExifExposureMode:
        case kColExifFlash:
        case kColExifWhiteBalance:
        case kColExifLightSource:
        case kColExifMeteringMode:
            exifOf(file).values[exifName(type)] = integerValue(readInt(field));
            break;
        case kColId3Channels:
            id3Of(file).channels = readInt(field);
            break;
        case kColId3BitRate:
            id3Of(file).bitRate = readInt(field);
            break;
        case kColId3SampleRate:
            id3Of(file).sampleRate = readInt(field);
            break;
        case kColId3Track:
            id3Of(file).track = readInt(field);
            break;
        case kColId3Year:
            id3Of(file).year = readInt(field);
            break;
        case kColId3Length:
            id3Of(file).length = readInt(field);
            break;
        case kColId3Artist:
            id3Of(file).artist = field;
            break;
        case kColId3Title:
            id3Of(file).title = field;
            break;
        case kColId3Album:
            id3Of(file).album = field;
            break;
        case kColId3Genre:
            id3Of(file).genre = field;
            break;
        case kColId3Comment:
            id3Of(file).comment = field;
            break;
        case kColHash:
            digestsOf(file).comparison = field;
            break;
        case kColGroup:
            file.groupNumber = readInt(field);
            break;
        case kColFlags: {
            uint32_t flags = file.flags();
            for (wchar_t c : field) {
                if (c >= L'a' && c <= L'f') flags |= 1u << (c - L'a');
            }
            file.setFlags(flags);
            break;
        }
        default:
            // Name, size and times come from the file itself; codec, video and thumbnail
            // are not read back.
            break;
    }
}

// The directory entry a path names, with folder links, "." and ".." resolved. Two lines
// naming one entry (a repeated line, "/a/./f" beside "/a/f", a linked folder) would let
// an action remove the file through one row while the other row shows it as kept. Hard
// links are distinct entries and stay distinct.
bool entryKey(const std::string& path, std::string& key) {
    const size_t slash = path.rfind('/');
    const std::string name = path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return false;
    const std::string parent = slash == 0 ? std::string("/") : path.substr(0, slash);
    char* real = ::realpath(parent.c_str(), nullptr);
    if (!real) return false;
    key = real;
    std::free(real);
    if (key.empty() || key.back() != '/') key.push_back('/');
    key += name;
    return true;
}

std::wstring decodeLine(std::string_view bytes, QXCsvEncoding encoding) {
    return encoding == QXCsvEncoding::kSjis ? tovy::fromSjis(bytes) : tovy::fromUtf8(bytes);
}

QXCsvImportResult parseLines(std::string_view bytes, QXCsvEncoding encoding) {
    QXCsvImportResult result;
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i <= bytes.size(); ++i) {
        if (i == bytes.size() || bytes[i] == '\r' || bytes[i] == '\n') {
            if (i > start) lines.push_back(bytes.substr(start, i - start));
            start = i + 1;
        }
    }
    if (lines.empty()) {
        result.status = QXCsvImportResult::kEmpty;
        return result;
    }

    std::vector<int32_t> types;
    bool hasGroup = false;
    for (const std::wstring& key : splitCsvLine(decodeLine(lines[0], encoding))) {
        const int32_t type = columnTypeOfKey(key, kAllColumnTypes);
        types.push_back(type);
        hasGroup = hasGroup || type == kColGroup;
    }

    int32_t previousGroup = -1;
    std::unordered_set<std::string> seen;
    for (size_t n = 1; n < lines.size(); ++n) {
        auto file = std::make_shared<QXFileInfo>();
        const std::vector<std::wstring> fields = splitCsvLine(decodeLine(lines[n], encoding));
        for (size_t k = 0; k < fields.size() && k < types.size(); ++k) {
            if (types[k] >= 0 && !fields[k].empty()) applyField(*file, types[k], fields[k]);
        }
        // Only a regular file is kept, once: a folder, a link or a relative path would be
        // handed to the actions as if it were the file the list shows.
        const std::string& path = file->nativePath();
        platform::FileStat st;
        if (path.empty() || path[0] != '/' || !platform::statPath(path, st) || !st.isRegular())
            continue;
        std::string key;
        if (!entryKey(path, key) || !seen.insert(std::move(key)).second) continue;
        file->stat() = st;
        file->targetIndex = 0;
        if (hasGroup) {
            if (file->groupNumber > 0 || file->groupNumber == previousGroup)
                result.duplicateSearch = true;
            previousGroup = file->groupNumber;
        }
        result.records.push_back(std::move(file));
    }
    sortResults(result.records, kColFileName, true);
    return result;
}

}  // namespace

QXCsvExportResult formatCsv(const QXFileList& files, const QXCsvExportSettings& settings,
                            std::string& out) {
    QXCsvExportResult result;
    out.clear();
    const char separator = settings.separator == 1 ? '\t' : ',';
    const bool sjis = settings.encoding == QXCsvEncoding::kSjis;

    bool namesPath = false;
    for (int32_t type : settings.columns) {
        out += tovy::toUtf8(columnKey(type));  // the keys are ASCII in either encoding
        out.push_back(separator);
        namesPath = namesPath || type == kColPath || type == kColFileName;
    }
    out += "\r\n";

    std::string bytes;
    for (const QXFileInfoPtr& file : files) {
        if (!file || !rowSelected(*file, settings.rows)) continue;
        if (namesPath && hasLineBreak(file->fullPath())) {
            result.message = lineBreakMessage(*file);
            out.clear();
            return result;
        }
        for (int32_t type : settings.columns) {
            std::wstring text = exportColumnText(type, *file, settings.sizeWithUnit);
            // A line break would start a new record; in a tag or comment it becomes a space.
            for (wchar_t& c : text) {
                if (c == L'\r' || c == L'\n') c = L' ';
            }
            if (settings.quote) text = quoted(text);
            if (sjis) {
                size_t bad = 0;
                if (!tovy::toSjis(text, bytes, &bad)) {
                    result.message = sjisMessage(*file, type, bad < text.size() ? text[bad] : 0);
                    out.clear();
                    return result;
                }
                out += bytes;
            } else {
                out += tovy::toUtf8(text);
            }
            out.push_back(separator);
        }
        out += "\r\n";
    }
    result.ok = true;
    return result;
}

QXCsvExportResult exportCsv(const std::string& nativePath, const QXFileList& files,
                            const QXCsvExportSettings& settings) {
    std::string bytes;
    QXCsvExportResult result;
    try {
        result = formatCsv(files, settings, bytes);
    } catch (const std::bad_alloc&) {
        result.ok = false;
        result.message = L"メモリが足りません";
    }
    if (!result.ok) {
        QXLog::Write(L"%s", result.message.c_str());
        return result;
    }
    errno = 0;
    if (!tovy::writeFileAtomically(nativePath, bytes)) {
        const int err = errno != 0 ? errno : EIO;
        QXLog::Write(L"%s (%s,%d)", platform::errorText(err).c_str(), kLogSource, 1);
        result.ok = false;
        result.message = kWriteFailed;
    }
    return result;
}

std::vector<std::wstring> splitCsvLine(std::wstring_view line) {
    std::vector<std::wstring> fields;
    std::wstring field;
    bool inQuotes = false;
    bool pending = false;  // something since the last separator
    for (size_t i = 0; i < line.size(); ++i) {
        const wchar_t c = line[i];
        if (c == L'\\') {
            pending = true;
            if (i + 1 == line.size()) break;  // a backslash at the end is dropped
            const wchar_t next = line[++i];
            if (next != L'"' && next != L'\\') field.push_back(c);
            field.push_back(next);
        } else if (c == L'"') {
            pending = true;
            inQuotes = !inQuotes;
        } else if (c == L',' && !inQuotes) {
            fields.push_back(std::move(field));
            field.clear();
            pending = false;
        } else {
            pending = true;
            field.push_back(c);
        }
    }
    if (pending) fields.push_back(std::move(field));
    return fields;
}

QXCsvImportResult parseCsv(std::string_view bytes, QXCsvEncoding encoding) {
    try {
        return parseLines(bytes, encoding);
    } catch (const std::bad_alloc&) {
        QXCsvImportResult result;
        result.status = QXCsvImportResult::kNoMemory;
        return result;
    }
}

QXCsvImportResult importCsv(const std::string& nativePath, QXCsvEncoding encoding) {
    QXCsvImportResult result;
    result.status = QXCsvImportResult::kReadError;
    // Non-blocking, so that a FIFO given by mistake is refused instead of waited on.
    const int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        QXLog::Write(L"%s (%s,%d)", platform::errorText(errno).c_str(), kLogSource, 2);
        return result;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return result;
    }
    std::string bytes;
    try {
        bytes.resize(size_t(st.st_size));
    } catch (const std::bad_alloc&) {
        ::close(fd);
        result.status = QXCsvImportResult::kNoMemory;
        return result;
    } catch (const std::length_error&) {
        ::close(fd);
        result.status = QXCsvImportResult::kNoMemory;
        return result;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            QXLog::Write(L"%s (%s,%d)", platform::errorText(errno).c_str(), kLogSource, 3);
            ::close(fd);
            return result;
        }
        if (n == 0) break;  // the file shrank meanwhile: take what is there
        done += size_t(n);
    }
    ::close(fd);
    bytes.resize(done);
    return parseCsv(bytes, encoding);
}

}  // namespace quenrix
