#include "serial/notify_gate.h"

#include "platform/comm.h"
#include "serial/serial_events.h"

namespace pathlux {

NotifyGate::NotifyGate(platform::PostTarget& window) : window_(window) {
    released_ = platform::CreateEvent();
    if (released_ != nullptr) {
        platform::SetEvent(released_);
    }
}

NotifyGate::~NotifyGate() {
    if (released_ != nullptr) {
        platform::CloseHandle(released_);
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
    if (released_ != nullptr) {
        platform::ResetEvent(released_);
    }
}

void NotifyGate::Release() {
    if (released_ != nullptr) {
        platform::SetEvent(released_);
    }
}

}  // namespace pathlux
