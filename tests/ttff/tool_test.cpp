// pathlux-ttff against pathlux-sim on a pseudo-terminal: the times agree with the simulator's
// own report, a silent receiver gives time-outs and the series goes on, bad usage and a missing
// port give their exit codes.

#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdio>
#include <string>

#include "tests/support/sim_process.h"
#include "tests/ttff/json_reader.h"
#include "tests/ttff/sim_report.h"
#include "tests/ttff/tool_run.h"
#include "tools/ttff/options.h"

namespace pathlux::testing {
namespace {

constexpr double kSpeed = 10;
constexpr double kSlack = 0.5;  // simulated seconds: 50 ms of latency at this speed

std::string TempPath(const char* name) {
    return ::testing::TempDir() + name;
}

TEST(ttff_tool_test, runs_agree_with_the_simulator) {
    test::SimProcess sim({"--speed", "10", "--seed", "7"});
    const std::string device = SimDevice(sim);
    const std::string csv = TempPath("ttff_runs.csv");
    const std::string plot = TempPath("ttff_runs.png");
    const ToolRun run = RunTtff({"--port", device, "--restart", "warm", "--runs", "3", "--settle",
                                 "0.3", "--timeout", "10", "--json", "--csv", csv, "--plot", plot});
    ASSERT_EQ(run.exitCode, ttff::kExitAllFixed) << run.err;

    ASSERT_TRUE(sim.WaitFor([&] {
        const std::vector<SimRun> runs = SimRuns(sim.stderrText);
        return runs.size() == 3 && runs.back().after3d >= 0;
    })) << sim.stderrText;
    const std::vector<SimRun> simulated = SimRuns(sim.stderrText);

    // Standard output: a JSON object per run, then the summary; the CSV file says the same.
    const std::vector<std::string> json = Lines(run.out);
    ASSERT_EQ(json.size(), 4u) << run.out;
    std::FILE* file = std::fopen(csv.c_str(), "r");
    ASSERT_NE(file, nullptr);
    const std::vector<std::string> rows = Lines(ReadAll(file));
    ASSERT_EQ(rows.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto fields = JsonReader::Read(json[i]);
        ASSERT_TRUE(fields);
        const long long ms2d = std::stoll(fields->at("ttff_2d_ms"));
        const long long ms3d = std::stoll(fields->at("ttff_3d_ms"));
        ExpectAgrees(ms2d, simulated[i].after2d, kSpeed, kSlack);
        ExpectAgrees(ms3d, simulated[i].after3d, kSpeed, kSlack);
        EXPECT_EQ(rows[i + 1].substr(0, rows[i + 1].find(",,")),
                  std::to_string(i + 1) + ",warm,ok," + std::to_string(ms2d) + "," +
                      fields->at("utc_2d") + "," + std::to_string(ms3d) + "," +
                      fields->at("utc_3d"));
    }
    const auto summary = JsonReader::Read(json[3]);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->at("summary.3d.failures"), "0");

    // The human lines went to standard error: a line per run and the table.
    EXPECT_NE(run.err.find("run  3/3  2D "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("median"), std::string::npos);
    const QImage image(QString::fromStdString(plot));
    EXPECT_EQ(image.width(), 720);
    EXPECT_GT(image.height(), 100);
}

TEST(ttff_tool_test, a_silent_receiver_times_out_and_the_series_goes_on) {
    // One second of output, then silence on a link that stays open.
    test::SimProcess sim({"--speed", "10", "--count", "1"});
    const std::string device = SimDevice(sim);
    const ToolRun run = RunTtff({"--port", device, "--restart", "cold", "--runs", "2", "--settle",
                                 "0.1", "--timeout", "0.3", "--json"});
    EXPECT_EQ(run.exitCode, ttff::kExitSomeFailed) << run.err;
    const std::vector<std::string> json = Lines(run.out);
    ASSERT_EQ(json.size(), 3u) << run.out;
    for (int i = 0; i < 2; ++i) {
        const auto fields = JsonReader::Read(json[i]);
        ASSERT_TRUE(fields);
        EXPECT_EQ(fields->at("result"), "timeout");
        EXPECT_EQ(fields->at("ttff_2d_ms"), "null");
    }
    const auto summary = JsonReader::Read(json[2]);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->at("summary.2d.failures"), "2");
    EXPECT_EQ(summary->count("summary.2d.median_ms"), 0u);
    // Both restarts reached the receiver.
    EXPECT_TRUE(sim.WaitFor([&] { return SimRuns(sim.stderrText).size() == 2; }));
}

TEST(ttff_tool_test, usage_and_port_errors_have_their_exit_codes) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    } cases[] = {
        {{"--port", "/dev/null", "--runs", "2"}, ttff::kExitUsage, "--restart is required"},
        {{"--port", "x", "--restart", "lukewarm", "--runs", "2"},
         ttff::kExitUsage,
         "bad value for --restart"},
        {{"--port", "x", "--restart", "hot", "--runs", "0"}, ttff::kExitUsage, "--runs"},
        {{"--port", "x", "--restart", "hot", "--runs", "1", "--near", "48,11"},
         ttff::kExitUsage,
         "--near"},
        {{"--port", "/nonexistent/tty", "--restart", "hot", "--runs", "1"},
         ttff::kExitPort,
         "cannot open /nonexistent/tty"},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunTtff(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
}

}  // namespace
}  // namespace pathlux::testing
