// A real pseudo-terminal for tests: the test holds the master side (the receiver's end) and the
// code under test opens the slave side by its path. Also the process's descriptor and thread
// counts, to show that nothing was left behind.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>

namespace pathlux::test {

class Pty {
  public:
    // Fails the current test when no pseudo-terminal can be made.
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
            ptsname_r(master_, name, sizeof name) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return;
        }
        path_ = name;
        termios raw{};
        tcgetattr(master_, &raw);
        cfmakeraw(&raw);
        tcsetattr(master_, TCSANOW, &raw);
    }
    ~Pty() { CloseMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& path() const { return path_; }
    std::u16string name() const { return std::u16string(path_.begin(), path_.end()); }

    // Sends bytes as the receiver would.
    void Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = write(master_, bytes.data(), bytes.size());
            ASSERT_GT(n, 0) << "write to the master side failed";
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    // What the other side wrote, waiting at most 5 s for count bytes.
    std::string Receive(std::size_t count) {
        std::string out;
        char buffer[4096];
        pollfd ready{master_, POLLIN, 0};
        while (out.size() < count && poll(&ready, 1, 5000) > 0) {
            const ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - out.size()));
            if (n <= 0) {
                break;
            }
            out.append(buffer, static_cast<std::size_t>(n));
        }
        return out;
    }
    // The receiver side goes away: the slave side sees a hang-up.
    void CloseMaster() {
        if (master_ >= 0) {
            close(master_);
            master_ = -1;
        }
    }
    // Whether the terminal is in exclusive mode (TIOCEXCL), which the kernel keeps while the
    // master is open, whoever opens the slave side later.
    bool Exclusive() const {
        const int slave = open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (slave < 0) {
            return errno == EBUSY;  // not root: the mode itself refuses the open
        }
        int exclusive = 0;
        EXPECT_EQ(ioctl(slave, TIOCGEXCL, &exclusive), 0) << "TIOCGEXCL";
        close(slave);
        return exclusive != 0;
    }

  private:
    int master_ = -1;
    std::string path_;
};

// Entries of /proc/self/fd and /proc/self/task.
inline int CountOpenFds() {
    const std::filesystem::directory_iterator entries("/proc/self/fd");
    return static_cast<int>(std::distance(begin(entries), end(entries))) - 1;  // its own
}

inline int CountThreads() {
    const std::filesystem::directory_iterator entries("/proc/self/task");
    return static_cast<int>(std::distance(begin(entries), end(entries)));
}

// The thread count to compare with later: taken after a first thread has come and gone, so that
// helper threads a sanitizer starts with the first thread are in it.
inline int BaselineThreadCount() {
    std::thread([] {}).join();
    int seen = CountThreads();
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (const int now = std::exchange(seen, CountThreads()); now == seen) {
            break;
        }
    }
    return seen;
}

// The thread count once the kernel has reaped exited threads (a joined thread can linger in
// /proc for a moment); gives up after a second and returns what it sees then.
inline int SettledThreadCount(int expected) {
    int seen = CountThreads();
    for (int i = 0; i < 100 && seen != expected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        seen = CountThreads();
    }
    return seen;
}

}  // namespace pathlux::test
