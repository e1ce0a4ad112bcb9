#include "platform/ErrorText.h"

#include <cerrno>
#include <cstring>

#include "tovy/TovUtf8.h"

namespace platform {

std::wstring errorText(int err) {
    char buffer[256];
    // The GNU strerror_r returns the message, which may or may not be in buffer.
    const char* text = strerror_r(err, buffer, sizeof buffer);
    return tovy::fromUtf8(text ? text : "");
}

uint32_t hresultFromErrno(int err) {
    if (err == 0) return 0;
    if (err == EACCES || err == EPERM) return kHResultAccessDenied;
    return 0x80070000u | (uint32_t(err) & 0xFFFFu);
}

}  // namespace platform
