// The window on the simulator's flood: every sentence sent reaches the core, and the window goes
// on answering while the flood lasts (how fast is bench/flood_bench's to measure).

#include <gtest/gtest.h>

#include "tests/common/message_box_catcher.h"
#include "tests/common/qt_test_app.h"
#include "tests/load/load_window.h"

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
    ASSERT_TRUE(dialog.OpenOn(sim));

    // Where the flood stood when a call queued behind whatever the port has posted, as a user's
    // click would be, was handled.
    constexpr std::uint64_t kUnderWay = 1000;
    ASSERT_TRUE(sim.WaitFor([&] { return dialog.logLines >= kUnderWay; }));
    std::uint64_t answeredAt = 0;
    QMetaObject::invokeMethod(
        &dialog, [&] { answeredAt = dialog.logLines; }, Qt::QueuedConnection);

    // The port is purged at opening, after the flood began: its first part may be gone. From
    // there on every second arrives, in order, to the last, and so do all their lines (the first
    // second seen may have come in part).
    constexpr int kFirst = 12 * 3600;
    ASSERT_TRUE(sim.WaitFor([&] { return dialog.lastShown == kFirst + kSeconds - 1; }));
    // The {"sent":{...}} report, whole: the only one that ends in "}}".
    ASSERT_TRUE(sim.WaitFor([&] { return sim.StderrHas("}}\n"); }));
    EXPECT_LT(dialog.firstShown, kFirst + 200) << "at most what the pseudo-terminal holds";
    EXPECT_EQ(dialog.skips, 0);
    const std::uint64_t sent = std::stoull(test::JsonValue(sim.stderrText, "sent.lines"));
    EXPECT_LE(dialog.logLines, sent);
    // Seven lines a second at most: GGA, GSA, RMC and two to four GSV.
    EXPECT_GE(dialog.logLines + 7 * (dialog.firstShown - kFirst + 1), sent);
    EXPECT_TRUE(boxes.texts.isEmpty());
    // The call was answered while most of the flood was still to come.
    EXPECT_GE(answeredAt, kUnderWay);
    EXPECT_LT(answeredAt, sent / 2);
}

}  // namespace
}  // namespace pathlux
