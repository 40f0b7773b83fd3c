#include "serial/serial_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <thread>

#include "platform/errors.h"
#include "tests/support/drain.h"
#include "tests/support/faulty_os.h"
#include "tests/support/post_queue.h"
#include "tests/support/pty.h"

namespace pathlux {
namespace {

using namespace std::chrono_literals;
using platform::EV_ERR;
using platform::EV_RXCHAR;
using platform::INFINITE;
using test::FaultyOs;

constexpr std::intptr_t kValue = 0x5A5A;

// The receiver (pty master), the window (a queue) and the port with its watcher.
struct Watched {
    test::Pty pty;
    test::PostQueue window;
    CSerialWnd port;
    ErrorCode Open(std::uint32_t message = 0) {
        return port.OpenWithWatcher(pty.name(), &window, message, kValue, 2048, 2048);
    }
};

TEST(serial_events_test, posts_one_notification_per_arrival) {
    for (const std::uint32_t message : {0u, 0xC3A0u}) {
        SCOPED_TRACE(message == 0 ? "message 0: the registered one" : "the opener's own message");
        Watched w;
        ASSERT_EQ(w.Open(message), 0);
        w.pty.Send("$GPGGA,1");
        const auto first = w.window.Take();
        ASSERT_TRUE(first);
        // Message 0 stands for the one registered by name, before main.
        EXPECT_EQ(first->message, message != 0 ? message : defaultComMessage);
        EXPECT_EQ(defaultComMessage, platform::RegisterWindowMessage("CSerialWnd_DefaultComMsg"));
        EXPECT_EQ(first->wParam, EV_RXCHAR);
        EXPECT_EQ(first->lParam, kValue);

        // New bytes notify again although the first ones are still unread.
        w.pty.Send("23519\r\n");
        const auto second = w.window.Take();
        ASSERT_TRUE(second);
        EXPECT_EQ(second->wParam, EV_RXCHAR);
        EXPECT_EQ(test::Drain(w.port), "$GPGGA,123519\r\n");
        EXPECT_EQ(w.port.Close(), 0);
        EXPECT_EQ(w.window.Size(), 0u);
    }
}

// Voluntary context switches (how often they went to sleep) summed over the threads, taken once
// all of them are asleep: a thread that has just posted is still on its way back into its wait.
long SleepsOnceAsleep(const std::set<std::string>& threads) {
    for (int i = 0; i < 5000; ++i) {
        long total = 0;
        bool asleep = true;
        for (const std::string& id : threads) {
            std::ifstream status("/proc/self/task/" + id + "/status");
            for (std::string line; std::getline(status, line);) {
                if (line.rfind("State:", 0) == 0) {
                    asleep = asleep && line.rfind("State:\tS", 0) == 0;
                }
                if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                    total += std::stol(line.substr(line.find(':') + 1));
                }
            }
        }
        if (asleep) {
            return total;
        }
        std::this_thread::sleep_for(1ms);
    }
    return -1;
}

TEST(serial_events_test, unread_bytes_do_not_notify_again_and_idle_costs_no_wake_ups) {
    Watched w;
    test::BaselineThreadCount();  // a sanitizer's helper thread is not the watcher
    const auto threads = [] {
        std::set<std::string> ids;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
            ids.insert(entry.path().filename().string());
        }
        return ids;
    };
    const std::set<std::string> before = threads();
    ASSERT_EQ(w.Open(), 0);
    std::set<std::string> watcher;
    std::ranges::set_difference(threads(), before, std::inserter(watcher, watcher.end()));
    ASSERT_FALSE(watcher.empty());
    w.pty.Send("$GPRMC");
    ASSERT_TRUE(w.window.Take());
    const long sleeps = SleepsOnceAsleep(watcher);
    ASSERT_GE(sleeps, 0);
    // Counted over a second: the bytes sit unread and the line is quiet.
    EXPECT_FALSE(w.window.Take(1s));
    EXPECT_EQ(SleepsOnceAsleep(watcher), sleeps) << "the watcher slept through the quiet second";
}

