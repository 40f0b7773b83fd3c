// The line speeds the window offers, and the automatic speed: each speed in turn until whole
// sentences with valid checksums arrive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "window/line_health.h"

namespace pathlux {

// The speeds offered, in the order a list shows them.
constexpr std::uint32_t kLineSpeeds[] = {4800,   9600,   19200,  38400, 57600,
                                         115200, 230400, 460800, 921600};
constexpr std::uint32_t kDefaultSpeed = 9600;

bool IsOfferedSpeed(std::uint32_t baud);

// Tries the first speed, then the others in the order GPS receivers use them, each for
// kTryMs; a speed is found when kSentencesToFind sentences with valid checksums came at it. After
// the last it starts again with the first: a receiver may be switched on late.
class AutoSpeed {
  public:
    static constexpr std::uint32_t kProbeOrder[] = {9600,  4800,   38400,  115200, 19200,
                                                    57600, 230400, 460800, 921600};
    static_assert(std::size(kProbeOrder) == std::size(kLineSpeeds));
    static constexpr std::int64_t kTryMs = 2000;
    static constexpr int kSentencesToFind = 2;

    enum class Phase { kOff, kTrying, kFound };

    // Starts at first; the speed to set the line to now.
    std::uint32_t Start(std::uint32_t first, std::int64_t nowMs);
    void Stop() { phase_ = Phase::kOff; }
    // Bytes read at the speed being tried; true when they make it the speed found.
    bool Feed(std::string_view bytes);
    // The next speed to set the line to when the try of this one is over, else nothing.
    std::optional<std::uint32_t> Tick(std::int64_t nowMs);

    Phase phase() const { return phase_; }
    // The speed being tried, or found.
    std::uint32_t speed() const { return speed_; }
    // Whether every speed was tried once without a find.
    bool triedAll() const { return tries_ >= std::size(kProbeOrder); }

  private:
    // The speed after the current one.
    std::uint32_t NextSpeed() const;

    Phase phase_ = Phase::kOff;
    std::uint32_t first_ = kDefaultSpeed;
    std::uint32_t speed_ = kDefaultSpeed;
    std::size_t tries_ = 0;
    std::int64_t sinceMs_ = 0;
    int checked_ = 0;
    SentenceScan scan_;
};

}  // namespace pathlux
