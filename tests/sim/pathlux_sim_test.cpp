// Runs the pathlux-sim program itself on a real pseudo-terminal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/support/sim_process.h"

namespace pathlux::sim {
namespace {

// Every line the monitor writes gets its verdict, and only an accepted restart is obeyed.
// (Unplugging and the link are shown through the monitor, by the soak and the TTFF tool's tests.)
TEST(pathlux_sim_test, AnswersEveryLineAndObeysOnlyWhatItAccepts) {
    test::SimProcess sim({"--speed", "20", "--duration", "60"});
    ASSERT_TRUE(sim.WaitForDevice());
    const int terminal = open(sim.FirstLine().c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    const std::string lines = "hello\r\n$PNMRX111,COLD*41\r\n$PNMRX111,COLD*40\r\n";
    EXPECT_EQ(write(terminal, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    ASSERT_TRUE(sim.WaitFor([&] {
        return !sim.Runs().empty() &&
               sim.StderrHas(R"({"rx":"$PNMRX111,COLD*40","accepted":true})");
    }));
    EXPECT_TRUE(sim.StderrHas(R"({"rx":"hello","accepted":false,"reason":"unknown"})"));
    EXPECT_TRUE(
        sim.StderrHas(R"({"rx":"$PNMRX111,COLD*41","accepted":false,"reason":"bad checksum"})"));
    EXPECT_EQ(sim.Runs().size(), 1u) << "a line refused is not obeyed";
    close(terminal);
}

}  // namespace
}  // namespace pathlux::sim
