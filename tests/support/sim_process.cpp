#include "tests/support/sim_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace pathlux::test {
namespace {

using Clock = std::chrono::steady_clock;

void Drain(const pollfd& fd, bool& open, std::string& text) {
    if ((fd.revents & (POLLIN | POLLHUP)) == 0) {
        return;
    }
    char buffer[4096];
    const ssize_t n = read(fd.fd, buffer, sizeof buffer);
    if (n > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0) {
        open = false;
    }
}

}  // namespace

SimProcess::SimProcess(const std::vector<std::string>& args) {
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe";
        return;
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(PATHLUX_SIM_BINARY));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        execv(PATHLUX_SIM_BINARY, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
}

SimProcess::~SimProcess() {
    if (pid_ > 0 && !exited_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {out_, err_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool SimProcess::WaitFor(const std::function<bool()>& done) {
    const Clock::time_point deadline = Clock::now() + kSimPatience;
    while (!done()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        // Negative descriptors are skipped: pipes at their end.
        pollfd fds[2] = {{outOpen_ ? out_ : -1, POLLIN, 0}, {errOpen_ ? err_ : -1, POLLIN, 0}};
        if (poll(fds, 2, pump_ ? 5 : 100) < 0) {
            return false;
        }
        Drain(fds[0], outOpen_, stdoutText);
        Drain(fds[1], errOpen_, stderrText);
        if (pump_) {
            pump_();
        }
    }
    return true;
}

void SimProcess::Signal(int signal) {
    kill(pid_, signal);
}

bool SimProcess::HasExited() {
    if (!exited_ && !outOpen_ && !errOpen_ && waitpid(pid_, &status_, WNOHANG) == pid_) {
        exited_ = true;
    }
    return exited_;
}

int SimProcess::ExitCode() const {
    return exited_ && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

long long SimProcess::Sent(const std::string& name) const {
    const std::size_t report = stderrText.find(R"({"sent":{)");
    const std::size_t at = stderrText.find('"' + name + "\":", report);
    // A report read only in part counts as not yet come.
    if (report == std::string::npos || at == std::string::npos ||
        stderrText.find("}}", report) == std::string::npos) {
        return -1;
    }
    return std::atoll(stderrText.c_str() + at + name.size() + 3);
}

int SimProcess::FixAfter(std::size_t from) const {
    const std::size_t fix =
        std::min(stderrText.find(R"({"fix":"2D")", from), stderrText.find(R"({"fix":"3D")", from));
    const std::size_t after = stderrText.find(R"("after":)", fix);
    if (from == std::string::npos || after == std::string::npos ||
        stderrText.find('}', after) == std::string::npos) {
        return -1;
    }
    return std::atoi(stderrText.c_str() + after + 8);
}

}  // namespace pathlux::test
