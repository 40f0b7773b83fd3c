// The one seam through which the platform layer makes its system calls, so that tests can make
// any of them fail (EINTR, EAGAIN, EIO, ENOENT, EBUSY, EACCES, ...). Each call behaves as the
// system call it stands for: -1 and errno on failure, except ThreadCreate, which returns the
// error number as pthread_create does.
#pragma once

#include <poll.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/types.h>
#include <termios.h>

namespace pathlux::platform {

class Os {
  public:
    virtual ~Os() = default;

    virtual int Open(const char* path, int flags);
    virtual int Close(int fd);
    virtual ssize_t Read(int fd, void* buffer, size_t size);
    virtual ssize_t Write(int fd, const void* bytes, size_t size);
    virtual int Ioctl(int fd, unsigned long request, void* arg);
    virtual int Flock(int fd, int operation);
    virtual int TcGetAttr(int fd, termios* settings);
    virtual int TcSetAttr(int fd, const termios* settings);
    virtual int TcFlush(int fd, int queue);
    virtual int Poll(pollfd* fds, nfds_t count, int timeoutMs);
    virtual int EpollCreate();
    virtual int EpollCtl(int epollFd, int operation, int fd, epoll_event* event);
    virtual int EpollWait(int epollFd, epoll_event* events, int maxEvents, int timeoutMs);
    virtual int EventFd();
    virtual int ThreadCreate(pthread_t* thread, void* (*routine)(void*), void* arg);
};

// The calls in force: the system's, or a test's while a ScopedOs lives.
Os& CurrentOs();

// Puts a test's calls in force for its lifetime. Install it before any port or thread that
// should use it exists, and let it end after they are gone.
class ScopedOs {
  public:
    explicit ScopedOs(Os& os);
    ~ScopedOs();
    ScopedOs(const ScopedOs&) = delete;
    ScopedOs& operator=(const ScopedOs&) = delete;

  private:
    Os* previous_;
};

}  // namespace pathlux::platform
