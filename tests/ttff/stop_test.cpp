// A series stopped in the middle, by unplugging the receiver or by Ctrl-C: the tool stops
// cleanly, keeps and prints the runs done, and says why in its exit code.

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/support/sim_process.h"
#include "tests/ttff/json_reader.h"
#include "tests/ttff/sim_report.h"
#include "tests/ttff/tool_run.h"
#include "tools/ttff/options.h"

namespace pathlux::testing {
namespace {

TEST(ttff_stop_test, stops_mid_series_and_keeps_the_runs_done) {
    const struct {
        const char* legend;
        bool unplug;
        int exitCode;
        const char* ending;
    } cases[] = {
        {"unplugged", true, ttff::kExitPort, "port lost"},
        {"interrupted", false, ttff::kExitInterrupted, "interrupted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        test::SimProcess sim({"--speed", "10"});
        const std::string device = SimDevice(sim);
        std::atomic<bool> stop{false};
        // Stops the series once the third restart reached the receiver: two runs are done.
        std::thread stopper([&] {
            sim.WaitFor([&] { return SimRuns(sim.stderrText).size() >= 3; });
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
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        const std::vector<std::string> json = Lines(run.out);
        ASSERT_EQ(json.size(), 3u) << run.out;  // two runs and the summary
        for (int i = 0; i < 2; ++i) {
            const auto fields = JsonReader::Read(json[i]);
            ASSERT_TRUE(fields);
            EXPECT_EQ(fields->at("result"), "ok");
        }
        const auto summary = JsonReader::Read(json[2]);
        ASSERT_TRUE(summary);
        EXPECT_EQ(summary->at("summary.ending"), c.ending);
        EXPECT_EQ(summary->at("summary.runs"), "2");
        EXPECT_NE(run.err.find(std::string("stopped after 2 of 20 runs: ") + c.ending),
                  std::string::npos)
            << run.err;
    }
}

}  // namespace
}  // namespace pathlux::testing
