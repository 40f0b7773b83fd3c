#include "tools/sim/receiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "control/checksum.h"
#include "nmea/nmea.h"
#include "tests/support/recording_display.h"

namespace pathlux::sim {
namespace {

constexpr std::int64_t kNoon = 1796558400;  // 2026-12-06 12:00:00 UTC
const std::string kVersion = "$PNMX600 Nemerix NS1030,Version 1.05*2E";

// A receiver and the monitor's interpretation core reading it, the TTFF timer ticking once per
// simulated second.
struct Bench {
    explicit Bench(std::uint32_t seed = 1, Place place = kDefaultPlace)
        : receiver({place, kNoon, seed}), core(display) {}

    std::vector<std::string> Second() {
        std::vector<std::string> sentences = receiver.NextSecond();
        for (const std::string& s : sentences) {
            const std::string line = s + "\r\n";
            core.FeedBytes(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
        }
        if (core.ttffCounting()) {
            core.OnTimer(kTtffTimerId);
        }
        return sentences;
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

    // Every satellite the simulator lists in view, in its order, with its angles, signal and use,
    // is what the monitor holds.
    void ExpectViewAsMeant() const {
        const SecondState& said = receiver.last();
        const ReceiverState& seen = core.state();
        // The monitor reads a count of none as twelve.
        ASSERT_EQ(seen.inViewCount,
                  said.inView.empty() ? 12 : static_cast<int>(said.inView.size()));
        for (std::size_t i = 0; i < said.inView.size(); ++i) {
            const ViewEntry& e = said.inView[i];
            const SatelliteRecord& r = seen.RecordOrZero(e.prn);
            const bool used = std::count(said.used.begin(), said.used.end(), e.prn) == 1;
            ASSERT_EQ(seen.inViewPrns[i], e.prn);
            ASSERT_EQ((std::array{r.elevation, r.azimuth, r.snr, r.used}),
                      (std::array{e.elevation, e.azimuth, std::max(e.snr, 0), used ? 1 : 0}))
                << "PRN " << e.prn;
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
        const char* legend;
        const char* command;
        int first2d;  // earliest and latest second of the first 2D fix, latest of the first 3D
        int last2d;
        int last3d;
        bool resetsOutput;
    } rows[] = {
        {"cold", "$PNMRX111,COLD*40", 38, 44, 48, false},
        {"warm", "$PNMRX111,WARM*4D", 24, 27, 30, false},
        {"hot", "$PNMRX111,HOT*17", 3, 4, 6, false},
        {"factory", "$PNMRX111,FACTORY*10", 38, 44, 48, true},
    };
    for (const auto& row : rows) {
        for (const std::uint32_t seed : {1u, 2u}) {
            SCOPED_TRACE(std::string(row.legend) + " seed " + std::to_string(seed));
            Bench bench(seed);
            bench.Send("$PNMRX108,GSA,GSV*77");
            ASSERT_TRUE(bench.RunUntil3D());
            bench.Send(row.command);
            int first2d = -1;
            int first3d = -1;
            for (int second = 0; first3d < 0 && second < 120; ++second) {
                EXPECT_EQ(bench.Second().front() == kVersion, second == 0);
                ASSERT_NO_FATAL_FAILURE(bench.ExpectViewAsMeant()) << "second " << second;
                const FixMode mode = bench.receiver.last().mode;
                first2d = first2d < 0 && mode == FixMode::k2D ? second : first2d;
                first3d = mode == FixMode::k3D ? second : first3d;
                if (first2d < 0) {
                    EXPECT_EQ(bench.display.Field(kFixField), u"NA");
                    EXPECT_TRUE(bench.core.ttffCounting());
                }
            }
            EXPECT_EQ(bench.display.Field(kVersionField), u"1.05");
            EXPECT_GE(first2d, row.first2d);
            EXPECT_LE(first2d, row.last2d);
            EXPECT_LT(first2d, first3d);
            EXPECT_LE(first3d, row.last3d);
            EXPECT_FALSE(bench.core.ttffCounting());
            EXPECT_EQ(bench.core.state().ttffSeconds, first2d);
            EXPECT_EQ(bench.display.Field(kTtffField), FormatTtff(first2d));
            EXPECT_EQ(bench.receiver.output() == OutputConfig{}, row.resetsOutput);
        }
    }
}

// The monitor reads what the simulator meant, south and west, over an hour in which more than
// twelve (four GSV pages) and SBAS satellites are in view at times. Every sentence fits a line and
// carries its checksum.
TEST(sim_receiver_test, TheMonitorReadsWhatTheSimulatorMeant) {
    Bench bench(7, {-0.1807, -78.4678, 2850});
    bench.Send("$PNMRX108,GGA,GLL,GSA,GSV,RMC,VTG,ZDA*1B");
    ASSERT_TRUE(bench.RunUntil3D());
    std::size_t mostInView = 0;
    bool sbasSeen = false;
    for (int second = 0; second < 3600; ++second) {
        bench.display.events.clear();
        for (const std::string& sentence : bench.Second()) {
            std::string rechecked = sentence.substr(0, sentence.size() - 3);
            AppendChecksum(rechecked);
            ASSERT_EQ(rechecked, sentence);
            ASSERT_LE(sentence.size(), 80u) << sentence;
        }
        ASSERT_EQ(bench.display.Count("sky"), 1) << "one whole GSV cycle a second";
        ASSERT_NO_FATAL_FAILURE(bench.ExpectViewAsMeant()) << "second " << second;
        const std::vector<ViewEntry>& inView = bench.receiver.last().inView;
        mostInView = std::max(mostInView, inView.size());
        sbasSeen = sbasSeen || inView.back().prn >= kSbasPrnFirst;
    }
    EXPECT_EQ(bench.display.Field(kLatitudeField), u"S000\u00B010'50.52\"");
    EXPECT_EQ(bench.display.Field(kLongitudeField), u"W078\u00B028'04.08\"");
    EXPECT_GT(mostInView, 12u);
    EXPECT_TRUE(sbasSeen);
}

}  // namespace
}  // namespace pathlux::sim
