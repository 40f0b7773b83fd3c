// pathlux-ttff against pathlux-sim on a pseudo-terminal: the times agree with the simulator's
// own report, a silent receiver gives time-outs and the series goes on, bad usage and a missing
// port give their exit codes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <cstdio>
#include <string>

#include "tests/ttff/tool_run.h"
#include "tools/ttff/options.h"
#include "ttff/plot_geometry.h"

namespace pathlux::testing {
namespace {

TEST(ttff_tool_test, runs_agree_with_the_simulator) {
    // Slow enough that the delays of a busy machine stay well inside the bounds of the check.
    test::SimProcess sim({"--speed", "5", "--seed", "7"});
    ASSERT_TRUE(sim.WaitForDevice());
    // Named for this process: builds of other trees may run this test at the same time.
    const std::string csv = ::testing::TempDir() + "ttff_runs_" + std::to_string(getpid()) + ".csv";
    const std::string plot = csv + ".png";
    const ToolRun run =
        RunTtff({"--port", sim.FirstLine(), "--restart", "hot", "--runs", "3", "--settle", "0.3",
                 "--timeout", "10", "--json", "--csv", csv, "--plot", plot});
    ASSERT_EQ(run.exitCode, ttff::kExitAllFixed) << ::testing::PrintToString(run.err);
    ASSERT_TRUE(sim.WaitFor([&] { return sim.Runs().size() == 3 && sim.Runs()[2].after3d >= 0; }))
        << sim.stderrText;

    // A JSON line per run, then the summary; a CSV row per run; the human lines and the table
    // on standard error.
    ASSERT_EQ(run.out.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ExpectTimedAsSimulated(run.out[i], sim.Runs()[i], 5);
    }
    const std::vector<std::string> rows = Lines(std::fopen(csv.c_str(), "r"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[3].substr(0, 9), "3,hot,ok,");
    EXPECT_THAT(run.err, ::testing::Contains(::testing::StartsWith("run  3/3  2D ")));
    EXPECT_EQ(QImage(QString::fromStdString(plot)).width(), ttff::kPlotWidth);
    std::remove(csv.c_str());
    std::remove(plot.c_str());
}

TEST(ttff_tool_test, a_silent_receiver_times_out_and_the_series_goes_on) {
    // One second of output, then silence on a link that stays open.
    test::SimProcess sim({"--speed", "10", "--count", "1"});
    ASSERT_TRUE(sim.WaitForDevice());
    const ToolRun run = RunTtff({"--port", sim.FirstLine(), "--restart", "cold", "--runs", "2",
                                 "--settle", "0.1", "--timeout", "0.3", "--json"});
    EXPECT_EQ(run.exitCode, ttff::kExitSomeFailed) << ::testing::PrintToString(run.err);
    ASSERT_EQ(run.out.size(), 3u);
    EXPECT_EQ(test::JsonValue(run.out[2], "summary.2d.failures"), "2");
    EXPECT_EQ(test::JsonValue(run.out[0], "ttff_2d_ms"), "null");
    EXPECT_EQ(test::JsonValue(run.out[2], "summary.2d.median_ms"), "");  // no time, no figures
    EXPECT_TRUE(sim.WaitFor([&] { return sim.Runs().size() == 2; }));    // both restarts went out
}

// Each says what is wrong in one line of standard error.
TEST(ttff_tool_test, usage_and_port_errors_have_their_exit_codes) {
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    } cases[] = {
        {{"--port", "/dev/null", "--runs", "2"}, ttff::kExitUsage, "--restart is required"},
        {{"--port", "/no", "--restart", "hot", "--runs", "1"}, ttff::kExitPort, "cannot open /no"},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunTtff(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.says;
        EXPECT_THAT(run.err, ::testing::ElementsAre(::testing::HasSubstr(c.says)));
    }
}

}  // namespace
}  // namespace pathlux::testing
