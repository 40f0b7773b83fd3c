#include "window/frame_pacer.h"

#include <gtest/gtest.h>

#include <optional>

namespace pathlux {
namespace {

// Frames of 16 ms, at most one every 100 ms while changes keep coming.
TEST(frame_pacer_test, QuietSpellsShowAtTheNextFrameStreamsEveryGap) {
    const struct {
        const char* legend;
        std::optional<std::int64_t> shown;
        std::int64_t now;
        int delay;
    } cases[] = {
        {"nothing shown yet", std::nullopt, 5000, 16},
        {"a change right after a frame waits the gap", 5000, 5000, 100},
        {"in the gap: until its end", 5000, 5030, 70},
        {"the gap's last millisecond", 5000, 5099, 1},
        {"a gap after the last frame: quiet", 5000, 5100, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        FramePacer pacer(16, 100);
        if (c.shown) {
            pacer.Shown(*c.shown);
        }
        EXPECT_EQ(pacer.DelayMs(c.now), c.delay);
    }
}

}  // namespace
}  // namespace pathlux
