// The Windows file-search records the rest of the program is written against, defined
// here with their Windows meanings: FILETIME (100-ns ticks since 1601-01-01 UTC),
// SYSTEMTIME, WIN32_FIND_DATAW (with std::wstring names instead of fixed arrays) and the
// attribute bits. Plain values; thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

constexpr uint32_t FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr uint32_t FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr uint32_t FILE_ATTRIBUTE_SYSTEM = 0x00000004;
constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x00000020;  // never set on Linux
constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x00000400;

struct FILETIME {
    uint32_t dwLowDateTime = 0;
    uint32_t dwHighDateTime = 0;
};

inline uint64_t fileTimeTicks(FILETIME ft) {
    return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
inline FILETIME fileTimeFromTicks(uint64_t ticks) {
    return FILETIME{uint32_t(ticks & 0xFFFFFFFFu), uint32_t(ticks >> 32)};
}
inline bool operator==(FILETIME a, FILETIME b) {
    return fileTimeTicks(a) == fileTimeTicks(b);
}

struct SYSTEMTIME {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;      // 1 to 12
    uint16_t wDayOfWeek = 0;  // 0 = Sunday
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};

struct WIN32_FIND_DATAW {
    uint32_t dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    uint32_t nFileSizeHigh = 0;
    uint32_t nFileSizeLow = 0;
    uint32_t dwReserved0 = 0;
    uint32_t dwReserved1 = 0;
    std::wstring cFileName;
    std::wstring cAlternateFileName;  // always empty here
};

inline uint64_t findDataSize(const WIN32_FIND_DATAW& fd) {
    return (uint64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
}

}  // namespace platform
