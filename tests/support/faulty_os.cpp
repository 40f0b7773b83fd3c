#include "tests/support/faulty_os.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <utility>

namespace pathlux::test {

void FaultyOs::Fail(Call call, int errnum, int skip) {
    std::lock_guard lock(mutex_);
    Kind& kind = kinds_[static_cast<int>(call)];
    kind.errnum = errnum;
    kind.skip = skip;
}

void FaultyOs::Before(Call call, std::function<void()> action) {
    std::lock_guard lock(mutex_);
    kinds_[static_cast<int>(call)].before = std::move(action);
}

void FaultyOs::HoldAllSettings() {
    std::lock_guard lock(mutex_);
    holdAllSettings_ = true;
}

void FaultyOs::SetCounters(const serial_icounter_struct& counters) {
    std::lock_guard lock(mutex_);
    counters_ = counters;
}

void FaultyOs::SetModemLines(int lines) {
    std::lock_guard lock(mutex_);
    modemLines_ = lines;
}

int FaultyOs::Calls(Call call) const {
    std::lock_guard lock(mutex_);
    return kinds_[static_cast<int>(call)].calls;
}

int FaultyOs::Take(Call call) {
    std::function<void()> action;
    int errnum = 0;
    {
        std::lock_guard lock(mutex_);
        Kind& kind = kinds_[static_cast<int>(call)];
        ++kind.calls;
        action = std::exchange(kind.before, nullptr);
        if (kind.skip > 0) {
            --kind.skip;
        } else {
            errnum = std::exchange(kind.errnum, 0);
        }
    }
    // Outside the lock: the action may make calls of its own.
    if (action) {
        action();
    }
    return errnum;
}

template <class SystemCall>
auto FaultyOs::Through(Call call, SystemCall system) -> decltype(system()) {
    if (const int e = Take(call)) {
        errno = e;
        return -1;
    }
    return system();
}

int FaultyOs::Open(const char* path, int flags) {
    return Through(Call::kOpen, [&] { return Os::Open(path, flags); });
}

ssize_t FaultyOs::Read(int fd, void* buffer, size_t size) {
    return Through(Call::kRead, [&] { return Os::Read(fd, buffer, size); });
}

ssize_t FaultyOs::Write(int fd, const void* bytes, size_t size) {
    return Through(Call::kWrite, [&] { return Os::Write(fd, bytes, size); });
}

int FaultyOs::Ioctl(int fd, unsigned long request, void* arg) {
    {
        std::lock_guard lock(mutex_);
        if (request == TIOCGICOUNT && counters_) {
            *static_cast<serial_icounter_struct*>(arg) = *counters_;
            return 0;
        }
        if (request == TIOCMGET && modemLines_) {
            *static_cast<int*>(arg) = *modemLines_;
            return 0;
        }
    }
    return Os::Ioctl(fd, request, arg);
}

int FaultyOs::Flock(int fd, int operation) {
    return Through(Call::kFlock, [&] { return Os::Flock(fd, operation); });
}

int FaultyOs::TcGetAttr(int fd, termios* settings) {
    return Through(Call::kTcGetAttr, [&] {
        std::lock_guard lock(mutex_);
        const auto held = settings_.find(fd);
        if (held == settings_.end()) {
            return Os::TcGetAttr(fd, settings);
        }
        *settings = held->second;
        return 0;
    });
}

int FaultyOs::TcSetAttr(int fd, const termios* settings) {
    return Through(Call::kTcSetAttr, [&] {
        // The pty takes what it can and may say EINVAL about the rest; the UART takes all.
        const int result = Os::TcSetAttr(fd, settings);
        std::lock_guard lock(mutex_);
        if (!holdAllSettings_) {
            return result;
        }
        settings_[fd] = *settings;
        return 0;
    });
}

int FaultyOs::TcFlush(int fd, int queue) {
    return Through(Call::kTcFlush, [&] { return Os::TcFlush(fd, queue); });
}

int FaultyOs::Poll(pollfd* fds, nfds_t count, int timeoutMs) {
    const int e = Take(Call::kPoll);
    if (e == ETIMEDOUT) {
        return 0;
    }
    errno = e;
    return e != 0 ? -1 : Os::Poll(fds, count, timeoutMs);
}

int FaultyOs::EpollWait(int epollFd, epoll_event* events, int maxEvents, int timeoutMs) {
    return Through(Call::kEpollWait,
                   [&] { return Os::EpollWait(epollFd, events, maxEvents, timeoutMs); });
}

int FaultyOs::ThreadCreate(pthread_t* thread, void* (*routine)(void*), void* arg) {
    const int e = Take(Call::kThreadCreate);
    return e != 0 ? e : Os::ThreadCreate(thread, routine, arg);
}

}  // namespace pathlux::test
