// The window on the simulator's flood: every sentence sent reaches the core, and the window goes
// on answering its timers and its buttons while the flood lasts.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "tests/common/qt_test_app.h"
#include "tests/load/load_window.h"
#include "tests/support/sim_process.h"

namespace pathlux {
namespace {

// The number after "name": in the simulator's {"sent":{...}} report, or -1.
long long SentField(const std::string& stderrText, const std::string& name) {
    const std::size_t sent = stderrText.find(R"({"sent":{)");
    const std::size_t at = stderrText.find('"' + name + "\":", sent);
    if (sent == std::string::npos || at == std::string::npos) {
        return -1;
    }
    return std::stoll(stderrText.substr(at + name.size() + 3));
}

TEST(window_flood_test, EverySentenceIsDispatchedAndTheWindowKeepsAnswering) {
    testing::TestApp();
    test::MessageBoxCatcher boxes;
    test::CountingMonitor dialog;
    dialog.Create();
    // About 4.7 MB. A slow clock: a flood is not held to it, and the window has no second to miss.
    constexpr int kSeconds = 10000;
    test::SimProcess sim({"--fault", "flood", "--count", std::to_string(kSeconds), "--speed",
                          "0.01", "--start", "2026-12-06T12:00:00", "--duration", "600"});
    ASSERT_TRUE(sim.WaitFor([&] { return sim.stdoutText.find('\n') != std::string::npos; }));
    sim.SetPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); });
    dialog.OpenOn(8, sim.FirstLine());
    ASSERT_EQ(dialog.portOpen(), 1);

    // Where the flood stood at each tick of a fast timer, and when a click was handled.
    std::vector<std::uint64_t> ticksAt;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ticksAt.push_back(dialog.logLines); });
    ticker.start(10);
    std::uint64_t clickedAt = 0;
    QObject::connect(qobject_cast<QPushButton*>(dialog.GetDlgItem(res::kHotButton)),
                     &QPushButton::clicked, [&] { clickedAt = dialog.logLines; });
    constexpr std::uint64_t kUnderWay = 1000;
    ASSERT_TRUE(sim.WaitFor([&] { return dialog.logLines >= kUnderWay; }));
    // The click is queued behind whatever the port has posted, as a user's click would be.
    QMetaObject::invokeMethod(
        &dialog, [&] { QTest::mouseClick(dialog.GetDlgItem(res::kHotButton), Qt::LeftButton); },
        Qt::QueuedConnection);

    // The port is purged at opening, and the flood began before: a first part of it may be gone
    // before the window reads. From there on every second arrives, in order, to the last.
    constexpr int kFirst = 12 * 3600;
    constexpr int kLast = kFirst + kSeconds - 1;  // 14:46:39
    ASSERT_TRUE(sim.WaitFor([&] {
        return !dialog.timesShown.empty() && dialog.timesShown.back() == kLast;
    })) << dialog.logLines;
    ASSERT_TRUE(sim.WaitFor([&] { return SentField(sim.stderrText, "lines") >= 0; }));
    const auto sent = static_cast<std::uint64_t>(SentField(sim.stderrText, "lines"));
    EXPECT_EQ(SentField(sim.stderrText, "drops"), 0);
    const std::vector<int>& times = dialog.timesShown;
    EXPECT_LT(times.front(), kFirst + 200) << "at most what the pseudo-terminal holds";
    for (std::size_t i = 1; i < times.size(); ++i) {
        ASSERT_EQ(times[i], times[i - 1] + 1) << "after " << i << " seconds";
    }
    // So are all the lines of those seconds (GGA, GSA, RMC and two to four GSV each); the first
    // second seen may have come in part.
    constexpr std::uint64_t kMaxLinesPerSecond = 7;
    const auto missed = static_cast<std::uint64_t>(kSeconds) - times.size();
    EXPECT_LE(dialog.logLines, sent);
    EXPECT_GE(dialog.logLines + kMaxLinesPerSecond * (missed + 1), sent);
    ticker.stop();
    EXPECT_EQ(dialog.GetDlgItemText(kFixField), "3D");
    EXPECT_TRUE(boxes.texts.isEmpty());
    // The click was handled while most of the flood was still to come.
    EXPECT_GE(clickedAt, kUnderWay);
    EXPECT_LT(clickedAt, sent / 2);
    // The timer kept ticking in the middle of the flood.
    const auto during = std::count_if(ticksAt.begin(), ticksAt.end(), [&](std::uint64_t at) {
        return at > kUnderWay && at < sent - kUnderWay;
    });
    EXPECT_GE(during, 10) << "ticks: " << ticksAt.size();

    QTest::mouseClick(dialog.GetDlgItem(res::kOpenButton), Qt::LeftButton);
    EXPECT_EQ(dialog.portOpen(), 0);
}

}  // namespace
}  // namespace pathlux
