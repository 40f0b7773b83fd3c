#include "tools/sim/options.h"

#include <gtest/gtest.h>

#include "tools/sim/faults.h"

namespace pathlux::sim {
namespace {

// A fault list read wrong would leave the soak's line faults uninjected, and the soak passing
// for the wrong reason.
TEST(sim_options_test, FaultListsAddUpAndABadOneIsRefused) {
    SimOptions options;
    EXPECT_EQ(ParseOptions({"--fault", "noise,split", "--fault", "flood"}, options), "");
    EXPECT_EQ(options.faults, kFaultNoise | kFaultSplit | kFaultFlood);
    EXPECT_EQ(ParseOptions({"--fault", "noise,"}, options), "bad value for --fault: noise,");
}

}  // namespace
}  // namespace pathlux::sim
