#include "tools/sim/signals.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

namespace pathlux::sim {
namespace {

// A handler runs between any two calls of the run loop, so it must leave errno as it found it,
// even when its own write fails.
TEST(sim_signals_test, HandlerKeepsErrnoWhenTheWakePipeIsFull) {
    Signals signals;
    ASSERT_EQ(signals.Catch(), "");
    // The smallest pipe: one page.
    const int pipeSize = fcntl(signals.wakeFd(), F_SETPIPE_SZ, 1);
    ASSERT_GT(pipeSize, 0);
    for (int i = 0; i < pipeSize; ++i) {
        std::raise(SIGUSR1);
    }
    errno = EIO;
    std::raise(SIGUSR1);
    EXPECT_EQ(errno, EIO);
    EXPECT_TRUE(signals.TakeReplugRequest()) << "the handler ran";
}

}  // namespace
}  // namespace pathlux::sim
