#include "serial/notify_gate.h"

#include "platform/comm.h"
#include "serial/serial_events.h"

namespace pathlux {

NotifyGate::NotifyGate(platform::PostTarget& window) : window_(window) {
    taken_ = platform::CreateEvent();
    if (taken_ != nullptr) {
        platform::SetEvent(taken_);
    }
}

NotifyGate::~NotifyGate() {
    if (taken_ != nullptr) {
        platform::CloseHandle(taken_);
    }
}

bool NotifyGate::PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    const bool dataOnly =
        NotifiedEvents(wParam) == platform::EV_RXCHAR && NotifiedLineErrors(wParam) == 0;
    if (dataOnly && pending_.exchange(true)) {
        return true;  // the notification waiting will read these bytes too
    }
    if (!window_.PostMessage(message, wParam, lParam)) {
        if (dataOnly) {
            pending_.store(false);
        }
        return false;
    }
    return true;
}

void NotifyGate::Hold() {
    if (taken_ != nullptr) {
        platform::ResetEvent(taken_);
    }
}

void NotifyGate::Release() {
    if (taken_ != nullptr) {
        platform::SetEvent(taken_);
    }
}

}  // namespace pathlux
