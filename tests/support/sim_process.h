// The pathlux-sim program running with pipes on its standard output and error, for tests that
// drive a simulated receiver, and the one reader of the JSON lines it and the TTFF tool write.
#pragma once

#include <signal.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace pathlux::test {

// Generous: the conditions come within a second or two; the limit only stops a hung test.
constexpr auto kSimPatience = std::chrono::seconds(30);

// The value of key in a line of JSON as the simulator and the TTFF tool write it (no spaces, no
// commas in strings; "a.b" is b inside a): its text, quoted for a string; empty when absent.
std::string JsonValue(const std::string& line, const std::string& key);

// A restart as the simulator reported it: its kind (quoted), and the simulated seconds from it to
// its first fix of either kind and to its first 3D fix, -1 until they come.
struct SimRun {
    std::string kind;
    int after2d = -1;
    int after3d = -1;
};

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
    std::string FirstLine() const { return stdoutText.substr(0, stdoutText.find('\n')); }

    void Signal(int signal) { kill(pid_, signal); }
    bool StderrHas(const std::string& text) const {
        return stderrText.find(text) != std::string::npos;
    }
    // Every restart reported so far, in order.
    std::vector<SimRun> Runs() const;

    std::string stdoutText;
    std::string stderrText;

  private:
    pid_t pid_ = -1;
    int pipes_[2] = {-1, -1};  // standard output and error
    bool open_[2] = {true, true};
    std::function<void()> pump_;
};

}  // namespace pathlux::test
