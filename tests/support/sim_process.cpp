#include "tests/support/sim_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

namespace pathlux::test {

std::string JsonValue(const std::string& line, const std::string& key) {
    const std::size_t dot = key.find('.');
    const std::string name = '"' + key.substr(0, dot) + "\":";
    const std::size_t at = line.find(name);
    if (at == std::string::npos) {
        return {};
    }
    const std::string rest = line.substr(at + name.size());
    return dot == std::string::npos ? rest.substr(0, rest.find_first_of(",}"))
                                    : JsonValue(rest, key.substr(dot + 1));
}

SimProcess::SimProcess(const std::vector<std::string>& args) {
    // Without pipes the device never comes, and the test fails at its first wait.
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    EXPECT_EQ(pipe2(out, O_CLOEXEC) | pipe2(err, O_CLOEXEC), 0) << "pipes for pathlux-sim";
    std::vector<char*> argv = {const_cast<char*>(PATHLUX_SIM_BINARY)};
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
    pipes_[0] = out[0];
    pipes_[1] = err[0];
}

SimProcess::~SimProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close(pipes_[0]);
    close(pipes_[1]);
}

bool SimProcess::WaitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kSimPatience;
    while (!done()) {
        // Negative descriptors are skipped: pipes at their end.
        pollfd fds[2] = {{open_[0] ? pipes_[0] : -1, POLLIN, 0},
                         {open_[1] ? pipes_[1] : -1, POLLIN, 0}};
        if (std::chrono::steady_clock::now() >= deadline || poll(fds, 2, pump_ ? 5 : 100) < 0) {
            return false;
        }
        for (int i = 0; i < 2; ++i) {
            char buffer[4096];
            const ssize_t n = fds[i].revents != 0 ? read(fds[i].fd, buffer, sizeof buffer) : -1;
            open_[i] = open_[i] && n != 0;
            (i == 0 ? stdoutText : stderrText).append(buffer, std::max<ssize_t>(n, 0));
        }
        if (pump_) {
            pump_();
        }
    }
    return true;
}

std::vector<SimRun> SimProcess::Runs() const {
    std::vector<SimRun> runs;
    // Whole lines only: the last may have come in part.
    for (std::size_t at = 0, end; (end = stderrText.find('\n', at)) != std::string::npos;
         at = end + 1) {
        const std::string line = stderrText.substr(at, end - at);
        const std::string fix = JsonValue(line, "fix");
        if (line.starts_with(R"({"restart":)")) {
            runs.push_back({JsonValue(line, "restart")});
        } else if (!runs.empty() && (fix == R"("2D")" || fix == R"("3D")")) {
            const int after = std::stoi(JsonValue(line, "after"));
            SimRun& run = runs.back();
            run.after2d = run.after2d < 0 ? after : run.after2d;
            run.after3d = run.after3d < 0 && fix == R"("3D")" ? after : run.after3d;
        }
    }
    return runs;
}

}  // namespace pathlux::test
