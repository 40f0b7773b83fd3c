// The port-event wait (edge semantics, cancel, hang-up, the event character, line errors) and
// the event mask it serves.

#include <sys/epoll.h>
#include <sys/ioctl.h>

#include <cstdint>
#include <iterator>
#include <mutex>
#include <optional>

#include "platform/comm.h"
#include "platform/comm_port.h"
#include "platform/errors.h"
#include "platform/os.h"

namespace pathlux::platform {
namespace {

std::uint32_t NewLineErrors(const serial_icounter_struct& before,
                            const serial_icounter_struct& now) {
    std::uint32_t errors = 0;
    if (now.buf_overrun != before.buf_overrun) {
        errors |= CE_RXOVER;
    }
    if (now.overrun != before.overrun) {
        errors |= CE_OVERRUN;
    }
    if (now.parity != before.parity) {
        errors |= CE_RXPARITY;
    }
    if (now.frame != before.frame) {
        errors |= CE_FRAME;
    }
    if (now.brk != before.brk) {
        errors |= CE_BREAK;
    }
    return errors;
}

// Bytes waiting to be read, read ahead or still in the device. A device that cannot tell has
// hung up: reading it would fail too.
bool BytesWaiting(const Comm& port) {
    if (port.aheadSize.load(std::memory_order_relaxed) > 0) {
        return true;
    }
    int waiting = 0;
    if (RetryOnInterrupt([&] { return CurrentOs().Ioctl(port.fd, FIONREAD, &waiting); }) != 0) {
        return false;
    }
    return waiting > 0;
}

// The port-event wait takes what the device holds into the read-ahead, as far as it has room,
// so that the event character among the new bytes is seen; the readers get them from there.
void ReadAheadForEventCharacter(Comm& port) {
    std::lock_guard lock(port.readMutex);
    for (;;) {
        const std::size_t room = kReadAheadBytes - port.aheadSize.load(std::memory_order_relaxed);
        // Less than the room: the device had no more.
        if (room == 0 || FillReadAhead(port) != static_cast<ssize_t>(room)) {
            return;
        }
    }
}

// EV_RXFLAG when reads found the event character since the last time; clears the count.
std::uint32_t TakeEventCharacter(const Comm& port) {
    std::uint64_t found = 0;
    return CurrentOs().Read(port.flagFd, &found, sizeof found) > 0 ? EV_RXFLAG : 0;
}

}  // namespace

std::optional<serial_icounter_struct> ReadCounters(int fd) {
    serial_icounter_struct counters{};
    if (RetryOnInterrupt([&] { return CurrentOs().Ioctl(fd, TIOCGICOUNT, &counters); }) != 0) {
        return std::nullopt;
    }
    return counters;
}

bool SetCommMask(CommHandle port, std::uint32_t mask) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    port->eventMask.store(mask, std::memory_order_relaxed);
    return true;
}

bool GetCommMask(CommHandle port, std::uint32_t& mask) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    mask = port->eventMask.load(std::memory_order_relaxed);
    return true;
}

bool WaitCommEvent(CommHandle port, std::uint32_t& events, std::uint32_t waitMs) {
    events = 0;
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::uint32_t mask = port->eventMask.load(std::memory_order_relaxed);
    if (mask == 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Os& os = CurrentOs();
    // The device joins the wait at the first wait, not at open: the settings made after open wake
    // its readers, and such a stale wake-up coinciding with the first bytes would report them
    // twice. Bytes that came before the first wait are reported at once.
    if (!port->watched) {
        // Edge-triggered: one report per arrival, none for bytes that merely sit unread.
        epoll_event device{};
        device.events = EPOLLIN | EPOLLET;
        device.data.fd = port->fd;
        if (os.EpollCtl(port->epollFd, EPOLL_CTL_ADD, port->fd, &device) != 0) {
            return FailWithErrno();
        }
        port->watched = true;
        // Bytes read ahead before the first wait came before it too.
        if ((mask & EV_RXCHAR) != 0 && port->aheadSize.load(std::memory_order_relaxed) > 0) {
            events = (EV_RXCHAR | TakeEventCharacter(*port)) & mask;
            return true;
        }
    }
    const Deadline deadline(waitMs);
    while (!port->hungUp.load(std::memory_order_relaxed)) {
        epoll_event ready[3];
        const int n = os.EpollWait(port->epollFd, ready, static_cast<int>(std::size(ready)),
                                   deadline.RemainingMs());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return FailWithErrno();
        }
        if (n == 0) {
            return Fail(WAIT_TIMEOUT);
        }
        std::uint32_t deviceReady = 0;
        bool flagReady = false;
        for (int i = 0; i < n; ++i) {
            if (ready[i].data.fd == port->cancelFd) {
                std::uint64_t count = 0;
                os.Read(port->cancelFd, &count, sizeof count);
                return true;  // cancelled: no event
            }
            if (ready[i].data.fd == port->flagFd) {
                flagReady = true;
            } else {
                deviceReady |= ready[i].events;
            }
        }
        if ((deviceReady & (EPOLLHUP | EPOLLERR)) != 0) {
            port->hungUp.store(true, std::memory_order_relaxed);
        }
        if ((mask & EV_RXFLAG) != 0 && (deviceReady & EPOLLIN) != 0) {
            ReadAheadForEventCharacter(*port);
        }
        // Also taken when the mask no longer asks for it: a count left behind would wake every
        // later wait at once.
        if ((mask & EV_RXFLAG) != 0 || flagReady) {
            events |= TakeEventCharacter(*port);
        }
        if ((mask & EV_RXCHAR) != 0 && (deviceReady & EPOLLIN) != 0 && BytesWaiting(*port)) {
            events |= EV_RXCHAR;
        }
        if ((mask & (EV_BREAK | EV_ERR)) != 0) {
            std::lock_guard lock(port->mutex);
            const std::optional<serial_icounter_struct> now = ReadCounters(port->fd);
            if (now && port->eventsSeen) {
                const std::uint32_t errors = NewLineErrors(*port->eventsSeen, *now);
                if ((errors & CE_BREAK) != 0) {
                    events |= EV_BREAK;
                }
                if ((errors & ~CE_BREAK) != 0) {
                    events |= EV_ERR;
                }
            }
            if (now) {
                port->eventsSeen = now;
            }
        }
        events &= mask;
        if (events != 0) {
            return true;  // bytes that came with a hang-up are still reported
        }
    }
    return Fail(ERROR_DEVICE_NOT_CONNECTED);
}

bool CancelCommWait(CommHandle port) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::uint64_t one = 1;
    if (RetryOnInterrupt([&] { return CurrentOs().Write(port->cancelFd, &one, sizeof one); }) < 0) {
        return FailWithErrno();
    }
    return true;
}

bool ClearCommError(CommHandle port, std::uint32_t& errors) {
    errors = 0;
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    std::lock_guard lock(port->mutex);
    const std::optional<serial_icounter_struct> now = ReadCounters(port->fd);
    if (!now) {
        return FailWithErrno();
    }
    if (port->errorsSeen) {
        errors = NewLineErrors(*port->errorsSeen, *now);
    }
    port->errorsSeen = now;
    return true;
}

}  // namespace pathlux::platform
