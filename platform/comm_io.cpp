// Bytes in and out of a serial device: reads through the read-ahead, writes, purges.

#include <poll.h>
#include <termios.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/comm.h"
#include "platform/comm_port.h"
#include "platform/errors.h"
#include "platform/os.h"

namespace pathlux::platform {
namespace {

// read(2) of the device. With EV_RXFLAG in the mask, new bytes are where the event character
// arrives: finding it wakes the port-event wait.
ssize_t ReadDevice(Comm& port, void* into, std::size_t size) {
    Os& os = CurrentOs();
    const ssize_t n = RetryOnInterrupt([&] { return os.Read(port.fd, into, size); });
    if (n <= 0 || (port.eventMask.load(std::memory_order_relaxed) & EV_RXFLAG) == 0) {
        return n;
    }
    char eventChar = 0;
    {
        std::lock_guard lock(port.mutex);
        eventChar = port.extra.EvtChar;
    }
    if (std::memchr(into, static_cast<unsigned char>(eventChar), static_cast<std::size_t>(n)) !=
        nullptr) {
        const std::uint64_t one = 1;
        RetryOnInterrupt([&] { return os.Write(port.flagFd, &one, sizeof one); });
    }
    return n;
}

// Moves what was read ahead into the caller's buffer; how many bytes that was.
std::uint32_t TakeReadAhead(Comm& port, std::uint8_t* bytes, std::uint32_t size) {
    const std::size_t held = port.aheadSize.load(std::memory_order_relaxed);
    const std::size_t n = std::min<std::size_t>(held, size);
    if (n > 0) {
        std::memcpy(bytes, port.ahead.data() + port.aheadStart, n);
        port.aheadStart += n;
        port.aheadSize.store(held - n, std::memory_order_relaxed);
    }
    return static_cast<std::uint32_t>(n);
}

}  // namespace

ssize_t FillReadAhead(Comm& port) {
    const std::size_t held = port.aheadSize.load(std::memory_order_relaxed);
    std::memmove(port.ahead.data(), port.ahead.data() + port.aheadStart, held);
    port.aheadStart = 0;
    const ssize_t n = ReadDevice(port, port.ahead.data() + held, kReadAheadBytes - held);
    if (n > 0) {
        port.aheadSize.store(held + static_cast<std::size_t>(n), std::memory_order_relaxed);
    }
    return n;
}

bool ReadFile(CommHandle port, void* buffer, std::uint32_t size, std::uint32_t& count,
              std::uint32_t waitMs) {
    count = 0;
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (buffer == nullptr && size > 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    bool returnAtOnce = false;
    {
        std::lock_guard lock(port->mutex);
        returnAtOnce = port->timeouts.ReadIntervalTimeout == MAXDWORD;
    }
    Os& os = CurrentOs();
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    const Deadline deadline(waitMs);
    std::unique_lock readLock(port->readMutex);
    while (count < size) {
        count += TakeReadAhead(*port, bytes + count, size - count);
        if (count == size) {
            break;
        }
        // A short read goes through the read-ahead, a long one straight to the caller. The
        // read-ahead is empty here, so bytes keep their order.
        const std::uint32_t wanted = size - count;
        const bool ahead = wanted < kReadAheadBytes;
        const ssize_t n = ahead ? FillReadAhead(*port) : ReadDevice(*port, bytes + count, wanted);
        if (n > 0) {
            count += ahead ? 0 : static_cast<std::uint32_t>(n);
            continue;
        }
        if (n == 0) {
            // End of file on a terminal: the device hung up. What came before it still counts.
            return count > 0 ? true : Fail(ERROR_DEVICE_NOT_CONNECTED);
        }
        if (errno != EAGAIN) {
            return FailWithErrno();
        }
        if (returnAtOnce) {
            return true;
        }
        // Not held while waiting: a purge from another thread must not wait for this read.
        readLock.unlock();
        pollfd wait{port->fd, POLLIN, 0};
        const int ready =
            RetryOnInterrupt([&] { return os.Poll(&wait, 1, deadline.RemainingMs()); });
        if (ready < 0) {
            return FailWithErrno();
        }
        if (ready == 0) {
            return Fail(WAIT_TIMEOUT);
        }
        readLock.lock();
    }
    return true;
}

bool WriteFile(CommHandle port, const void* bytes, std::uint32_t size, std::uint32_t& count,
               std::uint32_t waitMs) {
    count = 0;
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (bytes == nullptr && size > 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Os& os = CurrentOs();
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    const Deadline deadline(waitMs);
    while (count < size) {
        const ssize_t n =
            RetryOnInterrupt([&] { return os.Write(port->fd, data + count, size - count); });
        if (n > 0) {
            count += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return FailWithErrno();
        }
        const int rest = deadline.RemainingMs();
        const bool callerLimits = rest >= 0 && rest < static_cast<int>(kWriteStallMs);
        pollfd wait{port->fd, POLLOUT, 0};
        const int ready = RetryOnInterrupt([&] {
            return os.Poll(&wait, 1, callerLimits ? rest : static_cast<int>(kWriteStallMs));
        });
        if (ready < 0) {
            return FailWithErrno();
        }
        if (ready == 0) {
            return Fail(callerLimits ? WAIT_TIMEOUT : ERROR_TIMEOUT);
        }
    }
    return true;
}

bool PurgeComm(CommHandle port, std::uint32_t flags) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if ((flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) != 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const bool tx = (flags & PURGE_TXCLEAR) != 0;
    const bool rx = (flags & PURGE_RXCLEAR) != 0;
    if (!tx && !rx) {
        return true;
    }
    const int queue = tx && rx ? TCIOFLUSH : (tx ? TCOFLUSH : TCIFLUSH);
    if (rx) {
        std::lock_guard lock(port->readMutex);
        port->aheadSize.store(0, std::memory_order_relaxed);
    }
    if (RetryOnInterrupt([&] { return CurrentOs().TcFlush(port->fd, queue); }) != 0) {
        return FailWithErrno();
    }
    return true;
}

}  // namespace pathlux::platform
