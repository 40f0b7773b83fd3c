// Registered window messages and posting a message to a window from another thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/sync.h"

namespace pathlux::platform {

// A window (or a test's queue) that accepts messages posted from any thread and handles them
// later on its own thread, in the order posted.
class PostTarget {
  public:
    virtual ~PostTarget() = default;
    // False when the message could not be queued.
    virtual bool PostMessage(std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) = 0;
    // A target that reads all that has arrived when it handles a data notification: an event that
    // is not signalled while it holds one such notification to handle later. A poster need not
    // look for new arrivals until it is. Null for a target that wants every arrival told.
    virtual Handle DataNotificationReleased() { return nullptr; }
};

// The identifier of the message registered under this name: the same name always gives the same
// identifier within the process (0xC000 and up, as the original platform hands them out).
std::uint32_t RegisterWindowMessage(std::string_view name);

}  // namespace pathlux::platform
