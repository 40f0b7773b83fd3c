#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>

#include "platform/errors.h"
#include "tests/support/faulty_os.h"
#include "tests/support/pty.h"

namespace pathlux::platform {
namespace {

struct Events {
    Handle first = CreateEvent();
    Handle second = CreateEvent();
    ~Events() {
        CloseHandle(first);
        CloseHandle(second);
    }
};

TEST(sync_test, wait_reports_the_first_signalled_object) {
    struct Row {
        const char* legend;
        bool signalFirst;
        bool signalSecond;
        std::uint32_t expected;
    };
    const Row rows[] = {
        {"none signalled: time-out", false, false, WAIT_TIMEOUT},
        {"first only", true, false, WAIT_OBJECT_0},
        {"second only", false, true, WAIT_OBJECT_0 + 1},
        {"both: the first wins", true, true, WAIT_OBJECT_0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        Events events;
        if (row.signalFirst) {
            ASSERT_TRUE(SetEvent(events.first));
        }
        if (row.signalSecond) {
            ASSERT_TRUE(SetEvent(events.second));
        }
        const Handle list[] = {events.first, events.second};
        EXPECT_EQ(WaitForMultipleObjects(list, 0), row.expected);
        // Manual reset: a signalled event stays signalled.
        EXPECT_EQ(WaitForMultipleObjects(list, 0), row.expected);
    }
}

TEST(sync_test, bad_handles_fail_the_wait) {
    const Handle none[] = {nullptr};
    EXPECT_EQ(WaitForMultipleObjects(none, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForMultipleObjects({}, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(SetEvent(nullptr));
    EXPECT_FALSE(ResumeThread(nullptr));
    EXPECT_FALSE(CloseHandle(Handle{nullptr}));
}

struct Counter {
    std::atomic<int> runs{0};
    Handle done = CreateEvent();
    ~Counter() { CloseHandle(done); }
};

std::uint32_t CountRun(void* arg) {
    auto* counter = static_cast<Counter*>(arg);
    ++counter->runs;
    SetEvent(counter->done);
    return 7;
}

TEST(sync_test, thread_runs_only_once_resumed_and_signals_its_end) {
    Counter counter;
    const Handle thread = CreateThread(CountRun, &counter);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(counter.runs, 0);
    ASSERT_TRUE(ResumeThread(thread));
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(counter.runs, 1);
    EXPECT_TRUE(CloseHandle(thread));
}

TEST(sync_test, thread_never_resumed_ends_without_running) {
    const int threadsBefore = test::BaselineThreadCount();
    Counter counter;
    const Handle thread = CreateThread(CountRun, &counter);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_EQ(counter.runs, 0);
    EXPECT_EQ(test::SettledThreadCount(threadsBefore), threadsBefore);
}

TEST(sync_test, closing_a_running_thread_lets_it_finish) {
    Handle gate = CreateEvent();
    const Handle thread = CreateThread(
        [](void* arg) -> std::uint32_t {
            WaitForSingleObject(static_cast<Handle>(arg), INFINITE);
            return 0;
        },
        gate);
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(ResumeThread(thread));
    const int running = test::CountThreads();
    EXPECT_TRUE(CloseHandle(thread));  // still waiting on the gate
    SetEvent(gate);
    EXPECT_EQ(test::SettledThreadCount(running - 1), running - 1);
    CloseHandle(gate);
}

TEST(sync_test, failed_thread_creation_reports_the_platform_error) {
    test::FaultyOs os;
    ScopedOs scoped(os);
    os.Fail(test::FaultyOs::Call::kThreadCreate, EAGAIN);
    Counter counter;
    EXPECT_EQ(CreateThread(CountRun, &counter), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(GetLastSystemError(), EAGAIN);
}

}  // namespace
}  // namespace pathlux::platform
