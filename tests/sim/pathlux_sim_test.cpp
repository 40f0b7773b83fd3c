// Runs the pathlux-sim program itself: on a real pseudo-terminal, on a file, and as a replayer.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "nmea/nmea.h"
#include "tests/support/sim_process.h"
#include "tools/sim/replay.h"

namespace pathlux::sim {
namespace {

using test::LastFixAfter;

class RecordingDisplay : public MonitorDisplay {
  public:
    void SetFieldText(int controlId, const Text& text) override {
        fields[controlId] = std::string(text.begin(), text.end());
    }
    void AppendLog(Text) override { ++logLines; }
    void StartTimer(int, int) override { ++timerStarts; }
    void StopTimer(int) override {}
    void RedrawSkyPlot() override {}
    void RedrawSignalBars() override {}

    std::map<int, std::string> fields;
    int timerStarts = 0;
    std::uint64_t logLines = 0;
};

// The program, with the test reading its pseudo-terminal straight into the interpretation core.
class SimProcess : public test::SimProcess {
  public:
    using test::SimProcess::SimProcess;
    ~SimProcess() {
        if (pty_ >= 0) {
            close(pty_);
        }
    }

    bool OpenPty(const std::string& path) {
        if (pty_ >= 0) {
            close(pty_);
        }
        pty_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios tio{};
        if (pty_ < 0 || tcgetattr(pty_, &tio) != 0) {
            return false;
        }
        cfmakeraw(&tio);
        SetPump([this] {
            char buffer[4096];
            const ssize_t n = read(pty_, buffer, sizeof buffer);
            if (n > 0) {
                core.FeedBytes(reinterpret_cast<const std::uint8_t*>(buffer),
                               static_cast<std::size_t>(n));
            }
        });
        return tcsetattr(pty_, TCSANOW, &tio) == 0;
    }
    // The simulator's side of the open pseudo-terminal has gone.
    bool HungUp() const {
        pollfd fd{pty_, POLLIN, 0};
        return poll(&fd, 1, 0) == 1 && (fd.revents & POLLHUP) != 0;
    }
    bool Send(const std::string& bytes) {
        return write(pty_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    RecordingDisplay display;
    NmeaInterpreter core{display};

  private:
    int pty_ = -1;
};

TEST(pathlux_sim_test, RunsOnAPseudoTerminalAndObeysARestart) {
    const std::string link = testing::TempDir() + "pathlux-sim-test-link";
    SimProcess sim({"--speed", "40", "--seed", "5", "--start", "2026-12-06T12:00:00", "--link",
                    link, "--duration", "60"});
    ASSERT_TRUE(sim.WaitFor([&] { return sim.stdoutText.find('\n') != std::string::npos; }));
    const std::string device = sim.FirstLine();
    EXPECT_TRUE(device.starts_with("/dev/pts/")) << device;
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), device);
    ASSERT_TRUE(sim.OpenPty(device));

    ReceiverState& state = sim.core.state();
    ASSERT_TRUE(sim.WaitFor([&] { return sim.display.fields[kFixField] == "3D"; }));
    EXPECT_EQ(state.latitude, 28870380);
    EXPECT_EQ(state.longitude, 6910000);
    EXPECT_EQ(sim.display.fields[kAltitudeField], "545.4m");
    EXPECT_GT(LastFixAfter(sim.stderrText, "3D"), 0);

    // A bad line, a wrong checksum and a cold restart, as the monitor would write them.
    const int versionsBefore = sim.display.timerStarts;
    ASSERT_TRUE(sim.Send("hello\r\n$PNMRX111,COLD*41\r\n$PNMRX111,COLD*40\r\n"));
    ASSERT_TRUE(sim.WaitFor([&] { return sim.StderrHas(R"({"restart":"cold"})"); }));
    EXPECT_TRUE(sim.StderrHas(R"({"rx":"hello","accepted":false,"reason":"unknown"})"));
    EXPECT_TRUE(
        sim.StderrHas(R"({"rx":"$PNMRX111,COLD*41","accepted":false,"reason":"bad checksum"})"));
    EXPECT_TRUE(sim.StderrHas(R"({"rx":"$PNMRX111,COLD*40","accepted":true})"));

    // The version sentence comes back, the fix goes away, then a new fix after a cold start.
    ASSERT_TRUE(sim.WaitFor([&] { return sim.display.timerStarts > versionsBefore; }));
    EXPECT_EQ(sim.display.fields[kVersionField], "1.05");
    ASSERT_TRUE(sim.WaitFor([&] { return sim.display.fields[kFixField] == "NA"; }));
    ASSERT_TRUE(sim.WaitFor([&] { return sim.display.fields[kFixField] == "3D"; }));
    const std::size_t restartAt = sim.stderrText.find(R"({"restart":"cold"})");
    const int ttff = LastFixAfter(sim.stderrText.substr(restartAt), "2D");
    EXPECT_GE(ttff, 38) << "a cold start takes its time";

