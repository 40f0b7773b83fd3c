#include "platform/os.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>

namespace pathlux::platform {
namespace {

Os gSystemOs;
std::atomic<Os*> gCurrentOs{&gSystemOs};

}  // namespace

int Os::Open(const char* path, int flags) {
    return ::open(path, flags);
}

int Os::Close(int fd) {
    return ::close(fd);
}

ssize_t Os::Read(int fd, void* buffer, size_t size) {
    return ::read(fd, buffer, size);
}

ssize_t Os::Write(int fd, const void* bytes, size_t size) {
    return ::write(fd, bytes, size);
}

int Os::Ioctl(int fd, unsigned long request, void* arg) {
    return ::ioctl(fd, request, arg);
}

int Os::Flock(int fd, int operation) {
    return ::flock(fd, operation);
}

int Os::TcGetAttr(int fd, termios* settings) {
    return ::tcgetattr(fd, settings);
}

int Os::TcSetAttr(int fd, const termios* settings) {
    return ::tcsetattr(fd, TCSANOW, settings);
}

int Os::TcFlush(int fd, int queue) {
    return ::tcflush(fd, queue);
}

int Os::Poll(pollfd* fds, nfds_t count, int timeoutMs) {
    return ::poll(fds, count, timeoutMs);
}

int Os::EpollCreate() {
    return ::epoll_create1(EPOLL_CLOEXEC);
}

int Os::EpollCtl(int epollFd, int operation, int fd, epoll_event* event) {
    return ::epoll_ctl(epollFd, operation, fd, event);
}

int Os::EpollWait(int epollFd, epoll_event* events, int maxEvents, int timeoutMs) {
    return ::epoll_wait(epollFd, events, maxEvents, timeoutMs);
}

int Os::EventFd() {
    return ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

int Os::ThreadCreate(pthread_t* thread, void* (*routine)(void*), void* arg) {
    return ::pthread_create(thread, nullptr, routine, arg);
}

Os& CurrentOs() {
    return *gCurrentOs.load(std::memory_order_acquire);
}

ScopedOs::ScopedOs(Os& os) : previous_(gCurrentOs.exchange(&os, std::memory_order_acq_rel)) {}

ScopedOs::~ScopedOs() {
    gCurrentOs.store(previous_, std::memory_order_release);
}

}  // namespace pathlux::platform
