// The pathlux-sim program running with pipes on its standard output and error, for tests that
// drive a simulated receiver.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace pathlux::test {

// Generous: the conditions come within a second or two; the limit only stops a hung test.
constexpr auto kSimPatience = std::chrono::seconds(30);

class SimProcess {
  public:
    explicit SimProcess(const std::vector<std::string>& args);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Reads the program's output until done() holds or the patience runs out (false then).
    // Each round also runs the pump, which may wait briefly for what the test reads itself.
    bool WaitFor(const std::function<bool()>& done);
    void SetPump(std::function<void()> pump) { pump_ = std::move(pump); }

    void Signal(int signal);
    // True once the program has ended and all its output has been read.
    bool HasExited();
    int ExitCode() const;
    std::string FirstLine() const { return stdoutText.substr(0, stdoutText.find('\n')); }
    bool StderrHas(const std::string& text) const {
        return stderrText.find(text) != std::string::npos;
    }

    std::string stdoutText;
    std::string stderrText;

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int status_ = 0;
    bool exited_ = false;
    bool outOpen_ = true;
    bool errOpen_ = true;
    std::function<void()> pump_;
};

// The "after" (simulated seconds since the restart) of the last {"fix":mode,...} report on
// standard error, or -1.
int LastFixAfter(const std::string& stderrText, const std::string& mode);

}  // namespace pathlux::test
