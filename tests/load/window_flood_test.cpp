// The window on the simulator's flood: every sentence sent reaches the core, and the window goes
// on answering its timers and its buttons while the flood lasts.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "tests/common/message_box_catcher.h"
#include "tests/common/qt_test_app.h"
#include "tests/load/load_window.h"
#include "tests/support/sim_process.h"

namespace pathlux {
namespace {

TEST(window_flood_test, EverySentenceIsDispatchedAndTheWindowKeepsAnswering) {
    testing::TestApp();
    testing::MessageBoxCatcher boxes;
    test::CountingMonitor dialog;
    dialog.Create();
    // About 4.7 MB. A slow clock: a flood is not held to it, and the window has no second to miss.
    constexpr int kSeconds = 10000;
    test::SimProcess sim({"--fault", "flood", "--count", std::to_string(kSeconds), "--speed",
                          "0.01", "--start", "2026-12-06T12:00:00", "--duration", "600"});
    ASSERT_TRUE(sim.WaitForDevice());
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
    // Queued behind whatever the port has posted, as a user's click would be.
    QMetaObject::invokeMethod(
        &dialog, [&] { QTest::mouseClick(dialog.GetDlgItem(res::kHotButton), Qt::LeftButton); },
        Qt::QueuedConnection);

    // The port is purged at opening, after the flood began: its first part may be gone. From
    // there on every second arrives, in order, to the last, and so do all their lines (the first
    // second seen may have come in part).
    constexpr int kFirst = 12 * 3600;
    const std::vector<int>& times = dialog.timesShown;
    ASSERT_TRUE(
        sim.WaitFor([&] { return !times.empty() && times.back() == kFirst + kSeconds - 1; }));
    ASSERT_TRUE(sim.WaitFor([&] { return sim.Sent("lines") >= 0; }));
    EXPECT_EQ(sim.Sent("drops"), 0);
    EXPECT_LT(times.front(), kFirst + 200) << "at most what the pseudo-terminal holds";
    for (std::size_t i = 1; i < times.size(); ++i) {
        ASSERT_EQ(times[i], times[i - 1] + 1) << "after " << i << " seconds";
    }
    const auto sent = static_cast<std::uint64_t>(sim.Sent("lines"));
    constexpr std::uint64_t kMaxLinesPerSecond = 7;  // GGA, GSA, RMC and two to four GSV
    EXPECT_LE(dialog.logLines, sent);
    EXPECT_GE(dialog.logLines + kMaxLinesPerSecond * (kSeconds - times.size() + 1), sent);
    EXPECT_EQ(dialog.GetDlgItemText(kFixField), "3D");
    EXPECT_TRUE(boxes.texts.isEmpty());
    // The click was handled, and the timer ticked, while most of the flood was still to come.
    EXPECT_GE(clickedAt, kUnderWay);
    EXPECT_LT(clickedAt, sent / 2);
    EXPECT_GE(
        std::count_if(ticksAt.begin(), ticksAt.end(),
                      [&](std::uint64_t at) { return at > kUnderWay && at < sent - kUnderWay; }),
        10);
}

}  // namespace
}  // namespace pathlux
