#include "window/auto_speed.h"

#include <algorithm>
#include <iterator>

namespace pathlux {

bool IsOfferedSpeed(std::uint32_t baud) {
    return std::find(std::begin(kLineSpeeds), std::end(kLineSpeeds), baud) != std::end(kLineSpeeds);
}

std::uint32_t AutoSpeed::Start(std::uint32_t first, std::int64_t nowMs) {
    phase_ = Phase::kTrying;
    first_ = IsOfferedSpeed(first) ? first : kDefaultSpeed;
    speed_ = first_;
    tries_ = 1;
    sinceMs_ = nowMs;
    checked_ = 0;
    scan_.Reset();
    return speed_;
}

bool AutoSpeed::Feed(std::string_view bytes) {
    if (phase_ != Phase::kTrying) {
        return false;
    }
    checked_ += scan_.Feed(bytes).checked;
    if (checked_ < kSentencesToFind) {
        return false;
    }
    phase_ = Phase::kFound;
    return true;
}

std::optional<std::uint32_t> AutoSpeed::Tick(std::int64_t nowMs) {
    if (phase_ != Phase::kTrying || nowMs - sinceMs_ < kTryMs) {
        return std::nullopt;
    }
    speed_ = NextSpeed();
    ++tries_;
    sinceMs_ = nowMs;
    checked_ = 0;
    scan_.Reset();
    return speed_;
}

// The probe order with the first speed taken out and put in front.
std::uint32_t AutoSpeed::NextSpeed() const {
    std::uint32_t order[std::size(kProbeOrder)];
    order[0] = first_;
    std::size_t n = 1;
    for (const std::uint32_t baud : kProbeOrder) {
        if (baud != first_) {
            order[n++] = baud;
        }
    }
    const auto at = std::find(order, order + n, speed_);
    return at + 1 < order + n ? *(at + 1) : order[0];
}

}  // namespace pathlux
