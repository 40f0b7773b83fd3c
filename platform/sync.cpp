#include "platform/sync.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <utility>

#include "platform/errors.h"
#include "platform/os.h"

namespace pathlux::platform {

class SyncObject {
  public:
    enum class Kind { kEvent, kThread };

    explicit SyncObject(Kind kind) : kind(kind) {}

    const Kind kind;
    bool signalled = false;
    // One for the handle, one for each wait in progress, one for a running thread: the object is
    // freed by whoever lets go last, so closing a handle never pulls it from under a waiter.
    int refs = 1;

    // Threads only.
    ThreadRoutine routine = nullptr;
    void* arg = nullptr;
    pthread_t thread{};
    bool resumed = false;
    bool abandoned = false;
};

namespace {

// One lock and one condition for all objects: there are only a handful, and a wait on several
// objects then needs no registration with each of them. Never destroyed, because a thread whose
// handle was closed while it ran may still be ending when the process exits.
std::mutex& StateMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::condition_variable& StateChanged() {
    static auto* changed = new std::condition_variable;
    return *changed;
}

// Caller holds the state lock.
void Release(SyncObject* object) {
    if (--object->refs == 0) {
        delete object;
    }
}

void* ThreadStart(void* arg) {
    auto* self = static_cast<SyncObject*>(arg);
    bool run = false;
    {
        std::unique_lock lock(StateMutex());
        StateChanged().wait(lock, [self] { return self->resumed || self->abandoned; });
        run = !self->abandoned;
    }
    if (run) {
        self->routine(self->arg);
    }
    {
        std::lock_guard lock(StateMutex());
        self->signalled = true;
        Release(self);
    }
    StateChanged().notify_all();
    return nullptr;
}

// Whether the handle is one of this kind; else the last error says it is not valid.
bool IsOfKind(Handle object, SyncObject::Kind kind) {
    if (object == nullptr || object->kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

// The index of the first signalled object; caller holds the state lock.
std::optional<std::uint32_t> FirstSignalled(std::span<const Handle> objects) {
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->signalled) {
            return static_cast<std::uint32_t>(i);
        }
    }
    return std::nullopt;
}

}  // namespace

Handle CreateEvent() {
    auto* event = new (std::nothrow) SyncObject(SyncObject::Kind::kEvent);
    if (event == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return event;
}

bool SetEvent(Handle event) {
    if (!IsOfKind(event, SyncObject::Kind::kEvent)) {
        return false;
    }
    bool changed = false;
    {
        std::lock_guard lock(StateMutex());
        changed = !std::exchange(event->signalled, true);
    }
    // Every waiter of every object sleeps on the one condition: an event set again, as the port's
    // read event is at every read, must not wake them all for nothing.
    if (changed) {
        StateChanged().notify_all();
    }
    return true;
}

bool ResetEvent(Handle event) {
    if (!IsOfKind(event, SyncObject::Kind::kEvent)) {
        return false;
    }
    std::lock_guard lock(StateMutex());
    event->signalled = false;
    return true;
}

Handle CreateThread(ThreadRoutine routine, void* arg) {
    auto* thread = new (std::nothrow) SyncObject(SyncObject::Kind::kThread);
    if (thread == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    thread->routine = routine;
    thread->arg = arg;
    thread->refs = 2;  // the handle and the running thread
    const int error = CurrentOs().ThreadCreate(&thread->thread, ThreadStart, thread);
    if (error != 0) {
        delete thread;
        SetLastErrorFromErrno(error);
        return nullptr;
    }
    return thread;
}

bool ResumeThread(Handle thread) {
    if (!IsOfKind(thread, SyncObject::Kind::kThread)) {
        return false;
    }
    {
        std::lock_guard lock(StateMutex());
        thread->resumed = true;
    }
    StateChanged().notify_all();
    return true;
}

std::uint32_t WaitForSingleObject(Handle object, std::uint32_t timeoutMs) {
    return WaitForMultipleObjects(std::span<const Handle>(&object, 1), timeoutMs);
}

std::uint32_t WaitForMultipleObjects(std::span<const Handle> objects, std::uint32_t timeoutMs) {
    if (objects.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    for (Handle object : objects) {
        if (object == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
    }
    std::unique_lock lock(StateMutex());
    for (Handle object : objects) {
        ++object->refs;
    }
    std::optional<std::uint32_t> index;
    const auto ready = [&] {
        index = FirstSignalled(objects);
        return index.has_value();
    };
    if (timeoutMs == INFINITE) {
        StateChanged().wait(lock, ready);
    } else {
        StateChanged().wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    }
    for (Handle object : objects) {
        Release(object);
    }
    return index ? WAIT_OBJECT_0 + *index : WAIT_TIMEOUT;
}

bool CloseHandle(Handle object) {
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (object->kind == SyncObject::Kind::kThread) {
        bool join = false;
        pthread_t thread{};
        {
            std::lock_guard lock(StateMutex());
            if (!object->resumed) {
                object->abandoned = true;
            }
            join = object->signalled || object->abandoned;
            thread = object->thread;
        }
        StateChanged().notify_all();
        if (join) {
            pthread_join(thread, nullptr);
        } else {
            pthread_detach(thread);
        }
    }
    std::lock_guard lock(StateMutex());
    Release(object);
    return true;
}

}  // namespace pathlux::platform
