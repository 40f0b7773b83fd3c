// The platform's thread primitives: events and waits, threads, the last error kept per thread,
// and messages registered by name from every thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

#include "platform/errors.h"
#include "platform/post.h"
#include "platform/sync.h"
#include "tests/support/pty.h"

namespace pathlux::platform {
namespace {

TEST(threads_test, wait_reports_the_first_signalled_object) {
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

TEST(threads_test, threads_run_once_resumed_and_end_whether_waited_for_or_not) {
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

TEST(threads_test, keeps_error_and_system_reason_per_thread) {
    SetLastErrorFromErrno(ENOENT);
    std::thread([] {
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "another thread has its own";
        SetLastErrorFromErrno(EDOM);
        EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE) << "an errno the table does not know";
        SetLastError(ERROR_INVALID_NAME);  // an error of the platform's own: no system reason
        EXPECT_EQ(GetLastSystemError(), 0);
    }).join();
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SystemErrorText(GetLastSystemError()), "No such file or directory");
}

TEST(threads_test, one_name_one_identifier_in_the_registered_range_on_every_thread) {
    std::vector<std::uint32_t> ids(8);
    {
        std::vector<std::jthread> threads;
        for (std::uint32_t& id : ids) {
            threads.emplace_back([&id] { id = RegisterWindowMessage("post_test shared"); });
        }
    }
    EXPECT_GE(ids.front(), 0xC000u);
    EXPECT_LE(ids.front(), 0xFFFFu);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), ids.front()), 8);
    EXPECT_NE(RegisterWindowMessage("POST_TEST SHARED"), ids.front()) << "names differ in case";
    EXPECT_EQ(RegisterWindowMessage(""), 0u) << "an empty name fails";
}

}  // namespace
}  // namespace pathlux::platform
