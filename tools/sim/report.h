// The JSON lines that pathlux-sim writes to standard error, one per event, so that tests and
// scripts can follow what the receiver received and did.
#pragma once

#include <cstdint>
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

// What went out on the link: lines written whole, bytes written, and how many times unsent output
// was dropped because the reader had not taken it by the next second.
struct SentCount {
    std::uint64_t lines = 0;
    std::uint64_t bytes = 0;
    std::uint64_t drops = 0;
};

// {"sent":{"lines":L,"bytes":B,"drops":D}}.
std::string SentReport(const SentCount& sent);

// {"replugged":"<new device>"}.
std::string ReplugReport(const std::string& device);

// Writes one line to standard error at once, so that a reader following it sees each event as
// it happens.
void WriteReport(const std::string& line);

// "what: " and the system's text for errno, for the error messages.
std::string ErrnoText(const std::string& what);

}  // namespace pathlux::sim
