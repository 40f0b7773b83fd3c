#include "serial/notify_gate.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/comm.h"
#include "serial/serial_events.h"
#include "tests/support/post_queue.h"

namespace pathlux {
namespace {

constexpr std::uintptr_t kData = platform::EV_RXCHAR;
constexpr std::uintptr_t kTaken = 0;  // the window takes a notification off its queue

TEST(notify_gate_test, OneDataNotificationWaitsAtATime) {
    const struct {
        const char* legend;
        std::vector<std::uintptr_t> steps;
        std::size_t queued;
    } cases[] = {
        {"arrivals while one waits add nothing", {kData, kData, kData}, 1},
        {"once taken, the next arrival is posted", {kData, kData, kTaken, kData, kData}, 2},
        {"line errors always go through", {kData, (0x8 << 16) | kData, (0x8 << 16) | kData}, 3},
        {"so does a lost device", {kData, CSerialEvents::kEventPortLost}, 2},
        {"taken with none waiting changes nothing", {kTaken, kData, kData}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        test::PostQueue window;
        NotifyGate gate(window);
        for (const std::uintptr_t step : c.steps) {
            if (step == kTaken) {
                gate.Taken();
            } else {
                EXPECT_TRUE(gate.PostMessage(defaultComMessage, step, 7));
            }
        }
        EXPECT_EQ(window.Size(), c.queued);
    }
}

}  // namespace
}  // namespace pathlux
