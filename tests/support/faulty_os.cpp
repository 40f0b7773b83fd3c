#include "tests/support/faulty_os.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <utility>

namespace pathlux::test {

void FaultyOs::Fail(Call call, int errnum, int times, int skip) {
    std::lock_guard lock(mutex_);
    faults_[static_cast<int>(call)] = Fault{errnum, times, skip};
}

void FaultyOs::Before(Call call, std::function<void()> action) {
    std::lock_guard lock(mutex_);
    actions_[static_cast<int>(call)] = std::move(action);
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
    return calls_[static_cast<int>(call)];
}

int FaultyOs::Take(Call call) {
    std::function<void()> action;
    int errnum = 0;
    {
        std::lock_guard lock(mutex_);
        ++calls_[static_cast<int>(call)];
        action = std::exchange(actions_[static_cast<int>(call)], nullptr);
        Fault& fault = faults_[static_cast<int>(call)];
        if (fault.skip > 0) {
            --fault.skip;
        } else if (fault.times > 0) {
            --fault.times;
            errnum = fault.errnum;
        }
    }
    // Outside the lock: the action may make calls of its own.
    if (action) {
        action();
    }
    return errnum;
}

#define PATHLUX_FAULT(call)         \
    if (const int e = Take(call)) { \
        errno = e;                  \
        return -1;                  \
    }

int FaultyOs::Open(const char* path, int flags) {
    PATHLUX_FAULT(Call::kOpen);
    return Os::Open(path, flags);
}

ssize_t FaultyOs::Read(int fd, void* buffer, size_t size) {
    PATHLUX_FAULT(Call::kRead);
    return Os::Read(fd, buffer, size);
}

ssize_t FaultyOs::Write(int fd, const void* bytes, size_t size) {
    PATHLUX_FAULT(Call::kWrite);
    return Os::Write(fd, bytes, size);
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
    PATHLUX_FAULT(Call::kFlock);
    return Os::Flock(fd, operation);
}

int FaultyOs::TcGetAttr(int fd, termios* settings) {
    PATHLUX_FAULT(Call::kTcGetAttr);
    {
        std::lock_guard lock(mutex_);
        if (const auto held = settings_.find(fd); held != settings_.end()) {
            *settings = held->second;
            return 0;
        }
    }
    return Os::TcGetAttr(fd, settings);
}

int FaultyOs::TcSetAttr(int fd, const termios* settings) {
    PATHLUX_FAULT(Call::kTcSetAttr);
    // The pty takes what it can and may say EINVAL about the rest; the UART takes all.
    const int result = Os::TcSetAttr(fd, settings);
    std::lock_guard lock(mutex_);
    if (!holdAllSettings_) {
        return result;
    }
    settings_[fd] = *settings;
    return 0;
}

int FaultyOs::TcFlush(int fd, int queue) {
    PATHLUX_FAULT(Call::kTcFlush);
    return Os::TcFlush(fd, queue);
}

int FaultyOs::Poll(pollfd* fds, nfds_t count, int timeoutMs) {
    if (const int e = Take(Call::kPoll)) {
        if (e == ETIMEDOUT) {
            return 0;
        }
        errno = e;
        return -1;
    }
    return Os::Poll(fds, count, timeoutMs);
}

int FaultyOs::EpollWait(int epollFd, epoll_event* events, int maxEvents, int timeoutMs) {
    PATHLUX_FAULT(Call::kEpollWait);
    return Os::EpollWait(epollFd, events, maxEvents, timeoutMs);
}

int FaultyOs::ThreadCreate(pthread_t* thread, void* (*routine)(void*), void* arg) {
    if (const int e = Take(Call::kThreadCreate)) {
        return e;
    }
    return Os::ThreadCreate(thread, routine, arg);
}

#undef PATHLUX_FAULT

}  // namespace pathlux::test