TEST(serial_events_test, line_errors_ride_in_the_high_bits_once) {
    FaultyOs os;
    platform::ScopedOs scoped(os);
    serial_icounter_struct counters{};
    os.SetCounters(counters);
    Watched w;
    ASSERT_EQ(w.Open(), 0);
    counters.frame = 1;
    os.SetCounters(counters);
    w.pty.Send("\x80");
    const auto withError = w.window.Take();
    ASSERT_TRUE(withError);
    EXPECT_EQ(NotifiedEvents(withError->wParam), EV_RXCHAR | EV_ERR);
    EXPECT_EQ(NotifiedLineErrors(withError->wParam), platform::CE_FRAME);
    w.pty.Send("$");
    const auto clean = w.window.Take();
    ASSERT_TRUE(clean);
    EXPECT_EQ(clean->wParam, EV_RXCHAR) << "already reported";
}

// Signals the stop request right after a port-event wait completed with an event, as a Close
// arriving at that moment would.
class StopAtSecondWait : public CSerialWnd {
  public:
    platform::Handle stopped = platform::CreateEvent();
    ~StopAtSecondWait() override {
        Close();
        platform::CloseHandle(stopped);
    }
    ErrorCode WaitForEvent(Overlapped* record, std::uint32_t timeoutMs) override {
        const ErrorCode result = CSerialWnd::WaitForEvent(record, timeoutMs);
        if (++waits_ == 2) {
            platform::SetEvent(stopEvent_);
            platform::SetEvent(stopped);
        }
        return result;
    }

  private:
    int waits_ = 0;
};

TEST(serial_events_test, stop_wins_over_a_pending_event) {
    test::Pty pty;
    test::PostQueue window;
    StopAtSecondWait port;
    pty.Send("a");  // completes the first wait at once
    ASSERT_EQ(port.OpenWithWatcher(pty.name(), &window, 0, kValue, 0, 0), 0);
    ASSERT_TRUE(window.Take());
    pty.Send("b");  // completes the second wait, which then finds the stop request too
    ASSERT_EQ(platform::WaitForSingleObject(port.stopped, INFINITE), platform::WAIT_OBJECT_0);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_EQ(window.Size(), 0u) << "the event pending with the stop was not posted";
}

TEST(serial_events_test, close_on_a_quiet_line_and_destruction_stop_the_watcher) {
    Watched w;
    const int threadsBefore = test::BaselineThreadCount();
    ASSERT_EQ(w.Open(), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(w.port.Close(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(CSerialEvents::kStopWaitMs));
    EXPECT_FALSE(w.port.isOpen());
    EXPECT_EQ(test::SettledThreadCount(threadsBefore), threadsBefore);
    {
        CSerialWnd destroyed;
        ASSERT_EQ(destroyed.OpenWithWatcher(w.pty.name(), &w.window, 0, kValue, 0, 0), 0);
    }
    EXPECT_EQ(test::SettledThreadCount(threadsBefore), threadsBefore) << "destruction stops it";
    EXPECT_EQ(CSerialPort::ProbePort(w.pty.name()), CSerialPort::kProbeAvailable);
}

// A window whose queue is slow to take a post: the watcher is still posting when Close's bounded
// wait runs out.
class SlowWindow : public platform::PostTarget {
  public:
    platform::Handle entered = platform::CreateEvent();
    std::atomic<bool> finished{false};
    ~SlowWindow() override { platform::CloseHandle(entered); }
    bool PostMessage(std::uint32_t, std::uintptr_t, std::intptr_t) override {
        platform::SetEvent(entered);
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * CSerialEvents::kStopWaitMs));
        finished = true;
        return true;
    }
};

TEST(serial_events_test, close_waits_for_a_watcher_inside_a_post) {
    test::Pty pty;
    SlowWindow window;
    CSerialWnd port;
    ASSERT_EQ(port.OpenWithWatcher(pty.name(), &window, 0, kValue, 0, 0), 0);
    pty.Send("$");
    ASSERT_EQ(platform::WaitForSingleObject(window.entered, INFINITE), platform::WAIT_OBJECT_0);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_TRUE(window.finished) << "nothing was released under the posting watcher";
}

