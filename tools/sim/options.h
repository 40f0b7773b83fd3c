// The command line of pathlux-sim.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/receiver.h"
#include "tools/sim/sky.h"

namespace pathlux::sim {

struct SimOptions {
    std::string link;           // --link: a symlink to the pseudo-terminal
    std::string device;         // --device: write to this device instead of a new pseudo-terminal
    std::uint32_t baud = 9600;  // --baud: the line speed the receiver talks at
    double duration = 0;        // --duration: wall-clock seconds to run, 0 for no limit
    double speed = 1;           // --speed: simulated seconds per wall-clock second
    std::uint32_t seed = 1;
    std::optional<std::int64_t> startUtc;  // --start; the current time when absent
    Place place;                           // --lat, --lon, --alt
    Talkers talkers = Talkers::kGps;       // --talkers
    NmeaVersion nmea = NmeaVersion::k410;  // --nmea, with --talkers gnss
    unsigned faults = 0;
    int faultPercent = 20;
    std::string replay;  // --replay: a captured log to send instead of simulating
    double rate = 8;     // --rate: replayed lines per second
    bool loop = false;   // --loop: replay the log again and again
    // --count: seconds of output (replayed lines) to send, 0 for no limit; then the link stays
    // open and silent.
    std::uint64_t count = 0;
    bool help = false;
};

constexpr double kMaxSpeed = 1000;

// Parses the arguments (without the program name) into options, which start at the defaults
// (with place as given). Returns an empty string on success, else what is wrong.
std::string ParseOptions(const std::vector<std::string>& args, SimOptions& options);

// "YYYY-MM-DDTHH:MM:SS" (UTC, an optional trailing "Z") to seconds since 1970.
std::optional<std::int64_t> ParseUtc(const std::string& text);

extern const char* const kUsage;

}  // namespace pathlux::sim
