#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/errors.h"
#include "tests/support/pty.h"

namespace pathlux::platform {
namespace {

TEST(sync_test, wait_reports_the_first_signalled_object) {
    const Handle list[] = {CreateEvent(), CreateEvent()};
    EXPECT_EQ(WaitForMultipleObjects(list, 0), WAIT_TIMEOUT) << "none signalled";
    ASSERT_TRUE(SetEvent(list[1]));
    EXPECT_EQ(WaitForMultipleObjects(list, 0), WAIT_OBJECT_0 + 1);
    ASSERT_TRUE(SetEvent(list[0]));
    EXPECT_EQ(WaitForMultipleObjects(list, 0), WAIT_OBJECT_0) << "both: the first wins";
    EXPECT_EQ(WaitForMultipleObjects(list, 0), WAIT_OBJECT_0) << "manual reset";
    CloseHandle(list[0]);
    CloseHandle(list[1]);
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

TEST(sync_test, threads_run_once_resumed_and_end_whether_waited_for_or_not) {
    const int threadsBefore = test::BaselineThreadCount();
    Gate gate;
    const Handle idle = CreateThread(RunAtGate, &gate);
    const Handle running = CreateThread(RunAtGate, &gate);
    const Handle waited = CreateThread(RunAtGate, &gate);
    ASSERT_TRUE(ResumeThread(running) && ResumeThread(waited));
    EXPECT_EQ(WaitForSingleObject(waited, 20), WAIT_TIMEOUT) << "held at the gate";
    EXPECT_TRUE(CloseHandle(idle)) << "never resumed: ends without running";
    EXPECT_TRUE(CloseHandle(running)) << "still running: goes on by itself";
    SetEvent(gate.open);
    EXPECT_EQ(WaitForSingleObject(waited, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(waited));
    EXPECT_EQ(test::SettledThreadCount(threadsBefore), threadsBefore);
    EXPECT_EQ(gate.runs, 2);
}

}  // namespace
}  // namespace pathlux::platform
