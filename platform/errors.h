// Error numbers of the original platform, the calling thread's last error, and the one table that
// turns an errno into such a number.
#pragma once

#include <cstdint>
#include <string>

namespace pathlux::platform {

constexpr std::uint32_t ERROR_SUCCESS = 0;
constexpr std::uint32_t ERROR_INVALID_FUNCTION = 1;
constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr std::uint32_t ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr std::uint32_t ERROR_GEN_FAILURE = 31;
constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr std::uint32_t ERROR_INVALID_NAME = 123;
constexpr std::uint32_t ERROR_FILENAME_EXCED_RANGE = 206;
constexpr std::uint32_t WAIT_TIMEOUT = 258;
constexpr std::uint32_t ERROR_OPERATION_ABORTED = 995;
constexpr std::uint32_t ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr std::uint32_t ERROR_ALREADY_INITIALIZED = 1247;
constexpr std::uint32_t ERROR_TIMEOUT = 1460;

// The error of the calling thread's last failed platform call.
std::uint32_t GetLastError();
void SetLastError(std::uint32_t error);

// The errno behind the calling thread's last failed platform call, 0 when the failure did not
// come from the system. Kept beside the error number so that a user can be shown the system's
// own reason.
int GetLastSystemError();

// Records a failed system call: errnum becomes the last system error and its mapping the last
// error.
void SetLastErrorFromErrno(int errnum);

// The error number for an errno (ERROR_GEN_FAILURE for one the table does not know).
std::uint32_t ErrorFromErrno(int errnum);

// The system's text for an errno ("No such file or directory").
std::string SystemErrorText(int errnum);

}  // namespace pathlux::platform
