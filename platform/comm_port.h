// Inside the comm layer only: the state of one open device, which its names, settings, I/O and
// port-event files share, and the few helpers that all of them use.
#pragma once

#include <linux/serial.h>
#include <sys/types.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

#include "platform/comm.h"
#include "platform/errors.h"
#include "platform/sync.h"

namespace pathlux::platform {

// A read-ahead that takes in a second of a 38400-baud line at once.
constexpr std::size_t kReadAheadBytes = 4096;

class Comm {
  public:
    int fd = -1;
    int epollFd = -1;
    int cancelFd = -1;
    // Counts the event characters that reads found among bytes new from the device, so that a
    // read that took them before the port-event wait did still wakes it.
    int flagFd = -1;
    std::atomic<std::uint32_t> eventMask{0};
    // Edge-triggered polling reports a hang-up only once; later waits must still fail.
    std::atomic<bool> hungUp{false};
    // Whether the device is in the epoll set; only the one thread that waits touches it.
    bool watched = false;

    // The driver's settings that termios has no place for, and its error counters; the window's
    // thread and the watcher both reach them.
    std::mutex mutex;
    Dcb extra;
    CommTimeouts timeouts;
    std::optional<serial_icounter_struct> errorsSeen;  // by ClearCommError
    std::optional<serial_icounter_struct> eventsSeen;  // by WaitCommEvent

    // Bytes the device gave beyond what a read asked for, as the original driver's receive queue
    // holds them: without it every 100-byte read of a fast stream would be a system call. Readers
    // use it under readMutex, and so does the port-event wait when it looks for the event
    // character; otherwise the wait only asks whether anything is in it.
    std::mutex readMutex;
    std::array<std::uint8_t, kReadAheadBytes> ahead{};
    std::size_t aheadStart = 0;
    std::atomic<std::size_t> aheadSize{0};
};

template <typename Call>
auto RetryOnInterrupt(Call call) {
    decltype(call()) result;
    do {
        result = call();
    } while (result == -1 && errno == EINTR);
    return result;
}

inline bool FailWithErrno() {
    SetLastErrorFromErrno(errno);
    return false;
}

inline bool Fail(std::uint32_t error) {
    SetLastError(error);
    return false;
}

// A time limit in milliseconds, INFINITE for none.
class Deadline {
  public:
    explicit Deadline(std::uint32_t ms) : infinite_(ms == INFINITE) {
        if (!infinite_) {
            end_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        }
    }

    // For poll and epoll_wait: -1 for no limit, else the rest rounded up, so that a wait never
    // turns into a spin of zero-length waits.
    int RemainingMs() const {
        if (infinite_) {
            return -1;
        }
        const auto rest =
            std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
        return static_cast<int>(std::clamp<std::int64_t>(rest.count(), 0, INT_MAX));
    }

  private:
    bool infinite_;
    std::chrono::steady_clock::time_point end_;
};

// Reads from the device onto the end of the read-ahead, which must have room; the caller holds
// readMutex. The result is read(2)'s.
ssize_t FillReadAhead(Comm& port);

// The driver's line error counters, nullopt where the device keeps none.
std::optional<serial_icounter_struct> ReadCounters(int fd);

}  // namespace pathlux::platform
