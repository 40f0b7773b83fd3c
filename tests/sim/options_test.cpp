#include "tools/sim/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/sim/faults.h"

namespace pathlux::sim {
namespace {

// What is wrong with the arguments, or the faults and the receiver they set.
std::string Parsed(const std::vector<std::string>& args) {
    SimOptions o;
    const std::string error = ParseOptions(args, o);
    return !error.empty() ? error
                          : "faults " + std::to_string(o.faults) +
                                (o.talkers == Talkers::kGnss ? " gnss" : " gps") + " nmea " +
                                std::to_string(static_cast<int>(o.nmea));
}

// The options whose fault would make the tests on the simulator pass for the wrong reason (line
// faults that are not injected), and those of the receivers of several systems.
TEST(sim_options_test, ParsesTheCommandLine) {
    const std::string noiseSplitFlood = std::to_string(kFaultNoise | kFaultSplit | kFaultFlood);
    const struct {
        std::vector<std::string> args;
        std::string expected;
    } rows[] = {
        {{"--fault", "noise,split", "--fault", "flood"},
         "faults " + noiseSplitFlood + " gps nmea 1"},
        {{"--fault", "noise,static"}, "bad value for --fault: noise,static"},
        {{"--fault", "noise,"}, "bad value for --fault: noise,"},
        {{"--talkers", "gnss", "--nmea", "4.0"}, "faults 0 gnss nmea 0"},
        {{"--nmea", "4.11"}, "--nmea needs --talkers gnss"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Parsed(row.args), row.expected);
    }
}

}  // namespace
}  // namespace pathlux::sim
