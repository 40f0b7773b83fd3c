#include "serial/serial_events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "serial/notify_gate.h"
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

// Runs a step that must end the watcher (a close, a destruction), within a bound: a watcher that
// does not end is then ended by hanging up the line, so that the test fails instead of hanging.
template <class Step>
auto Bounded(test::Pty& line, Step step) {
    auto done = std::async(std::launch::async, step);
    if (done.wait_for(5s) != std::future_status::ready) {
        ADD_FAILURE() << "the watcher did not end";
        line.CloseMaster();
    }
    return done.get();
}

// The receiver (pty master), the window and the port with its watcher, closed within the bound.
template <class Port = CSerialWnd, class Window = test::PostQueue>
struct Watched {
    test::Pty pty;
    Window window;
    Port port;
    ~Watched() { Close(); }
    ErrorCode Open(std::uint32_t message = 0, std::intptr_t value = kValue) {
        return port.OpenWithWatcher(pty.name(), &window, message, value, 2048, 2048);
    }
    ErrorCode Close() {
        return Bounded(pty, [this] { return port.Close(); });
    }
};

// Each arrival posts one notification: its events in the low bits, the line errors counted since
// the one before in the high bits, the opener's value as the second parameter. Unread bytes post
// nothing more, and every wake-up of the watcher goes through the port-event wait: counting those
// waits over a quiet moment shows whether it slept through it.
TEST(serial_events_test, posts_one_notification_per_arrival_and_sleeps_between) {
    for (const std::uint32_t message : {0u, 0xC3A0u}) {
        SCOPED_TRACE(message == 0 ? "message 0: the registered one" : "the opener's own message");
        FaultyOs os;
        platform::ScopedOs scoped(os);
        serial_icounter_struct counters{};
        os.SetCounters(counters);
        Watched w;
        ASSERT_EQ(w.Open(message), 0);
        counters.frame = 1;
        os.SetCounters(counters);
        w.pty.Send("$GPGGA,1");
        const auto first = w.window.Take();
        ASSERT_TRUE(first);
        // Message 0 stands for the one registered by name, before main.
        EXPECT_EQ(first->message, message != 0 ? message : defaultComMessage);
        EXPECT_EQ(NotifiedEvents(first->wParam), EV_RXCHAR | EV_ERR);
        EXPECT_EQ(NotifiedLineErrors(first->wParam), platform::CE_FRAME);
        EXPECT_EQ(first->lParam, kValue);

        w.pty.Send("23519\r\n");
        const auto second = w.window.Take();
        ASSERT_TRUE(second);
        EXPECT_EQ(second->wParam, EV_RXCHAR) << "new bytes, the first still unread; error told";
        // The watcher is back in its wait once it has begun the one after the second arrival.
        for (int i = 0; i < 500 && os.Calls(FaultyOs::Call::kEpollWait) < 3; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        const int waits = os.Calls(FaultyOs::Call::kEpollWait);
        EXPECT_FALSE(w.window.Take(500ms)) << "the bytes sit unread and the line is quiet";
        EXPECT_EQ(os.Calls(FaultyOs::Call::kEpollWait), waits) << "the watcher slept";
        EXPECT_EQ(w.Close(), 0);
        EXPECT_EQ(w.window.Size(), 0u);
    }
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
    Watched<StopAtSecondWait> w;
    w.pty.Send("a");  // completes the first wait at once
    ASSERT_EQ(w.Open(), 0);
    ASSERT_TRUE(w.window.Take());
    w.pty.Send("b");  // completes the second wait, which then finds the stop request too
    ASSERT_EQ(platform::WaitForSingleObject(w.port.stopped, INFINITE), platform::WAIT_OBJECT_0);
    EXPECT_EQ(w.Close(), 0);
    EXPECT_EQ(w.window.Size(), 0u) << "the event pending with the stop was not posted";
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
    Watched<CSerialWnd, SlowWindow> w;
    ASSERT_EQ(w.Open(), 0);
    w.pty.Send("$");
    ASSERT_EQ(platform::WaitForSingleObject(w.window.entered, INFINITE), platform::WAIT_OBJECT_0);
    EXPECT_EQ(w.Close(), 0);
    EXPECT_TRUE(w.window.finished) << "nothing was released under the posting watcher";
}

// A window holding its data notification to read later rests the watcher: writes meanwhile wake
// no port wait; once it is taken, what came is told; a close ends a resting watcher.
TEST(serial_events_test, a_held_notification_rests_the_watcher_until_released) {
    FaultyOs os;
    platform::ScopedOs scoped(os);
    test::Pty pty;
    test::PostQueue window;
    NotifyGate gate(window);
    CSerialWnd port;
    ASSERT_EQ(port.OpenWithWatcher(pty.name(), &gate, 0, kValue, 2048, 2048), 0);
    pty.Send("$");
    ASSERT_TRUE(window.Take());
    gate.Hold();
    int waits = -1;
    for (const char* write : {"a", "b", "c", "d"}) {
        pty.Send(write);  // the first ends the wait under way; the watcher then rests
        std::this_thread::sleep_for(100ms);
        waits = waits < 0 ? os.Calls(FaultyOs::Call::kEpollWait) : waits;
    }
    EXPECT_EQ(os.Calls(FaultyOs::Call::kEpollWait), waits);
    gate.Taken();
    gate.Release();
    EXPECT_TRUE(window.Take()) << "the bytes that came while it rested";
    gate.Hold();
    pty.Send("e");
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Bounded(pty, [&] { return port.Close(); }), 0);
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
}

TEST(serial_events_test, failed_opens_and_open_close_cycles_leave_nothing_behind) {
    const struct {
        const char* legend;
        FaultyOs::Call call;
        int errnum;
        int skip;
        ErrorCode expected;
    } rows[] = {
        {"device gone", FaultyOs::Call::kOpen, ENOENT, 0, 2},
        {"thread cannot be made", FaultyOs::Call::kThreadCreate, EAGAIN, 0, 8},
        {"default setting fails", FaultyOs::Call::kTcSetAttr, EIO, 1, 31},
    };
    Watched w;
    const int fds = test::CountOpenFds();
    const int threads = test::BaselineThreadCount();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        FaultyOs os;
        platform::ScopedOs scoped(os);
        os.Fail(row.call, row.errnum, row.skip);
        EXPECT_EQ(w.Open(), row.expected);
        EXPECT_EQ(w.port.lastError(), row.expected);
        EXPECT_FALSE(w.port.isOpen());
        EXPECT_EQ(test::CountOpenFds(), fds);
        EXPECT_EQ(test::CountThreads(), threads);
    }
    for (int cycle = 0; cycle < 50; ++cycle) {
        ASSERT_EQ(w.Open(), 0) << cycle;
        ASSERT_EQ(w.Close(), 0);
    }
    auto destroyed = std::make_unique<CSerialWnd>();
    ASSERT_EQ(destroyed->OpenWithWatcher(w.pty.name(), &w.window, 0, kValue, 0, 0), 0);
    Bounded(w.pty, [&] { destroyed.reset(); });
    EXPECT_EQ(test::CountOpenFds(), fds);
    EXPECT_EQ(test::SettledThreadCount(threads), threads) << "destruction stops the watcher too";
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
}

}  // namespace
}  // namespace pathlux
