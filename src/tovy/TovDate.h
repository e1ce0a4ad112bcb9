// Parsers of the date texts found in file metadata and in the program's own files. Each
// reads the text as local wall-clock time and gives the UTC file time. Thread-safe
// (they use the process's time zone, read through mktime).
//
// The separators are checked before anything is read; a text that passes them but
// names an impossible date or time (month 13, day 0, hour 24, an unknown month name)
// is refused as well. On false the output is left unchanged.
#pragma once

#include <string_view>

#include "platform/WinTypes.h"

namespace tovy {

// YYYY/MM/DD, optionally followed by a space and HH, HH:MM or HH:MM:SS. Needs at least
// 10 characters with "/" at 4 and 7.
bool parseSlashDate(std::wstring_view text, platform::FILETIME& out);
// YYYY:MM:DD HH:MM:SS (as cameras write it).
bool parseExifDate(std::wstring_view text, platform::FILETIME& out);
// YYYY-MM-DDTHH:MM:SS.
bool parseIsoDate(std::wstring_view text, platform::FILETIME& out);
// Www, DD Mon YYYY HH:MM:SS with English month abbreviations.
bool parseRfcDate(std::wstring_view text, platform::FILETIME& out);

// The same instant with the seconds and their fraction of its local time set to 0.
// A time that cannot be converted is returned unchanged.
platform::FILETIME truncateToMinute(platform::FILETIME time);

}  // namespace tovy
