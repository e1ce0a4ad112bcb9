// Wide-text helpers with the behaviour the rest of the program expects of the Windows
// text functions: lower-casing and case-insensitive comparison that do not depend on
// the environment's locale. Thread-safe after initLocale().
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Sets LC_CTYPE, LC_COLLATE and the global C++ locale to C.UTF-8, whatever the environment says.
// Call once at start-up on the main thread, after the application object is made.
void initLocale();

// Lower-cases every character (towlower in the C.UTF-8 locale).
std::wstring toLower(std::wstring_view text);
wchar_t toLower(wchar_t c);

// Compares without regard to case: <0, 0 or >0.
int compareNoCase(std::wstring_view a, std::wstring_view b);
inline bool equalsNoCase(std::wstring_view a, std::wstring_view b) {
    return compareNoCase(a, b) == 0;
}

}  // namespace platform
