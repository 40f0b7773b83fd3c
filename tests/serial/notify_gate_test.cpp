#include "serial/notify_gate.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/comm.h"
#include "serial/serial_events.h"
#include "tests/support/post_queue.h"

namespace pathlux {
namespace {

using platform::EV_ERR;
using platform::EV_RXCHAR;

constexpr std::uintptr_t kData = EV_RXCHAR;
constexpr std::uintptr_t kDataWithErrors = (std::uintptr_t{0x8} << 16) | EV_RXCHAR;
constexpr std::uintptr_t kLost = CSerialEvents::kEventPortLost;

TEST(notify_gate_test, OneDataNotificationWaitsAtATime) {
    // 'T' stands for the window taking a notification off its queue.
    const struct {
        const char* legend;
        std::vector<std::uintptr_t> steps;  // 0 for 'T'
        std::size_t queued;
    } cases[] = {
        {"the first arrival is posted", {kData}, 1},
        {"arrivals while one waits add nothing", {kData, kData, kData}, 1},
        {"once taken, the next arrival is posted", {kData, kData, 0, kData, kData}, 2},
        {"line errors always go through", {kData, kDataWithErrors, kDataWithErrors}, 3},
        {"so does a lost device", {kData, kLost}, 2},
        {"other events go through", {kData, EV_ERR, EV_ERR}, 3},
        {"taken with none waiting changes nothing", {0, kData, kData}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        test::PostQueue window;
        NotifyGate gate(window);
        for (const std::uintptr_t step : c.steps) {
            if (step == 0) {
                gate.Taken();
            } else {
                EXPECT_TRUE(gate.PostMessage(defaultComMessage, step, 7));
            }
        }
        EXPECT_EQ(window.Size(), c.queued);
        const auto first = window.Take(std::chrono::milliseconds(0));
        ASSERT_TRUE(first.has_value());
        EXPECT_EQ(first->message, defaultComMessage);
        EXPECT_EQ(first->lParam, 7);
    }
}

// A window that reads whatever is waiting each time it takes a notification: an arrival after
// its last read always leaves a notification for it, whatever the two threads' timing.
TEST(notify_gate_test, NoArrivalIsLeftWithoutANotification) {
    test::PostQueue window;
    NotifyGate gate(window);
    std::atomic<int> arrived{0};
    constexpr int kArrivals = 20000;
    std::thread watcher([&] {
        for (int i = 0; i < kArrivals; ++i) {
            arrived.fetch_add(1);
            gate.PostMessage(defaultComMessage, kData, 0);
        }
    });
    int read = 0;
    while (read < kArrivals) {
        if (!window.Take(std::chrono::seconds(10))) {
            break;
        }
        gate.Taken();
        read = arrived.load();
    }
    watcher.join();
    EXPECT_EQ(read, kArrivals);
}

}  // namespace
}  // namespace pathlux
