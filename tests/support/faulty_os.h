// The system calls with faults on demand: the next call of a kind fails with a chosen errno, and
// the driver's error counters and modem lines can be made up.
#pragma once

#include <linux/serial.h>

#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "platform/os.h"

namespace pathlux::test {

class FaultyOs : public platform::Os {
  public:
    enum class Call {
        kOpen,
        kRead,
        kWrite,
        kFlock,
        kTcGetAttr,
        kTcSetAttr,
        kTcFlush,
        kPoll,
        kEpollWait,
        kThreadCreate,
        kCount
    };

    // The next call of the kind after `skip` successful ones fails with errnum. A Poll "failing"
    // with ETIMEDOUT returns 0 instead: the wait ran out at once.
    void Fail(Call call, int errnum, int skip = 0);
    // The next call of the kind first runs action, on the calling thread: something another
    // thread does in the middle of an operation.
    void Before(Call call, std::function<void()> action);
    // Terminal settings are kept whole, as a UART keeps them (a pseudo-terminal drops the
    // data-bit size and parity).
    void HoldAllSettings();
    // TIOCGICOUNT succeeds with these counters, TIOCMGET with these TIOCM_* lines (also on a
    // pseudo-terminal, which has neither).
    void SetCounters(const serial_icounter_struct& counters);
    void SetModemLines(int lines);
    // How many calls of the kind were made.
    int Calls(Call call) const;

    int Open(const char* path, int flags) override;
    ssize_t Read(int fd, void* buffer, size_t size) override;
    ssize_t Write(int fd, const void* bytes, size_t size) override;
    int Ioctl(int fd, unsigned long request, void* arg) override;
    int Flock(int fd, int operation) override;
    int TcGetAttr(int fd, termios* settings) override;
    int TcSetAttr(int fd, const termios* settings) override;
    int TcFlush(int fd, int queue) override;
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override;
    int EpollWait(int epollFd, epoll_event* events, int maxEvents, int timeoutMs) override;
    int ThreadCreate(pthread_t* thread, void* (*routine)(void*), void* arg) override;

  private:
    struct Kind {
        int errnum = 0;
        int skip = 0;
        int calls = 0;
        std::function<void()> before;
    };
    // Runs the call's action, if any; then the errno to fail the call with, or 0.
    int Take(Call call);
    // The system's call, unless the kind is to fail: then -1 with errno.
    template <class SystemCall>
    auto Through(Call call, SystemCall system) -> decltype(system());

    mutable std::mutex mutex_;
    Kind kinds_[static_cast<int>(Call::kCount)];
    bool holdAllSettings_ = false;
    std::map<int, termios> settings_;
    std::optional<serial_icounter_struct> counters_;
    std::optional<int> modemLines_;
};

}  // namespace pathlux::test
