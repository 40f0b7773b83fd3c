#include "tools/sim/faults.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/checksum.h"
#include "nmea/nmea.h"
#include "tools/sim/options.h"

namespace pathlux::sim {
namespace {

const std::string kGga = "$GPGGA,120000.000,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,0.0,M,,*6C";

// What the monitor's framer dispatches of the bytes: kGga as it was sent, kGga with other
// checksum digits, kGga cut short after a comma with its checksum right, or something else.
std::string Dispatched(const std::string& bytes) {
    struct Collector : FramerSink {
        void OnLogLine(TextView) override {}
        void OnSentence(TextView s) override { sentences.emplace_back(s.begin(), s.end()); }
        std::vector<std::string> sentences;
    } sink;
    SentenceFramer().Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), sink);
    if (sink.sentences.size() != 1) {
        return std::to_string(sink.sentences.size()) + " sentences";
    }
    const std::string& s = sink.sentences[0];
    const std::string body = s.substr(0, s.rfind('*'));
    std::string rechecked = body;
    AppendChecksum(rechecked);
    if (s.size() == kGga.size() && body == kGga.substr(0, kGga.size() - 3)) {
        return s == kGga ? "as sent" : "wrong checksum";
    }
    return s == rechecked && kGga.starts_with(body + ",") ? "cut short" : "other: " + s;
}

// A fault that does nothing, or spoils more than it says, makes the tests on the simulator pass
// or fail for the wrong reason.
TEST(sim_faults_test, EachFaultDoesWhatItSaysToEveryLine) {
    constexpr std::size_t kLongMin = FaultInjector::kMinLongLine;
    constexpr std::size_t kLongMax = FaultInjector::kMaxLongLine;
    const struct {
        const char* legend;
        unsigned fault;
        int percent;
        std::string dispatched;
        std::size_t runMin;  // bytes before the sentence's "$", with no line end among them
        std::size_t runMax;
    } rows[] = {
        {"a fault at no chance", kFaultChecksum, 0, "as sent", 0, 0},
        {"noise before the sentence", kFaultNoise, 100, "as sent", 1, FaultInjector::kMaxNoise},
        {"a control byte inside", kFaultControl, 100, "0 sentences", 0, 0},
        {"split with pauses", kFaultSplit, 100, "as sent", 0, 0},
        {"wrong checksum", kFaultChecksum, 100, "wrong checksum", 0, 0},
        {"trailing fields missing", kFaultMissing, 100, "cut short", 0, 0},
        {"a long run before", kFaultLongLine, 100, "as sent", kLongMin, kLongMax},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        FaultInjector injector(row.fault, row.percent, 3);
        for (int i = 0; i < 100; ++i) {
            std::vector<Chunk> chunks;
            injector.Emit(kGga + "\r\n", chunks);
            ASSERT_EQ(chunks.size() > 1, row.fault == kFaultSplit);
            std::string bytes;
            for (const Chunk& c : chunks) {
                bytes += c.bytes;
                EXPECT_EQ(c.pauseAfter, &c != &chunks.back()) << "a pause between pieces";
            }
            ASSERT_EQ(Dispatched(bytes), row.dispatched);
            const std::string run = bytes.substr(0, bytes.find('$'));
            ASSERT_GE(run.size(), row.runMin);
            ASSERT_LE(run.size(), row.runMax);
            ASSERT_EQ(run.find_first_of("\r\n"), std::string::npos);
        }
    }
}

// A fault list read wrong would leave the soak's line faults uninjected, and the soak passing
// for the wrong reason.
TEST(sim_faults_test, FaultListsAddUpAndABadOneIsRefused) {
    SimOptions options;
    EXPECT_EQ(ParseOptions({"--fault", "noise,split", "--fault", "flood"}, options), "");
    EXPECT_EQ(options.faults, kFaultNoise | kFaultSplit | kFaultFlood);
    EXPECT_EQ(ParseOptions({"--fault", "noise,"}, options), "bad value for --fault: noise,");
}

}  // namespace
}  // namespace pathlux::sim
