// The simulator as a receiver of several systems, read by the monitor's interpretation core: in
// each NMEA version's numbering the monitor shows what the receiver says.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "control/checksum.h"
#include "nmea/nmea.h"
#include "tools/sim/options.h"
#include "tools/sim/receiver.h"

namespace pathlux::sim {
namespace {

constexpr std::int64_t kNoon = 1796558400;  // 2026-12-06 12:00:00 UTC

class FixDisplay : public MonitorDisplay {
  public:
    void SetFieldText(int controlId, const Text& text) override {
        if (controlId == kFixField) {
            fix = text;
        }
    }
    void AppendLog(Text) override {}
    void StartTimer(int, int) override {}
    void StopTimer(int) override {}
    void RedrawSkyPlot() override {}
    void RedrawSignalBars() override {}

    Text fix;
};

// The monitor's system and number of a simulated satellite.
SatelliteId IdOf(const ViewEntry& e) {
    constexpr Constellation kSystems[] = {Constellation::kGps, Constellation::kSbas,
                                          Constellation::kGlonass, Constellation::kGalileo,
                                          Constellation::kBeidou};
    return {kSystems[static_cast<int>(e.system)], e.prn};
}

TEST(sim_gnss_test, TheMonitorShowsEverySystemsSatellitesAsTheReceiverSaysThem) {
    for (const NmeaVersion nmea : {NmeaVersion::k40, NmeaVersion::k410, NmeaVersion::k411}) {
        SCOPED_TRACE(static_cast<int>(nmea));
        Receiver receiver({kDefaultPlace, kNoon, 3, Talkers::kGnss, nmea});
        FixDisplay display;
        NmeaInterpreter core(display);
        for (int second = 0; second < 40; ++second) {
            for (const std::string& s : receiver.NextSecond()) {
                ASSERT_LE(s.size(), 80u) << s;
                std::string body = s.substr(0, s.size() - 3);
                AppendChecksum(body);
                ASSERT_EQ(body, s);
                const std::string line = s + "\r\n";
                core.FeedBytes(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
            }
        }
        const SecondState& said = receiver.last();
        ASSERT_EQ(said.mode, FixMode::k3D);
        EXPECT_EQ(display.fix, u"3D");

        const ReceiverState& seen = core.state();
        std::set<GnssSystem> systems;
        ASSERT_EQ(seen.ShownCount(), static_cast<int>(said.inView.size()));
        for (const ViewEntry& e : said.inView) {
            SCOPED_TRACE(std::to_string(static_cast<int>(e.system)) + "/" + std::to_string(e.prn));
            systems.insert(e.system);
            int found = 0;
            for (int i = 0; i < seen.ShownCount(); ++i) {
                const ShownSatellite s = seen.Shown(i);
                if (s.id == IdOf(e)) {
                    ++found;
                    EXPECT_EQ(s.record->elevation, e.elevation);
                    EXPECT_EQ(s.record->azimuth, e.azimuth);
                    EXPECT_EQ(s.record->snr, std::max(e.snr, 0)) << "the L1 signal's";
                    const bool used = std::find(said.used.begin(), said.used.end(),
                                                SatelliteKey(e.system, e.prn)) != said.used.end();
                    EXPECT_EQ(s.record->used, used ? 1 : 0);
                }
            }
            EXPECT_EQ(found, 1);
        }
        EXPECT_EQ(systems.size(), 5u) << "GPS, SBAS, GLONASS, Galileo and BeiDou";
    }
}

TEST(sim_gnss_test, TalkersAndNmeaVersionsAreChosenOnTheCommandLine) {
    const struct {
        std::vector<std::string> args;
        std::string error;
        Talkers talkers;
        NmeaVersion nmea;
    } cases[] = {
        {{}, "", Talkers::kGps, NmeaVersion::k410},
        {{"--talkers", "gnss"}, "", Talkers::kGnss, NmeaVersion::k410},
        {{"--talkers", "gnss", "--nmea", "4.0"}, "", Talkers::kGnss, NmeaVersion::k40},
        {{"--nmea", "4.11", "--talkers", "gnss"}, "", Talkers::kGnss, NmeaVersion::k411},
        {{"--nmea", "4.11"}, "--nmea needs --talkers gnss", Talkers::kGps, NmeaVersion::k411},
        {{"--talkers", "GN"}, "bad value for --talkers: GN", Talkers::kGps, NmeaVersion::k410},
        {{"--talkers", "gnss", "--nmea", "4.1"},
         "bad value for --nmea: 4.1",
         Talkers::kGnss,
         NmeaVersion::k410},
    };
    for (const auto& c : cases) {
        SimOptions options;
        EXPECT_EQ(ParseOptions(c.args, options), c.error);
        EXPECT_EQ(options.talkers, c.talkers);
        EXPECT_EQ(options.nmea, c.nmea);
    }
}

}  // namespace
}  // namespace pathlux::sim
