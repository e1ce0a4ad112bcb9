// The system's message text for an error number (FormatMessageW here: strerror_r).
// Thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

std::wstring errorText(int err);

// Windows-style result codes used in log lines ("HRESULT[%08X]").
constexpr uint32_t kHResultAccessDenied = 0x80070005;  // E_ACCESSDENIED
// HRESULT_FROM_WIN32-style code for an errno value (E_ACCESSDENIED for EACCES/EPERM).
uint32_t hresultFromErrno(int err);

}  // namespace platform
