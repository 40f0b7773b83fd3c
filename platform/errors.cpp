#include "platform/errors.h"

#include <cerrno>
#include <cstring>

namespace pathlux::platform {
namespace {

struct ErrnoMapping {
    int errnum;
    std::uint32_t error;
};

// EINTR never reaches the table in practice (calls are retried); EAGAIN does only where a
// resource ran out (a thread could not be made), since read, write and lock handle it themselves.
constexpr ErrnoMapping kErrnoTable[] = {
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EBUSY, ERROR_ACCESS_DENIED},
    {EBADF, ERROR_INVALID_HANDLE},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EAGAIN, ERROR_NOT_ENOUGH_MEMORY},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENOTTY, ERROR_INVALID_FUNCTION},
    {EIO, ERROR_GEN_FAILURE},
    {ENXIO, ERROR_DEVICE_NOT_CONNECTED},
    {ENODEV, ERROR_DEVICE_NOT_CONNECTED},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {ETIMEDOUT, ERROR_TIMEOUT},
    {EINTR, ERROR_OPERATION_ABORTED},
};

thread_local std::uint32_t tLastError = ERROR_SUCCESS;
thread_local int tLastSystemError = 0;

}  // namespace

std::uint32_t GetLastError() {
    return tLastError;
}

void SetLastError(std::uint32_t error) {
    tLastError = error;
    tLastSystemError = 0;
}

int GetLastSystemError() {
    return tLastSystemError;
}

void SetLastErrorFromErrno(int errnum) {
    tLastError = ErrorFromErrno(errnum);
    tLastSystemError = errnum;
}

std::uint32_t ErrorFromErrno(int errnum) {
    for (const ErrnoMapping& m : kErrnoTable) {
        if (m.errnum == errnum) {
            return m.error;
        }
    }
    return ERROR_GEN_FAILURE;
}

std::string SystemErrorText(int errnum) {
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not live in the buffer.
    return strerror_r(errnum, buffer, sizeof buffer);
}

}  // namespace pathlux::platform
