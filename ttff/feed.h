// What the interpretation core writes to its display, turned into the bench's events. Both faces
// hand their display calls on to it: the tool from its own display, the window from its own.
#pragma once

#include <string>

#include "nmea/receiver_state.h"
#include "nmea/text.h"
#include "ttff/bench.h"

namespace pathlux::ttff {

class BenchFeed {
  public:
    // The state is the core's: the position is read from it when the core shows one.
    BenchFeed(TtffBench& bench, const ReceiverState& state) : bench_(bench), state_(state) {}

    // A display field set by the core, at the time of the read that brought its sentence.
    void OnFieldText(TimePoint at, int controlId, const Text& text);
    // A log line; the core hands it on before it interprets the sentence in it.
    void OnLogLine(TimePoint at, const Text& line);

  private:
    TtffBench& bench_;
    const ReceiverState& state_;
    bool ggaFixed_ = false;  // the quality field of the last GGA
};

// "hh:mm:ss" of the UTC field of a GGA, RMC, GLL or ZDA sentence in a log line (from its last
// "$"); empty for any other line or a time field too short.
std::string SentenceUtc(TextView line);

}  // namespace pathlux::ttff
