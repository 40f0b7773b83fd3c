// The whole receive and command path on a simulated receiver: pathlux-sim on a pseudo-terminal,
// the serial port with its watcher, the notifications into the interpretation core, and a
// restart command written back through the port.

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

    // Handles what the watcher posted. The TTFF timer ticks once per second of receiver time
    // (each new RMC time), so the count compares with the simulator's own clock.
    void Pump() {
        while (const auto posted = queue.Take(std::chrono::milliseconds(5))) {
            ASSERT_EQ(posted->message, defaultComMessage);
            const std::uint32_t events = NotifiedEvents(posted->wParam);
            portLost = portLost || (events & CSerialEvents::kEventPortLost) != 0;
            core.OnSerialNotify(events, *this);
            const Text time = display.Field(kTimeField);
            if (time != lastTime) {
                lastTime = time;
                if (core.ttffCounting()) {
                    core.OnTimer(kTtffTimerId);
                }
            }
        }
    }

    test::PostQueue queue;
    CSerialWnd port;
    RecordingDisplay display;
    NmeaInterpreter core{display};
    Text lastTime;
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

    // Cold, as the button does it: the command, then the TTFF restart.
    const std::string cold = EncodeCommand(RestartSentence(kRestartCommands[0]));
    monitor.port.Write(cold.data(), static_cast<std::uint32_t>(cold.size()), nullptr, nullptr,
                       0xFFFFFFFF);
    monitor.core.RestartTtff();
    display.fields.erase(kVersionField);
    ASSERT_TRUE(sim.WaitFor([&] { return sim.Runs().size() == 1; }));
    EXPECT_EQ(sim.Runs()[0].kind, R"("cold")");

    // The version sentence comes back, the fix goes away, the count runs and stops at the fix,
    // at the simulator's own time to first fix.
    ASSERT_TRUE(sim.WaitFor([&] { return display.Field(kVersionField) == u"1.05"; }));
    ASSERT_TRUE(sim.WaitFor([&] { return display.Field(kFixField) == u"NA"; }));
    ASSERT_TRUE(sim.WaitFor([&] { return !monitor.core.ttffCounting(); }));
    ASSERT_TRUE(sim.WaitFor([&] { return sim.Runs()[0].after2d >= 0; }));
    EXPECT_NEAR(monitor.core.state().ttffSeconds, sim.Runs()[0].after2d, 1);
    EXPECT_FALSE(monitor.portLost);

    // The receiver goes away: the watcher says so, and the port closes cleanly.
    sim.Signal(SIGTERM);
    ASSERT_TRUE(sim.WaitFor([&] { return monitor.portLost; }));
    EXPECT_EQ(monitor.port.Close(), 0);
}

}  // namespace
}  // namespace pathlux
