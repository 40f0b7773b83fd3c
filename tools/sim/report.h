// The JSON lines that pathlux-sim writes to standard error, one per event, so that tests and
// scripts can follow what the receiver received and did.
#pragma once

#include <string>

#include "tools/sim/commands.h"
#include "tools/sim/receiver.h"

namespace pathlux::sim {

// {"rx":"<line>","accepted":true} or {"rx":"<line>","accepted":false,"reason":"<why>"}.
std::string RxReport(const LineSplitter::Line& line, Verdict verdict);

// {"restart":"cold"}.
std::string RestartReport(RestartKind kind);

// {"fix":"3D","after":42,"lat":"4807.0380","ns":"N","lon":"01131.0000","ew":"E","alt":"545.4"};
// the position only with a fix.
std::string FixReport(const SecondState& second, const Place& place);

}  // namespace pathlux::sim
