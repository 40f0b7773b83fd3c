// The window left running on a bad link: the simulator floods with every line fault at its
// fastest clock (so that split sentences pause only briefly and unread seconds are dropped), and is
// unplugged and plugged in again and again. Nothing may crash, leak, grow or freeze.
// PATHLUX_SOAK_SECONDS sets the length (a short run by default), PATHLUX_SOAK_CYCLES the unplug
// cycles (60 by default). The figures go to standard output.

#include <gtest/gtest.h>
#include <signal.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "tests/common/message_box_catcher.h"
#include "tests/common/qt_test_app.h"
#include "tests/load/load_window.h"
#include "tests/support/pty.h"
#include "tests/support/sim_process.h"

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
    dialog.recordTimes = false;
    dialog.Create();
    dialog.show();  // painted as a user would see it
    const std::string link = ::testing::TempDir() + "pathlux-soak-" + std::to_string(getpid());
    test::SimProcess sim({"--fault", "noise,control,split,checksum,missing,long,flood",
                          "--fault-percent", "10", "--speed", "1000", "--link", link, "--duration",
                          std::to_string(seconds + 300)});
    ASSERT_TRUE(sim.WaitForDevice());
    sim.SetPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); });
    const int threadsBefore = test::BaselineThreadCount();
    dialog.OpenOn(8, link);
    ASSERT_EQ(dialog.portOpen(), 1);

    const Clock::time_point start = Clock::now();
    // The first fifth is warm-up: caches, fonts and the log's document reach their size.
    const int warmUpCycles = std::max(1, cycles / 5);
    long warmKib = 0;
    std::array<int, 2> warm{};  // open descriptors and threads
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE(cycle);
        // Runs on the receiver until this cycle's time, then checks that lines still come.
        const Clock::time_point until =
            start + std::chrono::milliseconds(seconds * 1000) * (cycle + 1) / cycles;
        const std::uint64_t before = dialog.logLines;
        sim.WaitFor([&] { return Clock::now() >= until; });
        ASSERT_TRUE(sim.WaitFor([&] { return dialog.logLines > before; }));
        const std::array<int, 2> now = {test::CountOpenFds(),
                                        test::SettledThreadCount(threadsBefore + 1)};
        if (cycle == warmUpCycles) {
            warmKib = ResidentKib();
            warm = now;
        }
        EXPECT_TRUE(cycle < warmUpCycles || now == warm)
            << "descriptors and threads " << now[0] << " " << now[1];

        // Unplugged: the window notices, says so and closes; plugged in again, opened by a click.
        const std::size_t reports = sim.stderrText.size();
        const qsizetype boxesBefore = boxes.texts.size();
        sim.Signal(SIGUSR1);
        ASSERT_TRUE(sim.WaitFor([&] { return dialog.portOpen() == 0; }));
        ASSERT_TRUE(sim.WaitFor([&] { return boxes.texts.size() == boxesBefore + 1; }));
        EXPECT_EQ(dialog.GetDlgItemText(res::kOpenButton), "Open");
        ASSERT_TRUE(sim.WaitFor(
            [&] { return sim.stderrText.find(R"({"replugged":)", reports) != std::string::npos; }));
        QTest::mouseClick(dialog.GetDlgItem(res::kOpenButton), Qt::LeftButton);
        ASSERT_EQ(dialog.portOpen(), 1);
    }
    const long growth = ResidentKib() - warmKib;
    const int threads = test::SettledThreadCount(threadsBefore + 1);
    QTest::mouseClick(dialog.GetDlgItem(res::kOpenButton), Qt::LeftButton);
    EXPECT_EQ(test::SettledThreadCount(threads - 1), threads - 1) << "the watcher ends";
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.WaitForExit(), 0);
    std::printf(
        "soak: %d s, %d unplug cycles, %llu log lines, resident %ld KiB after warm-up, "
        "%+ld KiB at the end\n",
        seconds, cycles, static_cast<unsigned long long>(dialog.logLines), warmKib, growth);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Flat: well under what one more log document, image or port would take, many times over.
    EXPECT_LT(growth, 2048) << "KiB after warm-up";
#endif
}

}  // namespace
}  // namespace pathlux
