// The output on its way to the link: pieces written as fast as the link takes them, a pause after
// a piece of a split sentence, and a count of what went out.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <vector>

#include "tools/sim/faults.h"
#include "tools/sim/report.h"

namespace pathlux::sim {

class Outbox {
  public:
    using Clock = std::chrono::steady_clock;

    void SetSplitPause(Clock::duration pause) { splitPause_ = pause; }

    void Add(const std::vector<Chunk>& chunks);
    bool empty() const { return queue_.empty(); }
    // Drops what waits because the reader did not take it in time, and counts a drop.
    void Drop();
    // Drops what waits because the link is gone; no drop is counted.
    void Clear();

    // Writes to fd until the queue is empty, a split pause starts, or fd takes no more
    // (wantWrite is then set). False on an error, with errno set.
    bool Write(int fd, Clock::time_point now, bool& wantWrite);
    // The end of the last split pause; no piece goes out before it.
    Clock::time_point resumeAt() const { return resumeAt_; }

    const SentCount& sent() const { return sent_; }

  private:
    std::deque<Chunk> queue_;
    std::size_t written_ = 0;  // of the queue's first piece
    Clock::duration splitPause_{};
    Clock::time_point resumeAt_;
    SentCount sent_;
};

}  // namespace pathlux::sim