    sim.Signal(SIGTERM);
    ASSERT_TRUE(sim.WaitFor([&] { return sim.HasExited(); }));
    EXPECT_EQ(sim.ExitCode(), 0);
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "the symlink is removed";
}

TEST(pathlux_sim_test, FaultyLinkStillCarriesEnoughForAFix) {
    SimProcess sim({"--speed", "40", "--fault", "noise,control,split,checksum,missing,long",
                    "--fault-percent", "10", "--duration", "60"});
    ASSERT_TRUE(sim.WaitFor([&] { return sim.stdoutText.find('\n') != std::string::npos; }));
    ASSERT_TRUE(sim.OpenPty(sim.FirstLine()));
    // A GGA cut short reads as position 0, so wait for a whole one after the fix.
    EXPECT_TRUE(sim.WaitFor([&] {
        return sim.display.fields[kFixField] == "3D" && sim.core.state().latitude == 28870380 &&
               sim.core.state().longitude == 6910000;
    }));
    sim.Signal(SIGINT);
    ASSERT_TRUE(sim.WaitFor([&] { return sim.HasExited(); }));
    EXPECT_EQ(sim.ExitCode(), 0);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(pathlux_sim_test, WritesToAnExistingDeviceAndStopsAfterItsDuration) {
    const std::string path = testing::TempDir() + "pathlux-sim-test-device";
    std::ofstream(path).close();
    SimProcess sim({"--device", path, "--duration", "0.5", "--start", "2026-12-06T12:00:00",
                    "--fault", "flood"});
    ASSERT_TRUE(sim.WaitFor([&] { return sim.HasExited(); }));
    EXPECT_EQ(sim.ExitCode(), 0);
    EXPECT_EQ(sim.FirstLine(), path);
    const std::string written = ReadAll(path);
    EXPECT_TRUE(written.starts_with("$PNMX600 Nemerix NS1030,Version 1.05*2E\r\n"));
    // Paced at normal speed, half a second holds only the first second; a flood holds more.
    EXPECT_NE(written.find("$GPRMC,120001.000"), std::string::npos);
    unlink(path.c_str());
}

TEST(pathlux_sim_test, ReplaysALogLineForLineAndEnds) {
    const std::string log = std::string(PATHLUX_LOG_DIR) + "/bt-q818.log";
    const std::string path = testing::TempDir() + "pathlux-sim-test-replay";
    std::ofstream(path).close();
    SimProcess sim({"--device", path, "--replay", log, "--rate", "1000", "--speed", "10"});
    ASSERT_TRUE(sim.WaitFor([&] { return sim.HasExited(); }));
    EXPECT_EQ(sim.ExitCode(), 0);
    std::string expected;
    for (const std::string& line : ReplayLines(ReadAll(log))) {
        expected += line;
    }
    EXPECT_EQ(ReadAll(path), expected);
    unlink(path.c_str());
}

// The number after "name": in the simulator's {"sent":{...}} report, or -1.
long long SentField(const std::string& stderrText, const std::string& name) {
    const std::size_t sent = stderrText.find(R"({"sent":{)");
    const std::size_t at = stderrText.find('"' + name + "\":", sent);
    if (sent == std::string::npos || at == std::string::npos) {
        return -1;
    }
    return std::stoll(stderrText.substr(at + name.size() + 3));
}

TEST(pathlux_sim_test, FloodsItsCountThenStaysOpenAndSilent) {
    // A slow clock: a flood is not held to it, and the reader has no second to miss.
    SimProcess sim({"--fault", "flood", "--count", "300", "--speed", "0.01", "--duration", "60",
                    "--start", "2026-12-06T12:00:00"});
    ASSERT_TRUE(sim.WaitFor([&] { return sim.stdoutText.find('\n') != std::string::npos; }));
    ASSERT_TRUE(sim.OpenPty(sim.FirstLine()));
    ASSERT_TRUE(sim.WaitFor([&] { return SentField(sim.stderrText, "drops") >= 0; }));
    EXPECT_EQ(SentField(sim.stderrText, "drops"), 0);
    const long long lines = SentField(sim.stderrText, "lines");
    // A version sentence, then GGA, GSA, RMC and two to four GSV a second.
    EXPECT_GE(lines, 1 + 300 * 5);
    EXPECT_LE(lines, 1 + 300 * 7);
    EXPECT_GT(SentField(sim.stderrText, "bytes"), lines * 40);
    ASSERT_TRUE(sim.WaitFor([&] { return sim.display.logLines >= static_cast<unsigned>(lines); }));
    EXPECT_EQ(sim.display.fields[kTimeField], "12:04:59") << "the last of 300 seconds";
    EXPECT_FALSE(sim.HasExited()) << "the link stays open";
    EXPECT_FALSE(sim.HungUp());

    sim.Signal(SIGTERM);
    ASSERT_TRUE(sim.WaitFor([&] { return sim.HasExited(); }));
    EXPECT_EQ(sim.ExitCode(), 0);
    EXPECT_EQ(sim.display.logLines, static_cast<unsigned long long>(lines)) << "nothing after";
    EXPECT_EQ(sim.stderrText.find(R"({"sent")"), sim.stderrText.rfind(R"({"sent")"))
        << "reported once";
}

TEST(pathlux_sim_test, SignalUnplugsAndPlugsInANewDevice) {
    const std::string link = testing::TempDir() + "pathlux-sim-test-replug";
    SimProcess sim({"--speed", "20", "--link", link, "--duration", "60"});
    ASSERT_TRUE(sim.WaitFor([&] { return sim.stdoutText.find('\n') != std::string::npos; }));
    ASSERT_TRUE(sim.OpenPty(sim.FirstLine()));
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        const std::size_t reports = sim.stderrText.size();
        sim.Signal(SIGUSR1);
        ASSERT_TRUE(sim.WaitFor([&] { return sim.HungUp(); })) << "the old device hangs up";
        ASSERT_TRUE(sim.WaitFor([&] {
            return sim.stderrText.find(R"({"replugged":")", reports) != std::string::npos;
        }));
        const std::size_t at = sim.stderrText.find(R"({"replugged":")", reports) + 14;
        const std::string device = sim.stderrText.substr(at, sim.stderrText.find('"', at) - at);
        char target[256] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target), device) << "the link follows";
        ASSERT_TRUE(sim.OpenPty(device));
        const std::uint64_t before = sim.display.logLines;
        EXPECT_TRUE(sim.WaitFor([&] { return sim.display.logLines > before + 5; }));
    }
    sim.Signal(SIGTERM);
    ASSERT_TRUE(sim.WaitFor([&] { return sim.HasExited(); }));
    EXPECT_EQ(sim.ExitCode(), 0);
    EXPECT_EQ(SentField(sim.stderrText, "drops"), 0);
}

