// Opening and closing a serial device, and the calls on its lines: escape functions, modem status.

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <new>
#include <string>

#include "platform/comm.h"
#include "platform/comm_port.h"
#include "platform/comm_settings.h"
#include "platform/errors.h"
#include "platform/os.h"

namespace pathlux::platform {
namespace {

void CloseFd(int fd) {
    if (fd >= 0) {
        CurrentOs().Close(fd);
    }
}

// Closes what the port holds, undoing the exclusive mode first where it was set: on a
// pseudo-terminal the mode outlives the descriptor while the master is open, and every later
// open but root's would be refused.
void Release(Comm* port, bool exclusive) {
    if (exclusive) {
        CurrentOs().Ioctl(port->fd, TIOCNXCL, nullptr);
    }
    CloseFd(port->flagFd);
    CloseFd(port->cancelFd);
    CloseFd(port->epollFd);
    CloseFd(port->fd);
    delete port;
}

}  // namespace

CommHandle OpenComm(std::u16string_view name) {
    const std::string path = CommDevicePath(name);
    if (path.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    Os& os = CurrentOs();
    auto* port = new (std::nothrow) Comm;
    if (port == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    bool exclusive = false;
    const auto fail = [&](int errnum) -> CommHandle {
        Release(port, exclusive);
        SetLastErrorFromErrno(errnum);
        return nullptr;
    };
    port->fd = RetryOnInterrupt(
        [&] { return os.Open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (port->fd < 0) {
        return fail(errno);
    }
    // TIOCEXCL does not stop root, so an advisory lock tells a held port. Nothing of the device
    // is changed before the lock is ours.
    if (RetryOnInterrupt([&] { return os.Flock(port->fd, LOCK_EX | LOCK_NB); }) != 0) {
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    }
    termios settings{};
    if (os.TcGetAttr(port->fd, &settings) != 0) {
        return fail(errno);
    }
    if (RetryOnInterrupt([&] { return os.Ioctl(port->fd, TIOCEXCL, nullptr); }) != 0) {
        return fail(errno);
    }
    exclusive = true;
    MakeRaw(settings);
    if (RetryOnInterrupt([&] { return os.TcSetAttr(port->fd, &settings); }) != 0) {
        return fail(errno);
    }
    port->epollFd = os.EpollCreate();
    if (port->epollFd < 0) {
        return fail(errno);
    }
    for (int* wakeFd : {&port->cancelFd, &port->flagFd}) {
        *wakeFd = os.EventFd();
        if (*wakeFd < 0) {
            return fail(errno);
        }
        epoll_event wake{};
        wake.events = EPOLLIN;
        wake.data.fd = *wakeFd;
        if (os.EpollCtl(port->epollFd, EPOLL_CTL_ADD, *wakeFd, &wake) != 0) {
            return fail(errno);
        }
    }
    port->extra = DefaultDcb();
    port->errorsSeen = port->eventsSeen = ReadCounters(port->fd);
    return port;
}

bool CloseHandle(CommHandle port) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    Release(port, true);
    return true;
}

bool EscapeCommFunction(CommHandle port, std::uint32_t function) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    return function == CLRIR ? true : Fail(ERROR_INVALID_PARAMETER);
}

bool GetCommModemStatus(CommHandle port, std::uint32_t& status) {
    status = 0;
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    int lines = 0;
    if (RetryOnInterrupt([&] { return CurrentOs().Ioctl(port->fd, TIOCMGET, &lines); }) != 0) {
        return FailWithErrno();
    }
    constexpr struct {
        int line;
        std::uint32_t status;
    } kLines[] = {
        {TIOCM_CTS, MS_CTS_ON},
        {TIOCM_DSR, MS_DSR_ON},
        {TIOCM_RNG, MS_RING_ON},
        {TIOCM_CD, MS_RLSD_ON},
    };
    for (const auto& l : kLines) {
        if ((lines & l.line) != 0) {
            status |= l.status;
        }
    }
    return true;
}

}  // namespace pathlux::platform
