// The window left running on a bad link: the simulator floods with every line fault at its
// fastest clock (so that split sentences pause only briefly and unread seconds are dropped), and is
// unplugged and plugged in again and again. Nothing may crash, leak, grow or freeze.
// PATHLUX_SOAK_SECONDS sets the length (a short run by default), PATHLUX_SOAK_CYCLES the unplug
// cycles (60 by default). The figures go to standard output.

#include <gtest/gtest.h>
#include <signal.h>

#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

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

struct Sample {
    long rssKib;
    int fds;
    int threads;
};

constexpr int kCommandButtons[] = {res::kColdButton, res::kWarmButton, res::kHotButton,
                                   res::kFactoryButton, res::kNmeaButton};

TEST(window_soak_test, FaultsFloodAndUnplugsLeaveNoTrace) {
    const int seconds = FromEnvironment("PATHLUX_SOAK_SECONDS", 30);
    const int cycles = FromEnvironment("PATHLUX_SOAK_CYCLES", 60);
    testing::TestApp();
    test::MessageBoxCatcher boxes;
    test::CountingMonitor dialog;
    dialog.recordTimes = false;
    dialog.Create();
    dialog.show();  // painted as a user would see it
    const std::string link = ::testing::TempDir() + "pathlux-soak-" + std::to_string(getpid());
    test::SimProcess sim({"--fault", "noise,control,split,checksum,missing,long,flood",
                          "--fault-percent", "10", "--speed", "1000", "--link", link, "--duration",
                          std::to_string(seconds + 300)});
    ASSERT_TRUE(sim.WaitFor([&] { return sim.stdoutText.find('\n') != std::string::npos; }));
    sim.SetPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); });
    const int threadsBefore = test::BaselineThreadCount();
    dialog.OpenOn(8, link);
    ASSERT_EQ(dialog.portOpen(), 1);

    const auto sample = [&] {
        return Sample{test::ResidentKib(), test::CountOpenFds(),
                      test::SettledThreadCount(threadsBefore + 1)};
    };
    const Clock::time_point start = Clock::now();
    const auto interval = std::chrono::milliseconds(seconds * 1000 / cycles);
    // The first fifth is warm-up: caches, fonts and the log's document reach their size.
    const int warmUpCycles = std::max(1, cycles / 5);
    Sample warm{};
    Sample peak{};
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE(cycle);
        // Runs on the receiver until this cycle's time, then checks that lines still come.
        const Clock::time_point until = start + interval * (cycle + 1);
        const std::uint64_t before = dialog.logLines;
        sim.WaitFor([&] { return Clock::now() >= until; });
        ASSERT_TRUE(sim.WaitFor([&] { return dialog.logLines > before; }));
        ASSERT_EQ(dialog.portOpen(), 1);

        const Sample now = sample();
        if (cycle == warmUpCycles) {
            warm = now;
        }
        if (cycle >= warmUpCycles) {
            EXPECT_EQ(now.fds, warm.fds) << "open descriptors";
            EXPECT_EQ(now.threads, warm.threads) << "threads";
            peak.rssKib = std::max(peak.rssKib, now.rssKib);
        }
        if (cycle % 10 == 0) {
            std::printf("soak: cycle %d at %.0f s: resident %ld KiB\n", cycle,
                        std::chrono::duration<double>(Clock::now() - start).count(), now.rssKib);
        }

        // Unplugged: the window notices, says so, and is back to closed.
        const std::size_t reports = sim.stderrText.size();
        const qsizetype boxesBefore = boxes.texts.size();
        sim.Signal(SIGUSR1);
        ASSERT_TRUE(sim.WaitFor([&] { return dialog.portOpen() == 0; }));
        ASSERT_TRUE(sim.WaitFor([&] { return boxes.texts.size() == boxesBefore + 1; }));
        EXPECT_EQ(boxes.texts.back(), "COM8: device lost, port closed.");
        EXPECT_EQ(dialog.GetDlgItemText(res::kOpenButton), "Open");
        for (const int id : kCommandButtons) {
            EXPECT_FALSE(dialog.GetDlgItem(id)->isEnabled());
        }
        // Plugged in again: opened as the user would.
        ASSERT_TRUE(sim.WaitFor(
            [&] { return sim.stderrText.find(R"({"replugged":)", reports) != std::string::npos; }));
        QTest::mouseClick(dialog.GetDlgItem(res::kOpenButton), Qt::LeftButton);
        ASSERT_EQ(dialog.portOpen(), 1);
    }
    const Sample last = sample();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    QTest::mouseClick(dialog.GetDlgItem(res::kOpenButton), Qt::LeftButton);
    EXPECT_EQ(dialog.portOpen(), 0);
    EXPECT_EQ(test::SettledThreadCount(last.threads - 1), last.threads - 1) << "the watcher ends";
    sim.Signal(SIGTERM);
    ASSERT_TRUE(sim.WaitFor([&] { return sim.HasExited(); }));
    EXPECT_EQ(sim.ExitCode(), 0);
    const std::size_t sent = sim.stderrText.rfind(R"({"sent":)");

    const long growth = last.rssKib - warm.rssKib;
    std::printf("soak: %.0f s, %d unplug cycles, %llu log lines, %d message boxes\n", elapsed,
                cycles, static_cast<unsigned long long>(dialog.logLines),
                static_cast<int>(boxes.texts.size()));
    std::printf("soak: simulator %s",
                sent == std::string::npos ? "-\n" : sim.stderrText.substr(sent).c_str());
    std::printf(
        "soak: resident %ld KiB after warm-up, %ld KiB at the end (%+ld KiB), peak %ld KiB\n",
        warm.rssKib, last.rssKib, growth, peak.rssKib);
    std::printf(
        "soak: %d descriptors and %d threads while open, at warm-up and at the end: %d, %d\n",
        warm.fds, warm.threads, last.fds, last.threads);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Flat: well under what one more log document, image or port would take, many times over.
    EXPECT_LT(growth, 2048) << "KiB after warm-up";
#endif
}

}  // namespace
}  // namespace pathlux
