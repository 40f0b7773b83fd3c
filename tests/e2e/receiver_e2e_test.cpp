// The whole receive and command path on a simulated receiver: pathlux-sim on a pseudo-terminal,
// the serial port with its watcher, the notifications into the interpretation core, and a
// restart command written back through the port while the watcher waits on it.

#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "control/commands.h"
#include "nmea/nmea.h"
#include "serial/serial_events.h"
#include "tests/support/post_queue.h"
#include "tests/support/recording_display.h"
#include "tests/support/sim_process.h"

namespace pathlux {
namespace {

using testing::RecordingDisplay;

// The window's side of the link: the port, the notifications it posts and the core they feed.
// Members go in reverse order: the port, its watcher with it, before the queue it posts to.
class Monitor : public ByteSource {
  public:
    std::size_t Read(std::uint8_t* buffer, std::size_t max) override {
        std::uint32_t count = 0;
        port.Read(buffer, static_cast<std::uint32_t>(max), &count, nullptr, 0xFFFFFFFF);
        return count;
    }

    // Handles what the watcher posted.
    void Pump() {
        while (const auto posted = queue.Take(std::chrono::milliseconds(5))) {
            ASSERT_EQ(posted->message, defaultComMessage);
            const std::uint32_t events = NotifiedEvents(posted->wParam);
            portLost = portLost || (events & CSerialEvents::kEventPortLost) != 0;
            core.OnSerialNotify(events, *this);
        }
    }

    test::PostQueue queue;
    CSerialWnd port;
    RecordingDisplay display;
    NmeaInterpreter core{display};
    bool portLost = false;
};

TEST(receiver_e2e_test, FixThenColdRestartThroughTheSerialPort) {
    test::SimProcess sim(
        {"--speed", "40", "--seed", "7", "--start", "2026-12-06T12:00:00", "--duration", "120"});
    ASSERT_TRUE(sim.WaitForDevice());
    const std::string device = sim.FirstLine();
    const std::u16string name(device.begin(), device.end());
    Monitor monitor;
    ASSERT_EQ(monitor.port.OpenWithWatcher(name, &monitor.queue, 0, 0, 0, 0), 0);
    sim.SetPump([&] { monitor.Pump(); });
    RecordingDisplay& display = monitor.display;

    // The fix as the simulator puts it out.
    ASSERT_TRUE(sim.WaitFor([&] { return display.Field(kFixField) == u"3D"; }));
    EXPECT_GT(display.Count("sky"), 0);

    // Cold, written as the button does while the watcher waits on the same port; the
    // receiver's version sentence comes back. (The count to the fix is the TTFF tests'.)
    const std::string cold = EncodeCommand(RestartSentence(kRestartCommands[0]));
    monitor.port.Write(cold.data(), static_cast<std::uint32_t>(cold.size()), nullptr, nullptr,
                       0xFFFFFFFF);
    display.fields.erase(kVersionField);
    ASSERT_TRUE(sim.WaitFor(
        [&] { return display.Field(kVersionField) == u"1.05" && sim.Runs().size() == 1; }));
    EXPECT_EQ(sim.Runs()[0].kind, R"("cold")");
    EXPECT_FALSE(monitor.portLost);

    // The receiver goes away: the watcher says so, and the port closes cleanly.
    sim.Signal(SIGTERM);
    ASSERT_TRUE(sim.WaitFor([&] { return monitor.portLost; }));
    EXPECT_EQ(monitor.port.Close(), 0);
}

}  // namespace
}  // namespace pathlux
