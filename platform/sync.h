// Events, threads that start suspended, and waiting on one or several of them.
#pragma once

#include <cstdint>
#include <span>

namespace pathlux::platform {

// An event or a thread. A thread counts as signalled once its routine has returned.
class SyncObject;
using Handle = SyncObject*;

constexpr std::uint32_t INFINITE = 0xFFFFFFFF;
constexpr std::uint32_t WAIT_OBJECT_0 = 0;
constexpr std::uint32_t WAIT_FAILED = 0xFFFFFFFF;

// A manual-reset, initially non-signalled, unnamed event; nullptr (and the last error) on failure.
Handle CreateEvent();
bool SetEvent(Handle event);
bool ResetEvent(Handle event);

// A thread that runs routine(arg) once resumed; nullptr (and the last error) on failure. The
// routine's result is its exit code.
using ThreadRoutine = std::uint32_t (*)(void* arg);
Handle CreateThread(ThreadRoutine routine, void* arg);
bool ResumeThread(Handle thread);

// WAIT_OBJECT_0 + the index of the first signalled object (the lowest index wins when several
// are), WAIT_TIMEOUT when none became signalled in time, WAIT_FAILED (and the last error) for a
// missing handle or an empty list.
std::uint32_t WaitForSingleObject(Handle object, std::uint32_t timeoutMs);
std::uint32_t WaitForMultipleObjects(std::span<const Handle> objects, std::uint32_t timeoutMs);

// Releases the handle. A thread that has ended is joined; one still running goes on by itself and
// is cleaned up when it ends; one never resumed ends without running its routine.
bool CloseHandle(Handle object);

}  // namespace pathlux::platform
