#include "tools/sim/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "tools/sim/report.h"

namespace pathlux::sim {
namespace {

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t replugRequested = 0;
volatile std::sig_atomic_t wakeWriteFd = -1;

// errno is kept: the handler may run between a failed call in the loop and the loop's look at
// errno, and a full pipe would turn an I/O error into EAGAIN.
void Wake() {
    const int savedErrno = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = write(wakeWriteFd, &byte, 1);
    errno = savedErrno;
}

void OnStopSignal(int) {
    stopRequested = 1;
    Wake();
}

void OnReplugSignal(int) {
    replugRequested = 1;
    Wake();
}

// No SA_RESTART: a signal interrupts a blocked write, so that a reader that stops draining
// standard error cannot keep the simulator from stopping.
bool Install(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    return sigaction(signal, &action, nullptr) == 0;
}

}  // namespace

Signals::~Signals() {
    wakeWriteFd = -1;
    if (wakeRead_ >= 0) {
        close(wakeRead_);
        close(wakeWrite_);
    }
}

std::string Signals::Catch() {
    int wakePipe[2];
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return ErrnoText("cannot make a pipe");
    }
    wakeRead_ = wakePipe[0];
    wakeWrite_ = wakePipe[1];
    wakeWriteFd = wakeWrite_;
    if (!Install(SIGINT, OnStopSignal) || !Install(SIGTERM, OnStopSignal) ||
        !Install(SIGUSR1, OnReplugSignal)) {
        return ErrnoText("cannot catch signals");
    }
    // A reader that goes away must not kill us; the write error says so instead.
    signal(SIGPIPE, SIG_IGN);
    return {};
}

void Signals::DrainWake() const {
    char bytes[16];
    while (read(wakeRead_, bytes, sizeof bytes) > 0) {
    }
}

bool Signals::StopRequested() const {
    return stopRequested != 0;
}

bool Signals::TakeReplugRequest() {
    if (replugRequested == 0) {
        return false;
    }
    replugRequested = 0;
    return true;
}

}  // namespace pathlux::sim
