#include "platform/errors.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace pathlux::platform {
namespace {

TEST(errors_test, maps_errno_to_platform_error) {
    struct Row {
        const char* legend;
        int errnum;
        std::uint32_t expected;
    };
    const Row rows[] = {
        {"missing device", ENOENT, ERROR_FILE_NOT_FOUND},
        {"missing directory", ENOTDIR, ERROR_PATH_NOT_FOUND},
        {"permission", EACCES, ERROR_ACCESS_DENIED},
        {"not permitted", EPERM, ERROR_ACCESS_DENIED},
        {"device busy (exclusive tty)", EBUSY, ERROR_ACCESS_DENIED},
        {"bad descriptor", EBADF, ERROR_INVALID_HANDLE},
        {"out of resources", EAGAIN, ERROR_NOT_ENOUGH_MEMORY},
        {"bad argument", EINVAL, ERROR_INVALID_PARAMETER},
        {"not a terminal", ENOTTY, ERROR_INVALID_FUNCTION},
        {"i/o error", EIO, ERROR_GEN_FAILURE},
        {"device gone", ENXIO, ERROR_DEVICE_NOT_CONNECTED},
        {"no such device", ENODEV, ERROR_DEVICE_NOT_CONNECTED},
        {"interrupted", EINTR, ERROR_OPERATION_ABORTED},
        {"too many files", EMFILE, ERROR_TOO_MANY_OPEN_FILES},
        {"unknown to the table", EDOM, ERROR_GEN_FAILURE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(ErrorFromErrno(row.errnum), row.expected);
    }
}

TEST(errors_test, keeps_error_and_system_reason_per_thread) {
    SetLastErrorFromErrno(ENOENT);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastSystemError(), ENOENT);
    EXPECT_EQ(SystemErrorText(GetLastSystemError()), "No such file or directory");

    // An error of the platform's own has no system reason.
    SetLastError(ERROR_INVALID_NAME);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    EXPECT_EQ(GetLastSystemError(), 0);
}

}  // namespace
}  // namespace pathlux::platform
