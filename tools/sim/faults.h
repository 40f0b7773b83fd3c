// Line faults for tests and demos: what a noisy or broken link does to the receiver's output.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace pathlux::sim {

enum Fault : unsigned {
    kFaultNoise = 1u << 0,     // stray bytes between sentences
    kFaultControl = 1u << 1,   // a control byte inside a sentence
    kFaultSplit = 1u << 2,     // a sentence written in two or three pieces with pauses
    kFaultChecksum = 1u << 3,  // a wrong checksum
    kFaultMissing = 1u << 4,   // trailing fields cut off (checksum still right)
    kFaultLongLine = 1u << 5,  // thousands of bytes without CR before a sentence
    kFaultFlood = 1u << 6,     // no pacing: output as fast as the reader takes it
};

// Adds the faults of a comma-separated list of names (noise, control, split, checksum, missing,
// long, flood) to faults; false (faults unchanged) when a name is unknown or the list is empty.
bool ParseFaults(std::string_view list, unsigned& faults);

// One write to the link; after a piece with pauseAfter the writer waits a moment.
struct Chunk {
    std::string bytes;
    bool pauseAfter = false;
    bool endsLine = false;  // the last piece of a line
};

class FaultInjector {
  public:
    static constexpr std::size_t kMinLongLine = 2000;
    static constexpr std::size_t kMaxLongLine = 4000;
    static constexpr std::size_t kMaxNoise = 8;

    // Each line fault strikes a line with the given chance in percent (0 to 100).
    FaultInjector(unsigned faults, int percent, std::uint32_t seed);

    // Turns one line, with whatever line end it has, into the writes that carry it.
    void Emit(std::string_view line, std::vector<Chunk>& out);

  private:
    bool Strikes(Fault fault);
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(random_() % n); }

    unsigned faults_;
    unsigned percent_;
    std::mt19937 random_;
};

}  // namespace pathlux::sim
