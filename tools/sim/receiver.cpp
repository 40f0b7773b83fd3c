#include "tools/sim/receiver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <span>

#include "control/checksum.h"
#include "tools/sim/gnss_sky.h"
#include "tools/sim/satellite_output.h"
#include "tools/sim/sentence_format.h"

namespace pathlux::sim {
namespace {

// How long a start takes, in seconds after the restart: the first satellite is found, then one
// more every interval; the 2D and 3D fixes come at their times plus up to jitter seconds, and
// not before three (2D) or four (3D) satellites are tracked.
struct StartProfile {
    int firstFound;
    int interval;
    int fix2d;
    int fix3d;
    int jitter;
    bool keepsAlmanac;  // lists the satellites in view before it has found them
};
constexpr StartProfile kColdStart = {8, 3, 38, 42, 6, false};
constexpr StartProfile kWarmStart = {4, 2, 24, 27, 3, true};
constexpr StartProfile kHotStart = {1, 1, 3, 5, 1, true};

const StartProfile& ProfileOf(RestartKind kind) {
    switch (kind) {
        case RestartKind::kWarm:
            return kWarmStart;
        case RestartKind::kHot:
            return kHotStart;
        case RestartKind::kCold:
        case RestartKind::kFactory:
            break;
    }
    return kColdStart;
}

// "ddmm.mmmm" with the given number of degree digits, rounded to 1/10000 minute.
std::string FormatAngle(double degrees, int degreeDigits) {
    const auto units = static_cast<std::int64_t>(std::llround(std::fabs(degrees) * 600000.0));
    return Printf("%0*lld%02lld.%04lld", degreeDigits, static_cast<long long>(units / 600000),
                  static_cast<long long>(units % 600000 / 10000),
                  static_cast<long long>(units % 10000));
}

std::tm UtcOf(std::int64_t utc) {
    const auto t = static_cast<std::time_t>(utc);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return tm;
}

// The systems a receiver of several systems tracks side by side; SBAS goes with GPS.
int GroupOf(GnssSystem system) {
    return system == GnssSystem::kSbas ? static_cast<int>(GnssSystem::kGps)
                                       : static_cast<int>(system);
}
constexpr int kSystemGroups[] = {
    static_cast<int>(GnssSystem::kGps), static_cast<int>(GnssSystem::kGlonass),
    static_cast<int>(GnssSystem::kGalileo), static_cast<int>(GnssSystem::kBeidou)};
constexpr int kOneGroup[] = {-1};  // every system at once

std::span<const int> GroupsOf(bool gnss) {
    return gnss ? std::span<const int>(kSystemGroups) : std::span<const int>(kOneGroup);
}

// Satellites lower than this are tracked but not used by a receiver of several systems.
constexpr double kGnssNavigationMaskDeg = 15.0;

// SNR at the horizon, by GnssSystem.
constexpr double kSignalBase[] = {28.0, 26.0, 27.0, 29.0, 27.0};

}  // namespace

const char* FixModeName(FixMode mode) {
    switch (mode) {
        case FixMode::k2D:
            return "2D";
        case FixMode::k3D:
            return "3D";
        case FixMode::kNone:
            break;
    }
    return "NA";
}

PositionFields FormatPosition(const Place& place) {
    return {FormatAngle(place.latitudeDeg, 2), place.latitudeDeg < 0 ? "S" : "N",
            FormatAngle(place.longitudeDeg, 3), place.longitudeDeg < 0 ? "W" : "E",
            Printf("%.1f", place.altitudeM)};
}

Receiver::Receiver(const ReceiverSetup& setup) : setup_(setup), random_(setup.seed) {
    Restart(RestartKind::kWarm);
}

void Receiver::Restart(RestartKind kind) {
    const StartProfile& profile = ProfileOf(kind);
    restartKind_ = kind;
    restartSecond_ = nextSecond_;
    const int jitter = static_cast<int>(random_() % static_cast<unsigned>(profile.jitter + 1));
    fix2dAfter_ = profile.fix2d + jitter;
    fix3dAfter_ = profile.fix3d + jitter;
    skyKnown_ = profile.keepsAlmanac;
    tracked_.clear();
    versionDue_ = true;
    if (kind == RestartKind::kFactory) {
        output_ = OutputConfig{};
    }
}

void Receiver::Obey(const Command& command) {
    switch (command.type) {
        case Command::Type::kRestart:
            Restart(command.restart);
            break;
        case Command::Type::kOutputList:
            output_.keys = command.keys;
            break;
        case Command::Type::kOutputRates:
            for (std::size_t i = 0; i < command.keys.size(); ++i) {
                output_.rates[command.keys[i]] = command.rates[i];
            }
            break;
    }
}

void Receiver::Track(const std::vector<SkySatellite>& sky, int sinceRestart) {
    // Satellites that set are lost; the others move on.
    std::vector<SkySatellite> still;
    for (const SkySatellite& t : tracked_) {
        const auto it = std::find_if(sky.begin(), sky.end(), [&](const SkySatellite& s) {
            return SatelliteKey(s) == SatelliteKey(t);
        });
        if (it != sky.end()) {
            still.push_back(*it);
        }
    }
    tracked_ = std::move(still);

    const StartProfile& profile = ProfileOf(restartKind_);
    if (sinceRestart < profile.firstFound ||
        (sinceRestart - profile.firstFound) % profile.interval != 0) {
        return;
    }
    // The strongest signal is found first: the highest satellite not yet tracked. A receiver of
    // several systems searches each system at once.
    const bool gnss = setup_.talkers == Talkers::kGnss;
    const int channels = gnss ? kGnssChannels : kMaxChannels;
    for (const int group : GroupsOf(gnss)) {
        const SkySatellite* next = nullptr;
        for (const SkySatellite& s : sky) {
            const bool known = std::any_of(
                tracked_.begin(), tracked_.end(),
                [&](const SkySatellite& t) { return SatelliteKey(t) == SatelliteKey(s); });
            if (!known && (group < 0 || GroupOf(s.system) == group) &&
                (next == nullptr || s.elevationDeg > next->elevationDeg)) {
                next = &s;
            }
        }
        if (next != nullptr && static_cast<int>(tracked_.size()) < channels) {
            tracked_.push_back(*next);
        }
    }
}

std::vector<std::string> Receiver::NextSecond() {
    const std::int64_t second = nextSecond_++;
    const int sinceRestart = static_cast<int>(second - restartSecond_);
    const bool gnss = setup_.talkers == Talkers::kGnss;
    const std::int64_t utc = setup_.startUtc + second;
    const std::vector<SkySatellite> sky =
        gnss ? GnssSatellitesInView(setup_.place, utc) : SatellitesInView(setup_.place, utc);
    Track(sky, sinceRestart);

    const FixMode before = last_.mode;
    SecondState state;
    state.utc = setup_.startUtc + second;
    state.sinceRestart = sinceRestart;

    // The first kMaxUsed tracked; of each system for a receiver of several, which leaves the
    // lowest out of its solution.
    std::vector<SkySatellite> used;
    for (const int group : GroupsOf(gnss)) {
        int taken = 0;
        for (const SkySatellite& t : tracked_) {
            if ((group < 0 || GroupOf(t.system) == group) && taken < kMaxUsed &&
                (!gnss || t.elevationDeg >= kGnssNavigationMaskDeg)) {
                used.push_back(t);
                ++taken;
            }
        }
    }
    FixMode mode = sinceRestart >= fix3dAfter_   ? FixMode::k3D
                   : sinceRestart >= fix2dAfter_ ? FixMode::k2D
                                                 : FixMode::kNone;
    if (used.size() < 4 && mode == FixMode::k3D) {
        mode = FixMode::k2D;
    }
    if (used.size() < 3) {
        mode = FixMode::kNone;
    }
    if (mode != FixMode::kNone) {
        state.dops = ComputeDops(used, mode == FixMode::k3D);
        if (!state.dops.valid) {
            mode = FixMode::kNone;
        }
    }
    state.mode = mode;
    state.modeChanged = mode != before || sinceRestart == 0;
    if (mode != FixMode::kNone) {
        skyKnown_ = true;
        for (const SkySatellite& s : used) {
            state.used.push_back(SatelliteKey(s));
        }
    }

    // In view: the whole sky when the almanac is known, else only what has been found. A
    // receiver lists at most its channel count: the satellites it tracks, then the highest.
    const auto isTracked = [&](const SkySatellite& s) {
        return std::any_of(tracked_.begin(), tracked_.end(), [&](const SkySatellite& t) {
            return SatelliteKey(t) == SatelliteKey(s);
        });
    };
    std::vector<SkySatellite> view = skyKnown_ ? sky : tracked_;
    std::sort(view.begin(), view.end(), [&](const SkySatellite& a, const SkySatellite& b) {
        const bool ta = isTracked(a);
        const bool tb = isTracked(b);
        return ta != tb ? ta : a.elevationDeg > b.elevationDeg;
    });
    const std::size_t channels = gnss ? kGnssChannels : kMaxChannels;
    if (view.size() > channels) {
        view.resize(channels);
    }
    std::sort(view.begin(), view.end(), [](const SkySatellite& a, const SkySatellite& b) {
        return std::pair(a.system, a.prn) < std::pair(b.system, b.prn);
    });
    for (const SkySatellite& s : view) {
        ViewEntry entry{s.prn, static_cast<int>(std::lround(s.elevationDeg)),
                        static_cast<int>(std::lround(s.azimuthDeg)) % 360, -1, s.system};
        if (isTracked(s)) {
            // Stronger signals from higher up; SBAS a little weaker; a few dB of noise.
            const double base = kSignalBase[static_cast<int>(s.system)];
            const int noise = static_cast<int>(random_() % 5) - 2;
            entry.snr = std::clamp(static_cast<int>(base + 0.22 * s.elevationDeg) + noise, 0, 99);
        }
        state.inView.push_back(entry);
    }
    last_ = std::move(state);

    std::vector<std::string> sentences;
    if (versionDue_) {
        std::string version = std::string(kVersionHead) + ",Version " + kFirmwareVersion;
        AppendChecksum(version);
        sentences.push_back(std::move(version));
        versionDue_ = false;
    }
    for (const SentenceKey key : output_.keys) {
        if (second % output_.rates[key] == 0) {
            AppendSentences(key, sentences);
        }
    }
    return sentences;
}

void Receiver::AppendSentences(SentenceKey key, std::vector<std::string>& out) const {
    const std::tm tm = UtcOf(last_.utc);
    const std::string time = Printf("%02d%02d%02d.000", tm.tm_hour, tm.tm_min, tm.tm_sec);
    const bool fix = last_.mode != FixMode::kNone;
    const PositionFields pos = FormatPosition(setup_.place);
    const std::string latLon =
        fix ? pos.latitude + "," + pos.northSouth + "," + pos.longitude + "," + pos.eastWest
            : ",,,";
    // Position, time and course come from the combined solution of a receiver of several systems.
    const std::string head = setup_.talkers == Talkers::kGnss ? "$GN" : "$GP";
    std::string s;
    switch (key) {
        case kKeyGga:
            s = head + "GGA," + time + "," + latLon +
                (fix ? Printf(",1,%02d,", static_cast<int>(last_.used.size())) +
                           Dop(last_.dops.hdop) + "," + pos.altitude + ",M,0.0,M,,"
                     : ",0,00,,,M,,M,,");
            break;
        case kKeyGll:
            s = head + "GLL," + latLon + "," + time + (fix ? ",A,A" : ",V,N");
            break;
        case kKeyGsa:
        case kKeyGsv:
            for (std::string& sentence : key == kKeyGsa
                                             ? GsaSentences(last_, setup_.talkers, setup_.nmea)
                                             : GsvSentences(last_, setup_.talkers, setup_.nmea)) {
                AppendChecksum(sentence);
                out.push_back(std::move(sentence));
            }
            return;
        case kKeyRmc:
            s = head + "RMC," + time + (fix ? ",A," : ",V,") + latLon +
                (fix ? ",0.00,0.00," : ",,,") +
                Printf("%02d%02d%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year % 100) +
                (fix ? ",,,A" : ",,,N");
            break;
        case kKeyVtg:
            s = head + (fix ? "VTG,0.00,T,,M,0.00,N,0.00,K,A" : "VTG,,T,,M,,N,,K,N");
            break;
        case kKeyZda:
            s = head + "ZDA," + time +
                Printf(",%02d,%02d,%04d,00,00", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
            break;
    }
    AppendChecksum(s);
    out.push_back(std::move(s));
}

}  // namespace pathlux::sim
