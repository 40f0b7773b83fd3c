#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>

#include "platform/errors.h"
#include "tests/support/faulty_os.h"
#include "tests/support/pty.h"

namespace pathlux::platform {
namespace {

TEST(sync_test, wait_reports_the_first_signalled_object) {
    const struct {
        const char* legend;
        bool signalFirst, signalSecond;
        std::uint32_t expected;
    } rows[] = {
        {"none signalled: time-out", false, false, WAIT_TIMEOUT},
        {"second only", false, true, WAIT_OBJECT_0 + 1},
        {"both: the first wins", true, true, WAIT_OBJECT_0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        const Handle list[] = {CreateEvent(), CreateEvent()};
        if (row.signalFirst) {
            ASSERT_TRUE(SetEvent(list[0]));
        }
        if (row.signalSecond) {
            ASSERT_TRUE(SetEvent(list[1]));
        }
        EXPECT_EQ(WaitForMultipleObjects(list, 0), row.expected);
        EXPECT_EQ(WaitForMultipleObjects(list, 0), row.expected) << "manual reset";
        CloseHandle(list[0]);
        CloseHandle(list[1]);
    }
}

TEST(sync_test, bad_handles_fail) {
    const Handle none[] = {nullptr};
    EXPECT_EQ(WaitForMultipleObjects(none, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForMultipleObjects({}, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetEvent(nullptr));
    EXPECT_FALSE(ResumeThread(nullptr));
}

struct Gate {
    std::atomic<int> runs{0};
    Handle open = CreateEvent();
    ~Gate() { CloseHandle(open); }
};

// Counts its run, then waits until the gate opens: a thread that can be held running.
std::uint32_t RunAtGate(void* arg) {
    auto* gate = static_cast<Gate*>(arg);
    ++gate->runs;
    return WaitForSingleObject(gate->open, INFINITE);
}

TEST(sync_test, a_thread_runs_only_once_resumed_and_its_end_signals_it) {
    const int threadsBefore = test::BaselineThreadCount();
    Gate gate;
    const Handle idle = CreateThread(RunAtGate, &gate);
    const Handle thread = CreateThread(RunAtGate, &gate);
    ASSERT_NE(idle, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(gate.runs, 0);
    ASSERT_TRUE(ResumeThread(thread));
    EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT) << "held at the gate";
    EXPECT_TRUE(CloseHandle(idle)) << "never resumed: ends without running";
    SetEvent(gate.open);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_EQ(gate.runs, 1);
    EXPECT_EQ(test::SettledThreadCount(threadsBefore), threadsBefore);
}

TEST(sync_test, closing_a_running_thread_lets_it_finish) {
    Gate gate;
    const Handle thread = CreateThread(RunAtGate, &gate);
    ASSERT_TRUE(ResumeThread(thread));
    const int running = test::CountThreads();
    EXPECT_TRUE(CloseHandle(thread));  // still waiting at the gate
    SetEvent(gate.open);
    EXPECT_EQ(test::SettledThreadCount(running - 1), running - 1);
}

TEST(sync_test, failed_thread_creation_reports_the_platform_error) {
    test::FaultyOs os;
    ScopedOs scoped(os);
    os.Fail(test::FaultyOs::Call::kThreadCreate, EAGAIN);
    Gate gate;
    EXPECT_EQ(CreateThread(RunAtGate, &gate), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(GetLastSystemError(), EAGAIN);
}

}  // namespace
}  // namespace pathlux::platform
