#include "tools/sim/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/sim/faults.h"

namespace pathlux::sim {
namespace {

// What is wrong with the arguments, or the faults and the start time they set.
std::string Parsed(const std::vector<std::string>& args) {
    SimOptions o;
    const std::string error = ParseOptions(args, o);
    return !error.empty() ? error
                          : "faults " + std::to_string(o.faults) + " start " +
                                std::to_string(o.startUtc.value_or(-1));
}

// The options the tests and the demo lean on, and the values that must be refused.
TEST(sim_options_test, ParsesTheCommandLine) {
    const std::string noiseSplitFlood = std::to_string(kFaultNoise | kFaultSplit | kFaultFlood);
    const struct {
        const char* legend;
        std::vector<std::string> args;
        std::string expected;
    } rows[] = {
        {"faults add up",
         {"--fault", "noise,split", "--fault", "flood"},
         "faults " + noiseSplitFlood + " start -1"},
        {"GPS week rollover day", {"--start", "1999-08-22T00:00:00"}, "faults 0 start 935280000"},
        {"leap day", {"--start", "2024-02-29T23:59:59Z"}, "faults 0 start 1709251199"},
        {"no leap day in 2100",
         {"--start", "2100-02-29T00:00:00"},
         "bad value for --start: 2100-02-29T00:00:00"},
        {"unknown fault", {"--fault", "noise,static"}, "bad value for --fault: noise,static"},
        {"empty fault name", {"--fault", "noise,"}, "bad value for --fault: noise,"},
        {"link and device",
         {"--link", "a", "--device", "b"},
         "--link and --device cannot be used together"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(Parsed(row.args), row.expected);
    }
}

}  // namespace
}  // namespace pathlux::sim
