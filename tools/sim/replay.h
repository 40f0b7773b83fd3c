// Sending a captured log instead of simulating.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pathlux::sim {

// The lines of a captured log as they are to be sent, each with its line end, a bare LF turned
// into CR LF. Lines starting with "#" are annotations of the capture, not receiver output, and
// are skipped; a last line without LF is kept and gets CR LF.
std::vector<std::string> ReplayLines(std::string_view log);

// The lines of a capture the window saved: its bytes received exactly as they came, cut after
// each LF (the last piece as it is). Empty on success, else what is wrong with the capture.
std::string CapturedLines(std::string_view capture, std::vector<std::string>& lines);

}  // namespace pathlux::sim
