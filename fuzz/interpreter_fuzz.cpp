// Arbitrary bytes through the framer, the dispatch and every handler, with the timer ticking, and
// checks that what reaches the display and the state stays within its bounds.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "nmea/nmea.h"

namespace pathlux {
namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

class CheckingDisplay : public MonitorDisplay {
  public:
    // The state that redraws read; set once the interpreter that owns it exists.
    const ReceiverState* state = nullptr;

    void SetFieldText(int, const Text& text) override {
        // A display text comes from one sentence, which the framer caps.
        Check(text.size() <= SentenceFramer::kMaxLineChars + 32);
    }
    void AppendLog(const Text& line) override {
        Check(line.size() >= 2 && line.size() <= SentenceFramer::kMaxLineChars + 2);
        Check(line.ends_with(u"\r\n"));
    }
    void StartTimer(int id, int period) override {
        Check(id == kTtffTimerId && period == kTtffTimerPeriodMs);
    }
    void StopTimer(int id) override { Check(id == kTtffTimerId); }
    void RedrawSkyPlot() override {
        // Read every slot the charts read, and its record, as the charts do.
        const int shown = state->ShownCount();
        Check(shown >= 0 && shown <= kShownSlots);
        for (int i = 0; i < shown; ++i) {
            const SatelliteRecord& r = *state->Shown(i).record;
            Check(r.used == 0 || r.used == 1);
        }
    }
    void RedrawSignalBars() override {}
};

}  // namespace
}  // namespace pathlux

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pathlux;
    CheckingDisplay display;
    NmeaInterpreter core(display);
    display.state = &core.state();
    // Feed in two pieces so that a split inside a sentence is exercised too.
    const std::size_t half = size / 2;
    core.FeedBytes(data, half);
    core.OnTimer(kTtffTimerId);
    core.FeedBytes(data + half, size - half);
    core.OnTimer(kTtffTimerId);
    Check(core.framer().logLine().size() <= SentenceFramer::kMaxLineChars);
    Check(core.framer().sentenceSize() <= SentenceFramer::kMaxLineChars);
    Check(core.state().fix3d == 0 || core.state().fix3d == 1);
    return 0;
}
