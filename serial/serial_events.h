// CSerialEvents and CSerialWnd: a serial port with a watcher thread that posts one notification
// per completed port-event wait to a window.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/post.h"
#include "platform/sync.h"
#include "serial/serial_port.h"

namespace pathlux {

// The identifier of the registered message "CSerialWnd_DefaultComMsg", set during static
// initialisation. Code that runs during static initialisation itself must register the name
// instead: it gets the same identifier.
extern const std::uint32_t defaultComMessage;

// The notification's first parameter: the port events in bits 0-15, the line error flags in bits
// 16-31; the second parameter is the opener's value.
constexpr std::uint32_t NotifiedEvents(std::uintptr_t wParam) {
    return static_cast<std::uint32_t>(wParam & 0xFFFF);
}
constexpr std::uint32_t NotifiedLineErrors(std::uintptr_t wParam) {
    return static_cast<std::uint32_t>((wParam >> 16) & 0xFFFF);
}

class CSerialEvents : public CSerialPort {
  public:
    // Posted as the only event when the watcher ends on its own because the port stopped
    // working (device unplugged, other end of a pseudo-terminal closed): the port is dead and
    // should be closed. Outside the platform's event bits.
    static constexpr std::uint32_t kEventPortLost = 0x8000;
    // How long Close waits for the watcher before it makes sure it has ended.
    static constexpr std::uint32_t kStopWaitMs = 128;

    CSerialEvents() = default;
    ~CSerialEvents() override;

    // Stops the watcher (it has ended when this returns), then closes the port.
    ErrorCode Close() override;
    // Opens the port and starts a watcher that posts message (defaultComMessage when 0) with
    // value as the second parameter to window (nothing is posted when window is null).
    virtual ErrorCode OpenWithWatcher(std::u16string_view portName, platform::PostTarget* window,
                                      std::uint32_t message, std::intptr_t value,
                                      std::uint32_t inQueueSize, std::uint32_t outQueueSize);
    // The watcher thread's body; its result is the thread's exit code.
    virtual std::uint32_t WatchLoop();

  protected:
    platform::Handle watchThread_ = nullptr;
    platform::Handle stopEvent_ = nullptr;
    platform::Handle watchEvent_ = nullptr;
    platform::PostTarget* targetWindow_ = nullptr;
    std::uint32_t targetMessage_ = 0;
    std::intptr_t targetParam_ = 0;

  private:
    static std::uint32_t WatchThreadEntry(void* object);
    void Post(std::uint32_t events, std::uint32_t errors);
    // While the target holds a data notification, it reads whatever comes when it releases it:
    // waiting on the port meanwhile would wake this thread at every write for nothing. False
    // when asked to stop.
    bool RestWhileHeld();
    // The watcher's end after a failed port-event wait; the wait's error is the exit code.
    std::uint32_t EndWatch(ErrorCode error);
    void ReleaseWatchObjects();
};

// The port the monitor window embeds. On this platform the window object is itself the target
// that notifications are posted to, so opening with a window object is OpenWithWatcher as is.
class CSerialWnd : public CSerialEvents {
  public:
    CSerialWnd() = default;
    // Stops the watcher before anything of the object is torn down: the watcher calls through
    // the virtual table, which the base destructors rewrite. A class derived from this one that
    // overrides what the watcher calls must stop it in its own destructor in the same way.
    ~CSerialWnd() override;
};

}  // namespace pathlux
