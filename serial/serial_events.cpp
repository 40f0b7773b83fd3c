#include "serial/serial_events.h"

#include "platform/comm.h"
#include "platform/errors.h"

namespace pathlux {

const std::uint32_t defaultComMessage = platform::RegisterWindowMessage("CSerialWnd_DefaultComMsg");

namespace {

using namespace platform;

constexpr std::uint32_t kLow16 = 0xFFFF;

}  // namespace

CSerialEvents::~CSerialEvents() {
    if (watchThread_ != nullptr) {
        CSerialEvents::Close();
    }
}

CSerialWnd::~CSerialWnd() {
    if (watchThread_ != nullptr) {
        CSerialEvents::Close();
    }
}

std::uint32_t CSerialEvents::WatchThreadEntry(void* object) {
    return static_cast<CSerialEvents*>(object)->WatchLoop();
}

ErrorCode CSerialEvents::OpenWithWatcher(std::u16string_view portName, PostTarget* window,
                                         std::uint32_t message, std::intptr_t value,
                                         std::uint32_t inQueueSize, std::uint32_t outQueueSize) {
    const bool wasOpen = isOpen();
    const ErrorCode opened = CSerialPort::Open(portName, inQueueSize, outQueueSize);
    if (opened != 0) {
        // A port whose settings failed stays open after the plain Open; without a watcher the
        // window would show it as failed yet find it open (1247) on the next try.
        if (!wasOpen && isOpen()) {
            CSerialPort::Close();
            return Fail(opened);
        }
        return opened;
    }
    stopEvent_ = CreateEvent();
    watchEvent_ = stopEvent_ != nullptr ? CreateEvent() : nullptr;
    if (watchEvent_ != nullptr) {
        watchThread_ = CreateThread(WatchThreadEntry, this);
    }
    if (watchThread_ == nullptr) {
        const std::uint32_t error = GetLastError();
        ReleaseWatchObjects();
        CSerialPort::Close();
        return Fail(static_cast<ErrorCode>(error));
    }
    targetWindow_ = window;
    targetMessage_ = message != 0 ? message : defaultComMessage;
    targetParam_ = value;
    // The target fields are complete before the thread runs. From here on the watcher may store
    // its own failures in lastError.
    ResumeThread(watchThread_);
    return 0;
}

ErrorCode CSerialEvents::Close() {
    if (watchThread_ != nullptr) {
        SetEvent(stopEvent_);
        // A quiet line would keep the watcher in its port wait for ever; closing the device
        // would not wake it, so the wait is cancelled.
        CancelCommWait(portHandle_);
        if (WaitForSingleObject(watchThread_, kStopWaitMs) != WAIT_OBJECT_0) {
            // Still inside a post to a slow window. Releasing the events or the port under it
            // would be a use after release, so it is waited for; it has nothing else to wait on.
            WaitForSingleObject(watchThread_, INFINITE);
        }
    }
    ReleaseWatchObjects();
    return CSerialPort::Close();
}

void CSerialEvents::ReleaseWatchObjects() {
    for (Handle* handle : {&stopEvent_, &watchEvent_, &watchThread_}) {
        if (*handle != nullptr) {
            CloseHandle(*handle);
            *handle = nullptr;
        }
    }
    targetWindow_ = nullptr;
    targetMessage_ = 0;
    targetParam_ = 0;
}

std::uint32_t CSerialEvents::WatchLoop() {
    Overlapped record;
    record.hEvent = watchEvent_;
    const Handle waitList[] = {stopEvent_, watchEvent_};
    if (const ErrorCode error = WaitForEvent(&record, INFINITE); error != 0) {
        return EndWatch(error);
    }
    for (;;) {
        // A stop request wins over a pending port event: the stop event comes first.
        if (WaitForMultipleObjects(waitList, INFINITE) != WAIT_OBJECT_0 + 1) {
            return 0;
        }
        const std::uint32_t events = TakeLastEvent();
        std::uint32_t errors = 0;
        if (!ClearCommError(portHandle_, errors)) {
            FailWithLastError();
            errors = 0;
        }
        if (events != 0) {
            Post(events, errors);
        }
        if (!RestWhileHeld()) {
            return 0;
        }
        if (const ErrorCode error = WaitForEvent(&record, INFINITE); error != 0) {
            return EndWatch(error);
        }
    }
}

bool CSerialEvents::RestWhileHeld() {
    const Handle released =
        targetWindow_ != nullptr ? targetWindow_->DataNotificationReleased() : nullptr;
    if (released == nullptr) {
        return true;
    }
    const Handle restList[] = {stopEvent_, released};
    return WaitForMultipleObjects(restList, INFINITE) == WAIT_OBJECT_0 + 1;
}

std::uint32_t CSerialEvents::EndWatch(ErrorCode error) {
    // Unless it was asked to stop, the port has died under the watcher: say so once, or the window
    // would go on showing a port that no longer reports anything.
    if (WaitForSingleObject(stopEvent_, 0) != WAIT_OBJECT_0) {
        Post(kEventPortLost, 0);
    }
    return static_cast<std::uint32_t>(error);
}

void CSerialEvents::Post(std::uint32_t events, std::uint32_t errors) {
    if (targetWindow_ == nullptr) {
        return;
    }
    const std::uintptr_t wParam = ((errors & kLow16) << 16) | (events & kLow16);
    targetWindow_->PostMessage(targetMessage_, wParam, targetParam_);
}

}  // namespace pathlux
