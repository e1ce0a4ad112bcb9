// Feeds arbitrary bytes to the Exif reader, from memory and again from a file, and aborts
// when the two readings differ or a value breaks the reader's promises: the holder is
// ready only for bytes that begin with FF D8, every name has its one kind, a shooting
// time has at most 20 characters, an exposure time is in lowest terms.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <numeric>
#include <string>

#include "core/QXExifReader.h"
#include "core/QXFileInfo.h"
#include "platform/FileStat.h"

namespace {

using quenrix::QXExifHolder;
using quenrix::QXExifValue;

void fail(const char* what) {
    std::fprintf(stderr, "exif_reader_fuzz: %s\n", what);
    std::abort();
}

const std::map<std::string, QXExifValue::Kind>& kinds() {
    static const std::map<std::string, QXExifValue::Kind> kKinds = {
        {"CameraMake", QXExifValue::kText},       {"CameraModel", QXExifValue::kText},
        {"Software", QXExifValue::kText},         {"Copyright", QXExifValue::kText},
        {"DateTime", QXExifValue::kText},         {"Comment", QXExifValue::kText},
        {"ImageWidth", QXExifValue::kInteger},    {"ImageHeight", QXExifValue::kInteger},
        {"FNumber", QXExifValue::kFraction},      {"ExposureTime", QXExifValue::kFraction},
        {"ISOEquivalent", QXExifValue::kInteger}, {"ExposureProgram", QXExifValue::kInteger},
        {"ExposureMode", QXExifValue::kInteger},  {"MeteringMode", QXExifValue::kInteger},
        {"LightSource", QXExifValue::kInteger},   {"Whitebalance", QXExifValue::kInteger},
        {"Flash", QXExifValue::kInteger},
    };
    return kKinds;
}

bool same(const QXExifValue& a, const QXExifValue& b) {
    return a.kind == b.kind && a.text == b.text && a.integer == b.integer &&
           a.signedFraction == b.signedFraction && a.numerator == b.numerator &&
           a.denominator == b.denominator;
}

// One file on a memory file system, rewritten in place for every input so that its
// device and inode stay those of the record.
struct ScratchFile {
    std::string path;
    std::shared_ptr<quenrix::QXFileInfo> record;

    ScratchFile() {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path = std::string(base) + "/exif_reader_fuzz." + std::to_string(::getpid()) + ".jpg";
        write(nullptr, 0);
        record = quenrix::QXFileInfo::fromPath(path);
        if (!record) fail("cannot make the scratch file");
    }
    ~ScratchFile() { ::unlink(path.c_str()); }

    void write(const uint8_t* data, size_t size) const {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) fail("cannot open the scratch file");
        while (size > 0) {
            const ssize_t n = ::write(fd, data, size);
            if (n <= 0) fail("cannot write the scratch file");
            data += n;
            size -= size_t(n);
        }
        ::close(fd);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QXExifHolder memory;
    quenrix::ReadExif(data, size, memory);

    if (memory.ready && (size < 2 || data[0] != 0xFF || data[1] != 0xD8)) {
        fail("ready without a start marker");
    }
    for (const auto& [name, value] : memory.values) {
        const auto kind = kinds().find(name);
        if (kind == kinds().end()) fail("a value under an unknown name");
        if (value.kind != kind->second) fail("a value of the wrong kind");
        if (name == "DateTime" && value.text.size() > 20) fail("a shooting time over 20");
        if (name == "ExposureTime" && value.numerator > 0 && value.denominator > 0 &&
            std::gcd(value.numerator, value.denominator) != 1) {
            fail("an exposure time not in lowest terms");
        }
        (void)value.number();
    }

    static ScratchFile scratch;
    scratch.write(data, size);
    QXExifHolder file;
    const bool ready = quenrix::ReadExifFile(*scratch.record, file);
    if (ready != file.ready || file.ready != memory.ready) fail("file and memory readiness");
    if (file.values.size() != memory.values.size()) fail("file and memory value counts");
    for (const auto& [name, value] : memory.values) {
        const QXExifValue* other = file.find(name);
        if (!other || !same(*other, value)) fail("file and memory values");
    }
    return 0;
}
