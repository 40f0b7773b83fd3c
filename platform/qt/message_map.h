// Message maps: tables of message, notification, control id and handler, searched in order.
#pragma once

#include <cstdint>
#include <span>

namespace pathlux::platform {

constexpr std::uint32_t kWmPaint = 0x000F;
constexpr std::uint32_t kWmCommand = 0x0111;
constexpr std::uint32_t kWmTimer = 0x0113;

constexpr int kBnClicked = 0;
constexpr int kCbnSelChange = 1;

// WM_COMMAND's first parameter: the control id in the low word, the notification in the high.
constexpr std::uintptr_t MakeCommandParam(int controlId, int notification) {
    return (static_cast<std::uintptr_t>(notification & 0xFFFF) << 16) |
           static_cast<std::uintptr_t>(controlId & 0xFFFF);
}

template <class Window>
struct MessageMapEntry {
    enum class Kind { kCommand, kTimer, kPaint, kRegistered };

    Kind kind;
    int notification;
    int controlId;
    // The identifier of a registered message is read here when the map is searched, because it
    // is only known once the message has been registered at start-up.
    const std::uint32_t* registered;
    void (Window::*onCommand)();
    void (Window::*onTimer)(int timerId);
    std::intptr_t (Window::*onRegistered)(std::uintptr_t wParam, std::intptr_t lParam);

    static constexpr MessageMapEntry Command(int notification, int controlId,
                                             void (Window::*handler)()) {
        return {Kind::kCommand, notification, controlId, nullptr, handler, nullptr, nullptr};
    }
    static constexpr MessageMapEntry Timer(void (Window::*handler)(int)) {
        return {Kind::kTimer, 0, 0, nullptr, nullptr, handler, nullptr};
    }
    static constexpr MessageMapEntry Paint(void (Window::*handler)()) {
        return {Kind::kPaint, 0, 0, nullptr, handler, nullptr, nullptr};
    }
    static constexpr MessageMapEntry Registered(const std::uint32_t* message,
                                                std::intptr_t (Window::*handler)(std::uintptr_t,
                                                                                 std::intptr_t)) {
        return {Kind::kRegistered, 0, 0, message, nullptr, nullptr, handler};
    }

    bool Matches(std::uint32_t message, std::uintptr_t wParam) const {
        switch (kind) {
            case Kind::kCommand:
                return message == kWmCommand && wParam == MakeCommandParam(controlId, notification);
            case Kind::kTimer:
                return message == kWmTimer;
            case Kind::kPaint:
                return message == kWmPaint;
            case Kind::kRegistered:
                return *registered != 0 && message == *registered;
        }
        return false;
    }
};

// Runs the first entry that matches; false when none does (the caller's default handling then
// applies). A registered handler's result goes to *result.
template <class Window>
bool DispatchMessage(std::span<const MessageMapEntry<Window>> map, Window& window,
                     std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                     std::intptr_t* result = nullptr) {
    using Entry = MessageMapEntry<Window>;
    for (const Entry& entry : map) {
        if (!entry.Matches(message, wParam)) {
            continue;
        }
        std::intptr_t value = 0;
        switch (entry.kind) {
            case Entry::Kind::kCommand:
            case Entry::Kind::kPaint:
                (window.*entry.onCommand)();
                break;
            case Entry::Kind::kTimer:
                (window.*entry.onTimer)(static_cast<int>(wParam));
                break;
            case Entry::Kind::kRegistered:
                value = (window.*entry.onRegistered)(wParam, lParam);
                break;
        }
        if (result != nullptr) {
            *result = value;
        }
        return true;
    }
    return false;
}

}  // namespace pathlux::platform
