// The run loop of pathlux-sim: at every tick (a simulated second, or a replayed line) the output
// goes into a queue, the queue goes out as fast as the link takes it, and the wait in between
// serves the signals and the commands that come back.
#pragma once

#include <string>
#include <vector>

#include "tools/sim/link.h"
#include "tools/sim/options.h"
#include "tools/sim/receiver.h"
#include "tools/sim/signals.h"

namespace pathlux::sim {

// Sends the receiver's seconds or, when receiver is null, the replay lines, until a stop signal,
// the end of --duration, or (without --count) the end of the replay. Returns an empty string when
// it ended so, else what failed.
std::string RunSimulation(const SimOptions& options, Link& link, Signals& signals,
                          Receiver* receiver, std::vector<std::string> replay);

}  // namespace pathlux::sim