TEST(pathlux_sim_test, ReplugThatCannotMakeItsLinkSaysWhyAndFails) {
    const std::string link = testing::TempDir() + "pathlux-sim-test-replug-blocked";
    SimProcess sim({"--link", link, "--duration", "60"});
    ASSERT_TRUE(sim.WaitFor([&] { return sim.stdoutText.find('\n') != std::string::npos; }));
    // A file of someone else's where the symlink was: not ours to replace.
    ASSERT_EQ(unlink(link.c_str()), 0);
    std::ofstream(link).close();
    sim.Signal(SIGUSR1);
    ASSERT_TRUE(sim.WaitFor([&] { return sim.HasExited(); }));
    EXPECT_EQ(sim.ExitCode(), 1);
    EXPECT_TRUE(sim.StderrHas("pathlux-sim: cannot plug in again: " + link +
                              " exists and is not a symlink\n"))
        << sim.stderrText;
    unlink(link.c_str());
}

TEST(pathlux_sim_test, CommandLineErrorsAndHelp) {
    const struct {
        const char* legend;
        std::vector<std::string> args;
        int exitCode;
        const char* output;  // expected in standard output or error
    } rows[] = {
        {"help", {"--help"}, 0, "usage: pathlux-sim"},
        {"unknown option", {"--colour"}, 2, "unknown option --colour"},
        {"bad speed", {"--speed", "0"}, 2, "bad value for --speed: 0"},
        {"missing device", {"--device", "/nonexistent/tty"}, 1, "cannot open /nonexistent/tty"},
        {"missing log", {"--replay", "/nonexistent.log"}, 1, "cannot read /nonexistent.log"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        SimProcess sim(row.args);
        ASSERT_TRUE(sim.WaitFor([&] { return sim.HasExited(); }));
        EXPECT_EQ(sim.ExitCode(), row.exitCode);
        EXPECT_NE((sim.stdoutText + sim.stderrText).find(row.output), std::string::npos)
            << sim.stdoutText << sim.stderrText;
    }
}

}  // namespace
}  // namespace pathlux::sim
