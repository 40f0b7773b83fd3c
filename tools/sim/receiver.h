// The simulated receiver: one second of NMEA output at a time, a fix that comes after a restart
// in the time its kind takes, and the output list and rates that the commands set.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tools/sim/commands.h"
#include "tools/sim/sky.h"

namespace pathlux::sim {

// 48°07.038' N 11°31.000' E, 545.4 m.
constexpr Place kDefaultPlace = {48.1173, 11.0 + 31.0 / 60.0, 545.4};
constexpr const char* kVersionHead = "$PNMX600 Nemerix NS1030";
constexpr const char* kFirmwareVersion = "1.05";
constexpr int kMaxChannels = 16;  // satellites listed in view at most
constexpr int kMaxUsed = 12;      // GSA has twelve slots
// A receiver of several systems lists more, and uses up to kMaxUsed of each system.
constexpr int kGnssChannels = 32;

// What the output looks like: the GPS receiver's GP sentences, or a receiver of several systems
// (GPS, GLONASS, Galileo, BeiDou): GN position and fix, one GSA per system, GSV per system's
// talker, its satellites numbered as its NMEA version does.
enum class Talkers { kGps, kGnss };
enum class NmeaVersion { k40, k410, k411 };

struct ReceiverSetup {
    Place place = kDefaultPlace;
    std::int64_t startUtc = 0;  // UTC of the first second, seconds since 1970
    std::uint32_t seed = 1;
    Talkers talkers = Talkers::kGps;
    NmeaVersion nmea = NmeaVersion::k410;
};

enum class FixMode : int { kNone = 1, k2D = 2, k3D = 3 };

// "NA", "2D" or "3D", as the monitor shows it.
const char* FixModeName(FixMode mode);

struct ViewEntry {
    int prn = 0;
    int elevation = 0;
    int azimuth = 0;
    int snr = -1;  // -1 while not tracked (an empty field)
    GnssSystem system = GnssSystem::kGps;
};

// What the last second said.
struct SecondState {
    std::int64_t utc = 0;
    int sinceRestart = 0;  // 0 for the first second after a restart
    FixMode mode = FixMode::kNone;
    bool modeChanged = false;  // differs from the second before, or first after a restart
    std::vector<ViewEntry> inView;
    std::vector<int> used;  // SatelliteKey of each
    Dops dops;
};

// The place as GGA carries it: "ddmm.mmmm", N or S, "dddmm.mmmm", E or W, altitude "%.1f".
struct PositionFields {
    std::string latitude;
    std::string northSouth;
    std::string longitude;
    std::string eastWest;
    std::string altitude;
};
PositionFields FormatPosition(const Place& place);

class Receiver {
  public:
    // Powers on as after a warm restart (the almanac is kept), with the default output.
    explicit Receiver(const ReceiverSetup& setup);

    // Carries out an accepted command. A restart counts from the next second, which starts with
    // the version sentence; a factory restart is a cold one that also resets the output.
    void Obey(const Command& command);

    // Advances by one second and returns its sentences, without line ends, in output order.
    std::vector<std::string> NextSecond();

    const SecondState& last() const { return last_; }
    const OutputConfig& output() const { return output_; }
    const Place& place() const { return setup_.place; }

  private:
    void Restart(RestartKind kind);
    void Track(const std::vector<SkySatellite>& sky, int sinceRestart);
    // One sentence, or all pages of GSV.
    void AppendSentences(SentenceKey key, std::vector<std::string>& out) const;

    ReceiverSetup setup_;
    std::mt19937 random_;
    OutputConfig output_;
    std::int64_t nextSecond_ = 0;  // seconds since power-on
    std::int64_t restartSecond_ = 0;
    RestartKind restartKind_ = RestartKind::kWarm;
    int fix2dAfter_ = 0;
    int fix3dAfter_ = 0;
    bool versionDue_ = true;
    bool skyKnown_ = false;              // almanac kept, or learnt since the last fix
    std::vector<SkySatellite> tracked_;  // in the order found
    SecondState last_;
};

}  // namespace pathlux::sim
