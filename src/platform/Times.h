// Conversions between the time representations of the program: nanoseconds since 1970
// (what the file system reports), FILETIME (100-ns ticks since 1601-01-01 UTC) and
// SYSTEMTIME in UTC or local time. Local conversions apply the time-zone rules in force
// at the instant converted. Thread-safe.
#pragma once

#include <cstdint>

#include "platform/WinTypes.h"

namespace platform {

// 100-ns ticks between 1601-01-01 and 1970-01-01.
constexpr uint64_t kUnixEpochTicks = 116444736000000000ULL;

// ns / 100 + kUnixEpochTicks, rounded down.
FILETIME fileTimeFromUnixNs(int64_t ns);
// The reverse; saturates at the int64_t limits (64-bit nanoseconds span 1677 to 2262).
int64_t unixNsFromFileTime(FILETIME ft);

// FileTimeToSystemTime / SystemTimeToFileTime: UTC, no zone. False for values out of range.
bool fileTimeToSystemTime(FILETIME ft, SYSTEMTIME& out);
bool systemTimeToFileTime(const SYSTEMTIME& st, FILETIME& out);

// UTC instant -> local wall-clock time, with the zone rules at that instant.
bool fileTimeToLocalSystemTime(FILETIME ft, SYSTEMTIME& out);
// Local wall-clock time -> UTC instant (mktime with the zone rules of that time).
bool localSystemTimeToFileTime(const SYSTEMTIME& local, FILETIME& out);

// The current time.
FILETIME currentFileTime();
SYSTEMTIME currentLocalTime();

}  // namespace platform
