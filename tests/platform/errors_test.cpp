#include "platform/errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace pathlux::platform {
namespace {

TEST(errors_test, keeps_error_and_system_reason_per_thread) {
    SetLastErrorFromErrno(ENOENT);
    std::thread([] {
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "another thread has its own";
        SetLastErrorFromErrno(EDOM);
        EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE) << "an errno the table does not know";
        SetLastError(ERROR_INVALID_NAME);  // an error of the platform's own: no system reason
        EXPECT_EQ(GetLastSystemError(), 0);
    }).join();
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SystemErrorText(GetLastSystemError()), "No such file or directory");
}

}  // namespace
}  // namespace pathlux::platform
