// The system calls with faults on demand: the next call of a kind fails with a chosen errno, and
// the driver's error counters can be made up.
#pragma once

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/os.h"

namespace pathlux::test {

class FaultyOs : public platform::Os {
  public:
    enum class Call {
        kOpen,
        kRead,
        kFlock,
        kTcSetAttr,
        kTcFlush,
        kPoll,
        kEpollWait,
        kThreadCreate,
        kCount
    };

    // The next call of the kind after `skip` successful ones fails with errnum. A call "failing"
    // with ETIMEDOUT returns 0 instead: for Poll, the wait ran out at once.
    void Fail(Call call, int errnum, int skip = 0) {
        std::lock_guard lock(mutex_);
        Kind& kind = kinds_[static_cast<int>(call)];
        kind.errnum = errnum;
        kind.failAt = kind.calls + skip + 1;
    }
    // The next call of the kind first runs action, on the calling thread: something another
    // thread does in the middle of an operation.
    void Before(Call call, std::function<void()> action) {
        std::lock_guard lock(mutex_);
        kinds_[static_cast<int>(call)].before = std::move(action);
    }
    // Terminal settings are kept whole, as a UART keeps them (a pseudo-terminal drops the
    // data-bit size and parity). For one open device at a time.
    void HoldAllSettings() {
        std::lock_guard lock(mutex_);
        holdAllSettings_ = true;
    }
    // TIOCGICOUNT succeeds with these counters (also on a pseudo-terminal, which has none).
    void SetCounters(const serial_icounter_struct& counters) {
        std::lock_guard lock(mutex_);
        counters_ = counters;
    }
    // How many calls of the kind were made.
    int Calls(Call call) const {
        std::lock_guard lock(mutex_);
        return kinds_[static_cast<int>(call)].calls;
    }

    int Open(const char* path, int flags) override {
        return Through(Call::kOpen, [&] { return Os::Open(path, flags); });
    }
    ssize_t Read(int fd, void* buffer, size_t size) override {
        return Through(Call::kRead, [&] { return Os::Read(fd, buffer, size); });
    }
    int Flock(int fd, int operation) override {
        return Through(Call::kFlock, [&] { return Os::Flock(fd, operation); });
    }
    int TcFlush(int fd, int queue) override {
        return Through(Call::kTcFlush, [&] { return Os::TcFlush(fd, queue); });
    }
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override {
        return Through(Call::kPoll, [&] { return Os::Poll(fds, count, timeoutMs); });
    }
    int EpollWait(int epollFd, epoll_event* events, int maxEvents, int timeoutMs) override {
        return Through(Call::kEpollWait,
                       [&] { return Os::EpollWait(epollFd, events, maxEvents, timeoutMs); });
    }
    int ThreadCreate(pthread_t* thread, void* (*routine)(void*), void* arg) override {
        const int e = Take(Call::kThreadCreate);
        return e != 0 ? e : Os::ThreadCreate(thread, routine, arg);
    }
    int TcSetAttr(int fd, const termios* settings) override {
        return Through(Call::kTcSetAttr, [&] {
            // The pty takes what it can and may say EINVAL about the rest; the UART takes all.
            const int result = Os::TcSetAttr(fd, settings);
            std::lock_guard lock(mutex_);
            if (holdAllSettings_) {
                held_ = *settings;
            }
            return holdAllSettings_ ? 0 : result;
        });
    }
    int TcGetAttr(int fd, termios* settings) override {
        std::lock_guard lock(mutex_);
        if (held_) {
            *settings = *held_;
            return 0;
        }
        return Os::TcGetAttr(fd, settings);
    }
    int Ioctl(int fd, unsigned long request, void* arg) override {
        std::unique_lock lock(mutex_);
        if (request == TIOCGICOUNT && counters_) {
            *static_cast<serial_icounter_struct*>(arg) = *counters_;
            return 0;
        }
        lock.unlock();
        return Os::Ioctl(fd, request, arg);
    }

  private:
    struct Kind {
        int errnum = 0;
        int failAt = 0;  // the number of the call to fail, counted from 1
        int calls = 0;
        std::function<void()> before;
    };

    // Runs the call's action, if any; then the errno to fail the call with, or 0.
    int Take(Call call) {
        std::unique_lock lock(mutex_);
        Kind& kind = kinds_[static_cast<int>(call)];
        const std::function<void()> action = std::exchange(kind.before, nullptr);
        const int errnum = ++kind.calls == kind.failAt ? kind.errnum : 0;
        lock.unlock();  // the action may make calls of its own
        if (action) {
            action();
        }
        return errnum;
    }
    // The system's call, unless the kind is to fail: then -1 with errno (0 for ETIMEDOUT).
    template <class SystemCall>
    auto Through(Call call, SystemCall system) -> decltype(system()) {
        const int e = Take(call);
        if (e == 0) {
            return system();
        }
        errno = e;
        return e == ETIMEDOUT ? 0 : -1;
    }

    mutable std::mutex mutex_;
    Kind kinds_[static_cast<int>(Call::kCount)];
    bool holdAllSettings_ = false;
    std::optional<termios> held_;
    std::optional<serial_icounter_struct> counters_;
};

}  // namespace pathlux::test
