// Stands between a port's watcher and the window it posts to: while one data notification waits
// in the window's queue, further arrivals add nothing to it, since the one waiting reads them all.
// Without it a receiver that sends faster than the window reads fills the window's queue with
// notifications without bound. Every other notification (line errors, a lost device) goes
// through as posted.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/post.h"

namespace pathlux {

class NotifyGate : public platform::PostTarget {
  public:
    explicit NotifyGate(platform::PostTarget& window) : window_(window) {}

    // Called from the watcher's thread (and the window's own).
    bool PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;

    // The window has taken a notification off its queue and is about to read: the next arrival
    // is posted again. Also called before a port is opened, so that a notification of an earlier
    // opening cannot hold back the new one's.
    void Taken() { pending_.store(false); }

  private:
    platform::PostTarget& window_;
    std::atomic<bool> pending_{false};
};

}  // namespace pathlux
