// When the window shows what the receiver changed. A change after a quiet spell shows at the next
// frame, so that a second's burst of sentences shows as one; while changes keep coming, the
// window shows them at most once every `gap`, as often as a reader can follow a scrolling log.
// Times are milliseconds of a monotonic clock.
#pragma once

#include <cstdint>
#include <optional>

namespace pathlux {

class FramePacer {
  public:
    FramePacer(int frameMs, int gapMs) : frameMs_(frameMs), gapMs_(gapMs) {}

    // How long after `now` the window is to show a change made now.
    int DelayMs(std::int64_t now) const;
    // Everything waiting was shown at `now`.
    void Shown(std::int64_t now) { shownAt_ = now; }

  private:
    int frameMs_;
    int gapMs_;
    std::optional<std::int64_t> shownAt_;
};

}  // namespace pathlux
