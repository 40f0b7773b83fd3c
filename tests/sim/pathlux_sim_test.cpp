// Runs the pathlux-sim program itself: on a real pseudo-terminal, and as a replayer into a file.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/sim_process.h"

namespace pathlux::sim {
namespace {

using test::SimProcess;

// The monitor's end of the simulator's pseudo-terminal.
class Terminal {
  public:
    explicit Terminal(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~Terminal() { close(fd_); }

    bool Send(const std::string& bytes) {
        return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Adds what came to received.
    void Read() {
        char buffer[4096];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        received.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
    // The simulator's side has gone.
    bool HungUp() const {
        pollfd fd{fd_, POLLIN, 0};
        return poll(&fd, 1, 0) == 1 && (fd.revents & POLLHUP) != 0;
    }

    std::string received;

  private:
    int fd_;
};

std::string LinkTarget(const std::string& link) {
    char target[256] = {};
    return readlink(link.c_str(), target, sizeof target - 1) > 0 ? target : "";
}

// Every line the monitor writes gets its verdict; an accepted restart is obeyed. Unplugged, the
// old device hangs up and a new one, where the link now points, carries the sentences on. Stopped,
// it ends well and takes its link away.
TEST(pathlux_sim_test, AnswersOnAPseudoTerminalReplugsAndStops) {
    const std::string link = ::testing::TempDir() + "pathlux-sim-test-link";
    SimProcess sim({"--speed", "20", "--link", link, "--duration", "60"});
    ASSERT_TRUE(sim.WaitForDevice());
    EXPECT_TRUE(sim.FirstLine().starts_with("/dev/pts/")) << sim.FirstLine();
    EXPECT_EQ(LinkTarget(link), sim.FirstLine());
    Terminal old(sim.FirstLine());
    ASSERT_TRUE(old.Send("hello\r\n$PNMRX111,COLD*41\r\n$PNMRX111,COLD*40\r\n"));
    ASSERT_TRUE(sim.WaitFor([&] { return sim.StderrHas(R"({"restart":"cold"})"); }));
    EXPECT_TRUE(sim.StderrHas(R"({"rx":"hello","accepted":false,"reason":"unknown"})"));
    EXPECT_TRUE(
        sim.StderrHas(R"({"rx":"$PNMRX111,COLD*41","accepted":false,"reason":"bad checksum"})"));
    EXPECT_TRUE(sim.StderrHas(R"({"rx":"$PNMRX111,COLD*40","accepted":true})"));
    EXPECT_EQ(sim.stderrText.find(R"({"restart")"), sim.stderrText.rfind(R"({"restart")"))
        << "a line refused is not obeyed";

    sim.Signal(SIGUSR1);
    ASSERT_TRUE(sim.WaitFor([&] { return old.HungUp(); }));
    ASSERT_TRUE(sim.WaitFor([&] { return sim.StderrHas(R"({"replugged":")"); }));
    const std::string device = LinkTarget(link);
    EXPECT_TRUE(sim.StderrHas(R"({"replugged":")" + device + "\"}")) << "the link follows";
    Terminal plugged(device);
    sim.SetPump([&] { plugged.Read(); });
    EXPECT_TRUE(
        sim.WaitFor([&] { return plugged.received.find("\r\n$GPRMC,") != std::string::npos; }));

    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.WaitForExit(), 0);
    EXPECT_EQ(access(link.c_str(), F_OK), -1) << "the symlink is removed";
}

TEST(pathlux_sim_test, ReplaysALogLineForLineAndEnds) {
    const std::string log = ::testing::TempDir() + "pathlux-sim-test.log";
    const std::string device = ::testing::TempDir() + "pathlux-sim-test-device";
    std::ofstream(log) << "# annotation\n$A*41\n$B*42\r\n$C";
    std::ofstream(device).close();
    SimProcess sim({"--device", device, "--replay", log, "--rate", "1000"});
    EXPECT_EQ(sim.WaitForExit(), 0);
    std::ostringstream written;
    written << std::ifstream(device).rdbuf();
    EXPECT_EQ(written.str(), "$A*41\r\n$B*42\r\n$C\r\n");
    unlink(log.c_str());
    unlink(device.c_str());
}

TEST(pathlux_sim_test, CommandLineErrorsAndHelp) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* output;  // expected in standard output or error
    } rows[] = {
        {{"--help"}, 0, "usage: pathlux-sim"},
        {{"--colour"}, 2, "unknown option --colour"},
        {{"--device", "/nonexistent/tty"}, 1, "cannot open /nonexistent/tty"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.output);
        SimProcess sim(row.args);
        EXPECT_EQ(sim.WaitForExit(), row.exitCode);
        EXPECT_NE((sim.stdoutText + sim.stderrText).find(row.output), std::string::npos);
    }
}

}  // namespace
}  // namespace pathlux::sim
