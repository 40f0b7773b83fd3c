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
    explicit NotifyGate(platform::PostTarget& window);
    ~NotifyGate() override;
    NotifyGate(const NotifyGate&) = delete;
    NotifyGate& operator=(const NotifyGate&) = delete;

    // Called from the watcher's thread (and the window's own).
    bool PostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    // Signalled unless the window holds its data notification: until it releases it, the
    // watcher can rest rather than wake at every write of a fast receiver only to find the gate
    // shut.
    platform::Handle DataNotificationReleased() override { return released_; }
    // The window keeps the data notification it has, to read at a time of its own (at most a
    // frame away): the watcher rests until it is released. Only while the gate is shut; a window
    // that takes its notifications as they come does not hold them, since the watcher would
    // then wake twice for each.
    void Hold();
    // The window has read what the held notification told and what came meanwhile: the watcher
    // watches again.
    void Release();

    // The window has taken a notification off its queue and is about to read: the next arrival
    // is posted again. Also called before a port is opened, with Release, so that a notification
    // of an earlier opening cannot hold back the new one's.
    void Taken() { pending_.store(false); }

  private:
    platform::PostTarget& window_;
    std::atomic<bool> pending_{false};
    platform::Handle released_;
};

}  // namespace pathlux