TEST(serial_events_test, hang_up_ends_the_watcher_and_tells_the_window_once) {
    Watched w;
    const int threadsBefore = test::BaselineThreadCount();
    ASSERT_EQ(w.Open(), 0);
    w.pty.CloseMaster();
    const auto lost = w.window.Take();
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->wParam, CSerialEvents::kEventPortLost);
    EXPECT_EQ(lost->lParam, kValue);
    // The watcher is gone, so it spends nothing, and it posts nothing more.
    EXPECT_EQ(test::SettledThreadCount(threadsBefore), threadsBefore);
    EXPECT_EQ(w.window.Size(), 0u);
    EXPECT_EQ(w.port.Close(), 0);
}

TEST(serial_events_test, failed_opens_and_open_close_cycles_leave_nothing_behind) {
    const struct {
        const char* legend;
        bool missingDevice;
        FaultyOs::Call call;
        int errnum;
        int skip;
        ErrorCode expected;
    } rows[] = {
        {"missing device", true, FaultyOs::Call::kOpen, 0, 0, 2},
        {"thread cannot be made", false, FaultyOs::Call::kThreadCreate, EAGAIN, 0, 8},
        {"default setting fails", false, FaultyOs::Call::kTcSetAttr, EIO, 1, 31},
    };
    Watched w;
    const int fds = test::CountOpenFds();
    const int threads = test::BaselineThreadCount();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        FaultyOs os;
        platform::ScopedOs scoped(os);
        os.Fail(row.call, row.errnum, row.skip);
        const std::u16string name = row.missingDevice ? u"/dev/pathlux-none" : w.pty.name();
        EXPECT_EQ(w.port.OpenWithWatcher(name, &w.window, 0, kValue, 0, 0), row.expected);
        EXPECT_EQ(w.port.lastError(), row.expected);
        EXPECT_FALSE(w.port.isOpen());
        EXPECT_EQ(test::CountOpenFds(), fds);
        EXPECT_EQ(test::CountThreads(), threads);
    }
    for (int cycle = 0; cycle < 50; ++cycle) {
        ASSERT_EQ(w.port.OpenWithWatcher(w.pty.name(), &w.window, 0, cycle, 0, 0), 0) << cycle;
        if (cycle % 10 == 0) {
            // A fresh watcher each time: this one reports, with this cycle's value.
            w.pty.Send("$");
            const auto posted = w.window.Take();
            ASSERT_TRUE(posted);
            EXPECT_EQ(posted->lParam, cycle);
        }
        ASSERT_EQ(w.port.Close(), 0);
    }
    EXPECT_EQ(test::CountOpenFds(), fds);
    EXPECT_EQ(test::SettledThreadCount(threads), threads);
}

// On a pseudo-terminal the watcher's line-error query fails at every event and stores its error in
// the port's shared lastError. Each row has the same failed query, made from another thread, land
// inside an operation at one of its system calls (the watcher's own timing cannot be steered
// there, least of all between OpenWithWatcher's resume and its return): the success is still 0.
TEST(serial_events_test, a_success_is_0_whatever_the_watcher_stored_meanwhile) {
    FaultyOs os;
    platform::ScopedOs scoped(os);
    Watched w;
    const struct {
        const char* legend;
        FaultyOs::Call call;
        std::function<ErrorCode()> operation;
    } rows[] = {
        {"open with a watcher", FaultyOs::Call::kThreadCreate, [&] { return w.Open(); }},
        {"purge", FaultyOs::Call::kTcFlush, [&] { return w.port.PurgeBuffers(); }},
        {"configure", FaultyOs::Call::kTcSetAttr, [&] { return w.port.Configure(9600, 8, 0, 0); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        int landed = 0;
        os.Before(row.call, [&] {
            std::thread([&] { w.port.TakeLineErrors(); }).join();
            ++landed;
        });
        EXPECT_EQ(row.operation(), 0);
        EXPECT_EQ(landed, 1);
    }
    EXPECT_TRUE(w.port.isOpen());
}

}  // namespace
}  // namespace pathlux
