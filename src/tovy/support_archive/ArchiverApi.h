// The common archiver interface: the function set an archive module exports under its
// prefix (UnZipOpenArchive, TarFindFirst, ...), the member record its listing fills, and
// the check modes and result codes. Shared by the modules (src/modules/archiver) and the
// archive manager that loads them, so both sides agree on every type and layout.
//
// Paths and member names are narrow text: native path bytes, which the program converts
// to and from wide text losslessly (tovy/TovUtf8.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tovy::support_archive {

// An open archive of one module; opaque to the caller.
using HARC = void*;
// A window handle; the modules show no windows and ignore it.
using ArcWindow = void*;

// Longest member name a member record holds, in bytes; a longer name is cut at a
// character boundary (GetFileName gives it whole).
constexpr size_t kMemberNameMax = 4096;

// The member record of FindFirst and FindNext.
struct IndividualInfo {
    uint32_t originalSize;              // bytes, 0xFFFFFFFF when unknown or beyond 32 bits
    uint32_t compressedSize;            // 0xFFFFFFFF when unknown
    uint32_t crc;                       // 0 when the module does not know it
    uint32_t flag;                      // 0
    uint32_t osType;                    // 0: unknown
    uint16_t ratio;                     // per mille, 0 when unknown
    uint16_t date;                      // last-write time in the DOS date form, local time
    uint16_t time;                      // and the DOS time form
    char fileName[kMemberNameMax + 1];  // the member's path inside the archive, zero-ended
    char attribute[8];                  // "d" for a folder, "-" otherwise; zero-ended
    char mode[8];                       // the archive's format word, zero-ended
};

// CheckArchive modes: how far the module reads before it accepts a file.
constexpr int kCheckRapid = 0;       // the format is recognised and the first header reads
constexpr int kCheckBasic = 1;       // every member header reads
constexpr int kCheckFullSearch = 2;  // the same (the modules search the whole file anyway)
constexpr int kCheckFullCheck = 3;   // every member's data reads through and verifies

// OpenArchive mode the program passes.
constexpr uint32_t kOpenMode = 1;

// Member attributes reported by GetAttribute.
constexpr int kAttrReadOnly = 0x01;
constexpr int kAttrDirectory = 0x10;

// Results of FindFirst, FindNext and the other integer functions.
constexpr int kArcOk = 0;
constexpr int kArcEnd = -1;                    // no further member
constexpr int kArcErrorBroken = 0x8001;        // a header or a member's data is damaged
constexpr int kArcErrorHandle = 0x8002;        // the handle is not an open archive
constexpr int kArcErrorNotSupported = 0x8003;  // the module does not do this
constexpr int kArcErrorNoMember = 0x8004;      // no current member
constexpr int kArcErrorBuffer = 0x8005;        // the text did not fit; the buffer holds a part

// The exported functions, by the part of the name that follows the prefix.
extern "C" {
using GetVersionFn = uint16_t (*)();
using CommandFn = int (*)(ArcWindow window, const char* cmdLine, char* output, uint32_t size);
using CheckArchiveFn = int (*)(const char* path, int mode);
using GetFlagFn = int (*)();
using SetFlagFn = int (*)(int value);
using GetCursorIntervalFn = uint16_t (*)();
using SetCursorIntervalFn = int (*)(uint16_t interval);
using OpenArchiveFn = HARC (*)(ArcWindow window, const char* path, uint32_t mode);
using CloseArchiveFn = int (*)(HARC archive);
using FindFirstFn = int (*)(HARC archive, const char* wildName, IndividualInfo* info);
using FindNextFn = int (*)(HARC archive, IndividualInfo* info);
using GetTextFn = int (*)(HARC archive, char* buffer, int size);
using GetDwordFn = uint32_t (*)(HARC archive);
using GetWordFn = uint16_t (*)(HARC archive);
using GetIntFn = int (*)(HARC archive);
}

}  // namespace tovy::support_archive
