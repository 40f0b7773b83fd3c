// The window left running on a bad link: the simulator floods with every line fault at its
// fastest clock (so that split sentences pause only briefly and unread seconds are dropped), and is
// unplugged and plugged in again and again. Nothing may crash, leak, grow or freeze.
// PATHLUX_SOAK_SECONDS sets the length (a short run by default), PATHLUX_SOAK_CYCLES the unplug
// cycles (60 by default).

#include <gtest/gtest.h>
#include <signal.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <fstream>

#include "tests/common/message_box_catcher.h"
#include "tests/common/qt_test_app.h"
#include "tests/load/load_window.h"
#include "tests/support/pty.h"

namespace pathlux {
namespace {

using Clock = std::chrono::steady_clock;

int FromEnvironment(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

// Resident memory of this process in KiB, 0 when unknown.
long ResidentKib() {
    long pages = 0;
    long resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * 4;
}

TEST(window_soak_test, FaultsFloodAndUnplugsLeaveNoTrace) {
    const int seconds = FromEnvironment("PATHLUX_SOAK_SECONDS", 30);
    const int cycles = FromEnvironment("PATHLUX_SOAK_CYCLES", 60);
    testing::TestApp();
    testing::MessageBoxCatcher boxes;
    test::CountingMonitor dialog;
    dialog.Create();
    dialog.show();  // painted as a user would see it
    const std::string link = ::testing::TempDir() + "pathlux-soak-" + std::to_string(getpid());
    test::SimProcess sim({"--fault", "noise,control,split,checksum,missing,long,flood",
                          "--fault-percent", "10", "--speed", "1000", "--link", link, "--duration",
                          std::to_string(seconds + 300)});
    const int threadsBefore = test::BaselineThreadCount();
    ASSERT_TRUE(dialog.OpenOn(sim, link));

    const Clock::time_point start = Clock::now();
    std::array<long, 3> warm{};  // open descriptors, threads and resident KiB after the warm-up
    std::array<long, 3> now{};
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE(cycle);
        // Runs on the receiver for this cycle's share of the time, and lines still come.
        const std::uint64_t before = dialog.logLines;
        const auto until = start + std::chrono::milliseconds(seconds * 1000) * (cycle + 1) / cycles;
        ASSERT_TRUE(sim.WaitFor([&] { return Clock::now() >= until && dialog.logLines > before; }));
        now = {test::CountOpenFds(), test::SettledThreadCount(threadsBefore + 1), ResidentKib()};
        // The first fifth is warm-up: caches, fonts and the log's document reach their size.
        warm = cycle == std::max(1, cycles / 5) ? now : warm;

        // Unplugged: the window notices, says so once and closes; plugged in again, opened by a
        // click.
        const std::size_t reports = sim.stderrText.size();
        sim.Signal(SIGUSR1);
        ASSERT_TRUE(sim.WaitFor([&] {
            return dialog.portOpen() == 0 && boxes.texts.size() == cycle + 1 &&
                   sim.stderrText.find(R"({"replugged":)", reports) != std::string::npos;
        }));
        QTest::mouseClick(dialog.GetDlgItem(res::kOpenButton), Qt::LeftButton);
        ASSERT_EQ(dialog.portOpen(), 1);
    }
    EXPECT_EQ(now[0], warm[0]) << "open descriptors";
    EXPECT_EQ(now[1], warm[1]) << "threads";
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Flat: well under what one more log document, image or port would take, many times over.
    EXPECT_LT(now[2] - warm[2], 2048) << "KiB after warm-up";
#endif
}

}  // namespace
}  // namespace pathlux
