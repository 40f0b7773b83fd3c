// A real pseudo-terminal for tests: the test holds the master side (the receiver's end) and the
// code under test opens the slave side by its path. Also the process's descriptor and thread
// counts, to show that nothing was left behind.
#pragma once

#include <string>
#include <string_view>

namespace pathlux::test {

class Pty {
  public:
    Pty();  // fails the current test when no pseudo-terminal can be made
    ~Pty() { CloseMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& path() const { return path_; }
    std::u16string name() const { return std::u16string(path_.begin(), path_.end()); }

    // Sends bytes as the receiver would.
    void Send(std::string_view bytes);
    // What the other side wrote, waiting at most 5 s for count bytes.
    std::string Receive(std::size_t count);
    // The receiver side goes away: the slave side sees a hang-up.
    void CloseMaster();
    // Whether the terminal is in exclusive mode (TIOCEXCL), which the kernel keeps while the
    // master is open, whoever opens the slave side later.
    bool Exclusive() const;

  private:
    int master_ = -1;
    std::string path_;
};

// Entries of /proc/self/fd and /proc/self/task.
int CountOpenFds();
int CountThreads();
// The thread count to compare with later: taken after a first thread has come and gone, so that
// helper threads a sanitizer starts with the first thread are in it.
int BaselineThreadCount();
// The thread count once the kernel has reaped exited threads (a joined thread can linger in
// /proc for a moment); gives up after a second and returns what it sees then.
int SettledThreadCount(int expected);

}  // namespace pathlux::test
