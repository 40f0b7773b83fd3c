// The pathlux-sim program running with pipes on its standard output and error, for tests that
// drive a simulated receiver, and the readers of the reports it writes to standard error.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
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
    // Until the first line of standard output, the device, has come.
    bool WaitForDevice() {
        return WaitFor([&] { return stdoutText.find('\n') != std::string::npos; });
    }

    void Signal(int signal);
    // True once the program has ended and all its output has been read.
    bool HasExited();
    int ExitCode() const;
    // The exit code once the program has ended, -1 when it does not end in time.
    int WaitForExit() {
        return WaitFor([&] { return HasExited(); }) ? ExitCode() : -1;
    }
    std::string FirstLine() const { return stdoutText.substr(0, stdoutText.find('\n')); }
    bool StderrHas(const std::string& text) const {
        return stderrText.find(text) != std::string::npos;
    }

    // The count called name ("lines", "bytes" or "drops") of the {"sent":{...}} report, or -1
    // before that report.
    long long Sent(const std::string& name) const;
    // The "after" of the first {"fix":"2D"...} or {"fix":"3D"...} report from the offset from on:
    // simulated seconds from the restart before it to the fix; -1 before such a report.
    int FixAfter(std::size_t from) const;

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

}  // namespace pathlux::test
