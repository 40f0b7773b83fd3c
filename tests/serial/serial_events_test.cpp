#include "serial/serial_events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "platform/errors.h"
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
};

std::string Drain(CSerialPort& port) {
    std::string out;
    char chunk[100];
    std::uint32_t count = 0;
    do {
        if (port.Read(chunk, sizeof chunk, &count, nullptr, INFINITE) != 0) {
            break;
        }
        out.append(chunk, count);
    } while (count > 0);
    return out;
}

std::set<std::string> ThreadIds() {
    std::set<std::string> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ids.insert(entry.path().filename().string());
    }
    return ids;
}

// Voluntary context switches of the threads, summed: how often they went to sleep and woke.
long WakeUps(const std::set<std::string>& threads) {
    long total = 0;
    for (const std::string& id : threads) {
        std::ifstream status("/proc/self/task/" + id + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                total += std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return total;
}

// Waits (at most 5 s) until every one of the threads is asleep: a thread that has just posted is
// still on its way back into its wait, and its going to sleep would count as a wake-up later.
bool AllAsleep(const std::set<std::string>& threads) {
    for (int i = 0; i < 5000; ++i) {
        bool asleep = true;
        for (const std::string& id : threads) {
            std::ifstream stat("/proc/self/task/" + id + "/stat");
            std::string text((std::istreambuf_iterator<char>(stat)),
                             std::istreambuf_iterator<char>());
            const std::size_t state = text.rfind(')') + 2;
            asleep = asleep && state < text.size() && text[state] == 'S';
        }
        if (asleep) {
            return true;
        }
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

TEST(serial_events_test, default_message_is_registered_before_main) {
    EXPECT_NE(defaultComMessage, 0u);
    EXPECT_EQ(defaultComMessage, platform::RegisterWindowMessage("CSerialWnd_DefaultComMsg"));
}

TEST(serial_events_test, posts_one_notification_per_arrival) {
    struct Row {
        const char* legend;
        std::uint32_t message;
        std::uint32_t expected;
    };
    const Row rows[] = {
        {"message 0: the registered one", 0, defaultComMessage},
        {"the opener's own message", 0xC3A0, 0xC3A0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        Watched w;
        ASSERT_EQ(w.port.OpenWithWatcher(w.pty.name(), &w.window, row.message, kValue, 2048, 2048),
                  0);
        w.pty.Send("$GPGGA,1");
        const auto first = w.window.Take();
        ASSERT_TRUE(first);
        EXPECT_EQ(first->message, row.expected);
        EXPECT_EQ(NotifiedEvents(first->wParam), EV_RXCHAR);
        EXPECT_EQ(NotifiedLineErrors(first->wParam), 0u);
        EXPECT_EQ(first->lParam, kValue);

        // New bytes notify again although the first ones are still unread.
        w.pty.Send("23519\r\n");
        const auto second = w.window.Take();
        ASSERT_TRUE(second);
        EXPECT_EQ(NotifiedEvents(second->wParam), EV_RXCHAR);
        EXPECT_EQ(Drain(w.port), "$GPGGA,123519\r\n");
        EXPECT_EQ(w.port.Close(), 0);
        EXPECT_EQ(w.window.Size(), 0u);
    }
}

TEST(serial_events_test, unread_bytes_do_not_notify_again_and_idle_costs_no_wake_ups) {
    Watched w;
    test::BaselineThreadCount();  // a sanitizer's helper thread is not the watcher
    const std::set<std::string> before = ThreadIds();
    ASSERT_EQ(w.port.OpenWithWatcher(w.pty.name(), &w.window, 0, kValue, 0, 0), 0);
    std::set<std::string> watcher;
    for (const std::string& id : ThreadIds()) {
        if (!before.contains(id)) {
            watcher.insert(id);
        }
    }
    ASSERT_FALSE(watcher.empty());
    w.pty.Send("$GPRMC");
    ASSERT_TRUE(w.window.Take());
    ASSERT_TRUE(AllAsleep(watcher));
    const long wakeUps = WakeUps(watcher);
    // Counted over a second: the bytes sit unread and the line is quiet.
    EXPECT_FALSE(w.window.Take(1s));
    EXPECT_EQ(WakeUps(watcher), wakeUps) << "the watcher slept through the quiet second";
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

TEST(serial_events_test, close_on_a_quiet_line_returns_within_the_bound) {
    Watched w;
    const int threadsBefore = test::BaselineThreadCount();
    ASSERT_EQ(w.port.OpenWithWatcher(w.pty.name(), &w.window, 0, kValue, 0, 0), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(w.port.Close(), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(CSerialEvents::kStopWaitMs));
    EXPECT_FALSE(w.port.isOpen());
    EXPECT_EQ(test::SettledThreadCount(threadsBefore), threadsBefore);
}

TEST(serial_events_test, open_close_cycles_leave_nothing_behind) {
    test::Pty pty;
    test::PostQueue window;
    const int fds = test::CountOpenFds();
    const int threads = test::BaselineThreadCount();
    for (int cycle = 0; cycle < 200; ++cycle) {
        CSerialWnd port;
        ASSERT_EQ(port.OpenWithWatcher(pty.name(), &window, 0, cycle, 0, 0), 0) << cycle;
        if (cycle % 50 == 0) {
            // A fresh watcher each time: this one reports, with this cycle's value.
            pty.Send("$");
            const auto posted = window.Take();
            ASSERT_TRUE(posted);
            EXPECT_EQ(posted->lParam, cycle);
        }
        ASSERT_EQ(port.Close(), 0);
    }
    EXPECT_EQ(test::CountOpenFds(), fds);
    EXPECT_EQ(test::SettledThreadCount(threads), threads);
}

TEST(serial_events_test, hang_up_ends_the_watcher_and_tells_the_window) {
    Watched w;
    const int threadsBefore = test::BaselineThreadCount();
    ASSERT_EQ(w.port.OpenWithWatcher(w.pty.name(), &w.window, 0, kValue, 0, 0), 0);
    w.pty.CloseMaster();
    const auto lost = w.window.Take();
    ASSERT_TRUE(lost);
    EXPECT_EQ(NotifiedEvents(lost->wParam), CSerialEvents::kEventPortLost);
    EXPECT_EQ(lost->lParam, kValue);
    // The watcher is gone, so it spends nothing, and it posts nothing more.
    EXPECT_EQ(test::SettledThreadCount(threadsBefore), threadsBefore);
    EXPECT_EQ(w.window.Size(), 0u);
    char chunk[100];
    EXPECT_EQ(w.port.Read(chunk, sizeof chunk, nullptr, nullptr, INFINITE), 1167);
    EXPECT_EQ(w.port.Close(), 0);
}

TEST(serial_events_test, failed_opens_leave_nothing_behind) {
    struct Row {
        const char* legend;
        bool missingDevice;
        FaultyOs::Call call;
        int errnum;
        int skip;
        ErrorCode expected;
    };
    const Row rows[] = {
        {"missing device", true, FaultyOs::Call::kOpen, 0, 0, 2},
        {"thread cannot be made", false, FaultyOs::Call::kThreadCreate, EAGAIN, 0, 8},
        {"default setting fails", false, FaultyOs::Call::kTcSetAttr, EIO, 1, 31},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        Watched w;
        const int fds = test::CountOpenFds();
        const int threads = test::BaselineThreadCount();
        FaultyOs os;
        platform::ScopedOs scoped(os);
        os.Fail(row.call, row.errnum, row.skip);
        const std::u16string name = row.missingDevice ? u"/dev/pathlux-none" : w.pty.name();
        EXPECT_EQ(w.port.OpenWithWatcher(name, &w.window, 0, kValue, 0, 0), row.expected);
        EXPECT_EQ(w.port.lastError(), row.expected);
        EXPECT_FALSE(w.port.isOpen());
        EXPECT_EQ(test::CountOpenFds(), fds);
        EXPECT_EQ(test::CountThreads(), threads);
        EXPECT_EQ(CSerialPort::ProbePort(w.pty.name()), CSerialPort::kProbeAvailable);
    }
}

TEST(serial_events_test, second_open_keeps_the_running_watcher) {
    Watched w;
    ASSERT_EQ(w.port.OpenWithWatcher(w.pty.name(), &w.window, 0, kValue, 0, 0), 0);
    test::Pty other;
    EXPECT_EQ(w.port.OpenWithWatcher(other.name(), &w.window, 0, kValue, 0, 0), 1247);
    w.pty.Send("x");
    EXPECT_TRUE(w.window.Take()) << "the first port still reports";
}

TEST(serial_events_test, line_errors_ride_in_the_high_bits_once) {
    FaultyOs os;
    platform::ScopedOs scoped(os);
    serial_icounter_struct counters{};
    os.SetCounters(counters);
    Watched w;
    ASSERT_EQ(w.port.OpenWithWatcher(w.pty.name(), &w.window, 0, kValue, 0, 0), 0);
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
    w.port.Close();
}

// On a pseudo-terminal the watcher's line-error query fails at every event and stores its error in
// the port's shared lastError. Each row has the same failed query, made from another thread, land
// inside an operation at one of its system calls (the watcher's own timing cannot be steered
// there, least of all between OpenWithWatcher's resume and its return): the success is still 0.
TEST(serial_events_test, a_success_is_0_whatever_the_watcher_stored_meanwhile) {
    FaultyOs os;
    platform::ScopedOs scoped(os);
    Watched w;
    struct Row {
        const char* legend;
        FaultyOs::Call call;
        std::function<ErrorCode()> operation;
    };
    const Row rows[] = {
        {"open with a watcher", FaultyOs::Call::kThreadCreate,
         [&] { return w.port.OpenWithWatcher(w.pty.name(), &w.window, 0, kValue, 0, 0); }},
        {"purge", FaultyOs::Call::kTcFlush, [&] { return w.port.PurgeBuffers(); }},
        {"configure", FaultyOs::Call::kTcSetAttr, [&] { return w.port.Configure(9600, 8, 0, 0); }},
    };
    for (const Row& row : rows) {
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

TEST(serial_events_test, close_without_a_watcher) {
    Watched w;
    EXPECT_EQ(w.port.Close(), 0) << "never opened";
    ASSERT_EQ(w.port.Open(w.pty.name(), 0, 0), 0);
    EXPECT_EQ(w.port.Close(), 0);
    EXPECT_FALSE(w.port.isOpen());
}

TEST(serial_events_test, destroying_a_watched_port_stops_its_watcher) {
    test::Pty pty;
    test::PostQueue window;
    const int threads = test::BaselineThreadCount();
    {
        CSerialWnd port;
        ASSERT_EQ(port.OpenWithWatcher(pty.name(), &window, 0, kValue, 0, 0), 0);
    }
    EXPECT_EQ(test::SettledThreadCount(threads), threads);
    EXPECT_EQ(CSerialPort::ProbePort(pty.name()), CSerialPort::kProbeAvailable);
}

}  // namespace
}  // namespace pathlux
