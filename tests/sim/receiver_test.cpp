// The simulated receiver read by the monitor's interpretation core: what the monitor shows is
// what the simulator meant, after restarts and for receivers of one system or several.
#include "tools/sim/receiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "nmea/nmea.h"
#include "tests/support/recording_display.h"

namespace pathlux::sim {
namespace {

constexpr std::int64_t kNoon = 1796558400;  // 2026-12-06 12:00:00 UTC

// The monitor's system of a simulated satellite's.
constexpr Constellation kSystems[] = {Constellation::kGps, Constellation::kSbas,
                                      Constellation::kGlonass, Constellation::kGalileo,
                                      Constellation::kBeidou};

// A receiver and the monitor's interpretation core reading it, the TTFF timer ticking once per
// simulated second.
struct Bench {
    explicit Bench(const ReceiverSetup& setup) : receiver(setup), core(display) {}

    // One second, read by the core.
    std::string Second() {
        const std::vector<std::string> sentences = receiver.NextSecond();
        for (const std::string& s : sentences) {
            const std::string line = s + "\r\n";
            core.FeedBytes(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
        }
        if (core.ttffCounting()) {
            core.OnTimer(kTtffTimerId);
        }
        return sentences.front();
    }
    void Send(const std::string& line) {
        const ParsedCommand parsed = ParseCommand(line);
        ASSERT_EQ(parsed.verdict, Verdict::kAccepted) << line;
        receiver.Obey(parsed.command);
    }
    // Runs until the receiver reports a 3D fix; false when it does not come in time.
    bool RunUntil3D() {
        for (int i = 0; i < 120 && receiver.last().mode != FixMode::k3D; ++i) {
            Second();
        }
        return receiver.last().mode == FixMode::k3D;
    }

    // Every satellite the simulator lists in view shows once on the monitor, with its angles,
    // signal and use; a count of none reads as twelve.
    void ExpectViewAsMeant() const {
        const SecondState& said = receiver.last();
        const ReceiverState& seen = core.state();
        ASSERT_EQ(seen.ShownCount(),
                  said.inView.empty() ? 12 : static_cast<int>(said.inView.size()));
        for (const ViewEntry& e : said.inView) {
            const bool used =
                std::count(said.used.begin(), said.used.end(), SatelliteKey(e.system, e.prn)) == 1;
            int found = 0;
            for (int i = 0; i < seen.ShownCount(); ++i) {
                const ShownSatellite s = seen.Shown(i);
                if (s.id == SatelliteId{kSystems[static_cast<int>(e.system)], e.prn}) {
                    ++found;
                    ASSERT_EQ(
                        (std::array{s.record->elevation, s.record->azimuth, s.record->snr,
                                    s.record->used}),
                        (std::array{e.elevation, e.azimuth, std::max(e.snr, 0), used ? 1 : 0}));
                }
            }
            ASSERT_EQ(found, 1) << "system " << static_cast<int>(e.system) << " PRN " << e.prn;
        }
    }

    Receiver receiver;
    testing::RecordingDisplay display;
    NmeaInterpreter core;
};

// After a restart: the version sentence, no fix while the TTFF counts, then a 2D and a 3D fix in
// the time the kind of restart takes; the monitor's TTFF is the simulator's.
TEST(sim_receiver_test, RestartsLoseTheFixForTheTimeTheirKindTakes) {
    const struct {
        const char* command;
        int first2d;  // earliest and latest second of the first 2D fix, latest of the first 3D
        int last2d;
        int last3d;
    } rows[] = {
        {"$PNMRX111,COLD*40", 38, 44, 48},
        {"$PNMRX111,WARM*4D", 24, 27, 30},
        {"$PNMRX111,HOT*17", 3, 4, 6},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command);
        Bench bench({kDefaultPlace, kNoon, 2});
        ASSERT_TRUE(bench.RunUntil3D());
        bench.Send(row.command);
        int first2d = -1;
        int first3d = -1;
        for (int second = 0; first3d < 0 && second < 120; ++second) {
            EXPECT_EQ(bench.Second() == "$PNMX600 Nemerix NS1030,Version 1.05*2E", second == 0);
            ASSERT_NO_FATAL_FAILURE(bench.ExpectViewAsMeant()) << "second " << second;
            const FixMode mode = bench.receiver.last().mode;
            first2d = first2d < 0 && mode == FixMode::k2D ? second : first2d;
            first3d = mode == FixMode::k3D ? second : first3d;
            EXPECT_TRUE(first2d >= 0 || bench.display.Field(kFixField) == u"NA") << second;
        }
        EXPECT_GE(first2d, row.first2d);
        EXPECT_LE(first2d, row.last2d);
        EXPECT_LE(first3d, row.last3d);
        EXPECT_EQ(bench.display.Field(kTtffField), FormatTtff(first2d));
    }
}

// Every sentence type of a receiver of several systems, through sky positions where more than
// twelve satellites are in view, in each NMEA version's numbering.
TEST(sim_receiver_test, TheMonitorReadsWhatTheSimulatorMeant) {
    for (const NmeaVersion version : {NmeaVersion::k40, NmeaVersion::k410, NmeaVersion::k411}) {
        SCOPED_TRACE(static_cast<int>(version));
        Bench bench({kDefaultPlace, kNoon, 3, Talkers::kGnss, version});
        bench.Send("$PNMRX108,GGA,GLL,GSA,GSV,RMC,VTG,ZDA*1B");
        ASSERT_TRUE(bench.RunUntil3D());
        std::size_t mostInView = 0;
        for (int second = 0; second < 40; ++second) {
            bench.Second();
            ASSERT_NO_FATAL_FAILURE(bench.ExpectViewAsMeant()) << "second " << second;
            mostInView = std::max(mostInView, bench.receiver.last().inView.size());
        }
        EXPECT_EQ(bench.display.Field(kLatitudeField) + u" " + bench.display.Field(kLongitudeField),
                  u"N048\u00B007'02.28\" E011\u00B031'00.00\"");
        EXPECT_GT(mostInView, 12u);
    }
}

}  // namespace
}  // namespace pathlux::sim
