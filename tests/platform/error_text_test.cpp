#include "platform/ErrorText.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(PlatformErrorText, MessagesAndResultCodes) {
    EXPECT_EQ(errorText(ENOENT), L"No such file or directory");
    EXPECT_EQ(errorText(EACCES), L"Permission denied");
    EXPECT_FALSE(errorText(123456).empty());

    struct {
        int err;
        uint32_t hresult;
    } cases[] = {
        {0, 0},
        {EACCES, 0x80070005},
        {EPERM, 0x80070005},
        {ENOENT, 0x80070002},
        {EEXIST, 0x80070011},
        {EXDEV, 0x80070012},
    };
    for (const auto& c : cases) EXPECT_EQ(hresultFromErrno(c.err), c.hresult) << c.err;
}

}  // namespace
}  // namespace platform
