#include "ttff/bench.h"

#include <cmath>
#include <iterator>

namespace pathlux::ttff {
namespace {

constexpr const char* kRestartNames[] = {"cold", "warm", "hot", "factory"};
static_assert(std::size(kRestartNames) == static_cast<std::size_t>(RestartKind::kFactory) + 1);

constexpr double kEarthRadiusMetres = 6371008.8;  // the mean radius
constexpr double kPi = 3.14159265358979323846;
constexpr double kUnitsPerDegree = 600000.0;  // 1/10000 arc-minute

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}

}  // namespace

const char* RestartName(RestartKind kind) {
    return kRestartNames[static_cast<int>(kind)];
}

std::optional<RestartKind> ParseRestartName(const std::string& name) {
    for (std::size_t i = 0; i < std::size(kRestartNames); ++i) {
        if (name == kRestartNames[i]) {
            return static_cast<RestartKind>(i);
        }
    }
    return std::nullopt;
}

const char* EndingName(Ending ending) {
    switch (ending) {
        case Ending::kComplete:
            return "complete";
        case Ending::kInterrupted:
            return "interrupted";
        case Ending::kPortLost:
            return "port lost";
        case Ending::kNone:
            break;
    }
    return "running";
}

double DistanceMetres(double lat1Deg, double lon1Deg, double lat2Deg, double lon2Deg) {
    // Haversine: well conditioned for the short distances a bench asks about.
    const double dLat = Radians(lat2Deg - lat1Deg);
    const double dLon = Radians(lon2Deg - lon1Deg);
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(Radians(lat1Deg)) * std::cos(Radians(lat2Deg)) * std::sin(dLon / 2) *
                         std::sin(dLon / 2);
    return 2 * kEarthRadiusMetres * std::asin(std::sqrt(std::fmin(1.0, a)));
}

bool TtffBench::Wants(Target target) const {
    switch (target) {
        case kTarget2D:
            return true;
        case kTarget3D:
            return settings_.until3d;
        case kTargetNear:
            return settings_.near.has_value();
    }
    return false;
}

void TtffBench::Start(TimePoint now) {
    runs_.clear();
    ending_ = Ending::kNone;
    if (settings_.runs <= 0) {
        phase_ = Phase::kEnded;
        ending_ = Ending::kComplete;
        return;
    }
    BeginSettling(now);
}

void TtffBench::Stop(Ending why) {
    if (phase_ == Phase::kEnded) {
        return;
    }
    phase_ = Phase::kEnded;
    ending_ = why;
}

void TtffBench::BeginSettling(TimePoint now) {
    phase_ = Phase::kSettling;
    phaseStart_ = now;
    settledSince_ = now;
}

void TtffBench::OnFixMode(TimePoint at, int mode) {
    const int shown = mode == 2 || mode == 3 ? mode : 1;
    if (shown != lastMode_) {
        settledSince_ = at;
        lastMode_ = shown;
    }
    if (phase_ != Phase::kRunning) {
        return;
    }
    if (shown == 1) {
        restartSeen_ = true;
        return;
    }
    if (!restartSeen_) {
        return;
    }
    Reach(kTarget2D, at);
    if (shown == 3) {
        Reach(kTarget3D, at);
    }
    FinishRunIfComplete(at);
}

void TtffBench::OnRestartAnnounced(TimePoint) {
    if (phase_ == Phase::kRunning) {
        restartSeen_ = true;
    }
}

void TtffBench::OnPosition(TimePoint at, std::int32_t latitude, std::int32_t longitude,
                           bool fixed) {
    if (phase_ != Phase::kRunning || !restartSeen_ || !settings_.near) {
        return;
    }
    // A receiver without a fix sends empty fields, which read as 0°0': no place to measure.
    if (!fixed && !current_.ms[kTarget2D]) {
        return;
    }
    const NearPlace& near = *settings_.near;
    const double distance = DistanceMetres(latitude / kUnitsPerDegree, longitude / kUnitsPerDegree,
                                           near.latitudeDeg, near.longitudeDeg);
    if (distance <= near.metres) {
        Reach(kTargetNear, at);
        FinishRunIfComplete(at);
    }
}

void TtffBench::Reach(Target target, TimePoint at) {
    if (!Wants(target) || current_.ms[target]) {
        return;  // the first fix counts; later ones, and drops between, change nothing
    }
    current_.ms[target] = std::chrono::duration_cast<Millis>(at - phaseStart_).count();
    current_.utc[target] = lastUtc_;
}

void TtffBench::FinishRunIfComplete(TimePoint at) {
    for (int t = 0; t < kTargetCount; ++t) {
        if (Wants(static_cast<Target>(t)) && !current_.ms[t]) {
            return;
        }
    }
    FinishRun(at, false);
}

void TtffBench::FinishRun(TimePoint at, bool timedOut) {
    current_.timedOut = timedOut;
    runs_.push_back(current_);
    if (static_cast<int>(runs_.size()) >= settings_.runs) {
        phase_ = Phase::kEnded;
        ending_ = Ending::kComplete;
        return;
    }
    BeginSettling(at);
}

void TtffBench::OnTick(TimePoint now) {
    if (phase_ == Phase::kRunning && now - phaseStart_ >= settings_.timeout) {
        // The run ends at its deadline, not at the tick that noticed it.
        FinishRun(phaseStart_ + settings_.timeout, true);
    }
}

bool TtffBench::RestartDue(TimePoint now) const {
    if (phase_ != Phase::kSettling) {
        return false;
    }
    return now - settledSince_ >= settings_.settle ||
           now - phaseStart_ >= settings_.settle + settings_.timeout;
}

void TtffBench::RestartSent(TimePoint writeEnded) {
    if (phase_ != Phase::kSettling) {
        return;
    }
    phase_ = Phase::kRunning;
    phaseStart_ = writeEnded;
    restartSeen_ = false;
    current_ = RunResult{};
    current_.run = currentRun();
}

}  // namespace pathlux::ttff
