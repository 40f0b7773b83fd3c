// A series stopped in the middle, by unplugging the receiver or by Ctrl-C: the tool stops
// cleanly, keeps and prints the runs done, and says why in its exit code.

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/ttff/tool_run.h"
#include "tools/ttff/options.h"

namespace pathlux::testing {
namespace {

TEST(ttff_stop_test, stops_mid_series_and_keeps_the_runs_done) {
    const struct {
        bool unplug;
        int exitCode;
        const char* ending;
    } cases[] = {
        {true, ttff::kExitPort, R"("port lost")"},
        {false, ttff::kExitInterrupted, R"("interrupted")"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ending);
        test::SimProcess sim({"--speed", "10"});
        ASSERT_TRUE(sim.WaitForDevice());
        const std::string device = sim.FirstLine();  // before the stopper reads on
        std::atomic<bool> stop{false};
        // Stops the series once the third restart reached the receiver: two runs are done.
        std::thread stopper([&] {
            sim.WaitFor([&] { return sim.Runs().size() >= 3; });
            if (c.unplug) {
                sim.Signal(SIGUSR1);
            } else {
                stop = true;
            }
        });
        const ToolRun run = RunTtff({"--port", device, "--restart", "hot", "--runs", "20",
                                     "--settle", "0.1", "--timeout", "5", "--json"},
                                    &stop);
        stopper.join();
        EXPECT_EQ(run.exitCode, c.exitCode) << ::testing::PrintToString(run.err);
        ASSERT_EQ(run.out.size(), 3u);  // two runs and the summary
        EXPECT_EQ(test::JsonValue(run.out[2], "summary.ending"), c.ending);
        EXPECT_EQ(test::JsonValue(run.out[2], "summary.runs"), "2");
    }
}

}  // namespace
}  // namespace pathlux::testing
