#include "window/frame_pacer.h"

#include <algorithm>

namespace pathlux {

int FramePacer::DelayMs(std::int64_t now) const {
    if (!shownAt_ || now - *shownAt_ >= gapMs_) {
        return frameMs_;
    }
    // A clock that went back counts as no time passed.
    return static_cast<int>(*shownAt_ + gapMs_ - std::max(now, *shownAt_));
}

}  // namespace pathlux
