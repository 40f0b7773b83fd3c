#include "tools/sim/faults.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "control/checksum.h"
#include "nmea/nmea.h"

namespace pathlux::sim {
namespace {

const std::string kKeyGga =
    "$GPGGA,120000.000,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,0.0,M,,*6C";

std::string Joined(const std::vector<Chunk>& chunks) {
    std::string all;
    for (const Chunk& c : chunks) {
        all += c.bytes;
    }
    return all;
}

bool ChecksumRight(const std::string& sentence) {
    std::string body = sentence.substr(0, sentence.size() - 3);
    AppendChecksum(body);
    return body == sentence;
}

// What the monitor's framer makes of the bytes: the sentences it dispatches.
class SentenceCollector : public FramerSink {
  public:
    void OnLogLine(const Text&) override { ++lines; }
    void OnSentence(TextView sentence) override { sentences.emplace_back(sentence); }
    std::vector<Text> sentences;
    int lines = 0;
};

std::vector<Text> Frame(const std::string& bytes) {
    SentenceFramer framer;
    SentenceCollector sink;
    framer.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), sink);
    return sink.sentences;
}

struct FaultCase {
    const char* legend;
    unsigned fault;
    // Checks one faulty emission of kKeyGga + CR LF.
    void (*check)(const std::vector<Chunk>& chunks);
};

const FaultCase kFaultCases[] = {
    {"no fault: the line as it is", 0,
     [](const std::vector<Chunk>& chunks) {
         ASSERT_EQ(chunks.size(), 1u);
         EXPECT_EQ(chunks[0].bytes, kKeyGga + "\r\n");
         EXPECT_FALSE(chunks[0].pauseAfter);
     }},
    {"noise before the sentence, which still arrives", kFaultNoise,
     [](const std::vector<Chunk>& chunks) {
         const std::string all = Joined(chunks);
         ASSERT_TRUE(all.ends_with(kKeyGga + "\r\n"));
         const std::string noise = all.substr(0, all.size() - kKeyGga.size() - 2);
         EXPECT_GE(noise.size(), 1u);
         EXPECT_LE(noise.size(), FaultInjector::kMaxNoise);
         EXPECT_EQ(noise.find_first_of("$\r\n"), std::string::npos);
         EXPECT_EQ(Frame(all), std::vector<Text>{Widen(kKeyGga)});
     }},
    {"a control byte spoils the sentence", kFaultControl,
     [](const std::vector<Chunk>& chunks) {
         const std::string all = Joined(chunks);
         EXPECT_EQ(all.size(), kKeyGga.size() + 3);
         EXPECT_EQ(all[0], '$');
         EXPECT_TRUE(Frame(all).empty()) << "the framer drops it";
     }},
    {"split into pieces with pauses between", kFaultSplit,
     [](const std::vector<Chunk>& chunks) {
         ASSERT_GE(chunks.size(), 2u);
         ASSERT_LE(chunks.size(), 3u);
         for (std::size_t i = 0; i < chunks.size(); ++i) {
             EXPECT_FALSE(chunks[i].bytes.empty());
             EXPECT_EQ(chunks[i].pauseAfter, i + 1 < chunks.size());
         }
         EXPECT_EQ(Joined(chunks), kKeyGga + "\r\n");
     }},
    {"wrong checksum, sentence otherwise intact", kFaultChecksum,
     [](const std::vector<Chunk>& chunks) {
         const std::string all = Joined(chunks);
         ASSERT_EQ(all.size(), kKeyGga.size() + 2);
         const std::string sentence = all.substr(0, kKeyGga.size());
         EXPECT_EQ(sentence.substr(0, kKeyGga.size() - 2), kKeyGga.substr(0, kKeyGga.size() - 2));
         EXPECT_FALSE(ChecksumRight(sentence));
     }},
    {"trailing fields missing, checksum right", kFaultMissing,
     [](const std::vector<Chunk>& chunks) {
         const std::string all = Joined(chunks);
         ASSERT_TRUE(all.ends_with("\r\n"));
         const std::string sentence = all.substr(0, all.size() - 2);
         EXPECT_LT(sentence.size(), kKeyGga.size());
         EXPECT_TRUE(kKeyGga.starts_with(sentence.substr(0, sentence.size() - 3) + ","));
         EXPECT_TRUE(sentence.starts_with("$GPGGA,"));
         EXPECT_TRUE(ChecksumRight(sentence));
     }},
    {"a long run without CR before the sentence", kFaultLongLine,
     [](const std::vector<Chunk>& chunks) {
         const std::string all = Joined(chunks);
         ASSERT_TRUE(all.ends_with(kKeyGga + "\r\n"));
         const std::string run = all.substr(0, all.size() - kKeyGga.size() - 2);
         EXPECT_GE(run.size(), FaultInjector::kMinLongLine);
         EXPECT_LE(run.size(), FaultInjector::kMaxLongLine);
         EXPECT_TRUE(std::all_of(run.begin(), run.end(),
                                 [](char c) { return c >= 0x20 && c < 0x7F && c != '$'; }));
     }},
};

TEST(sim_faults_test, EachFaultDoesWhatItSaysToEveryLine) {
    for (const FaultCase& c : kFaultCases) {
        SCOPED_TRACE(c.legend);
        FaultInjector injector(c.fault, 100, 3);
        for (int i = 0; i < 200; ++i) {
            std::vector<Chunk> chunks;
            injector.Emit(kKeyGga + "\r\n", chunks);
            c.check(chunks);
            if (testing::Test::HasFatalFailure()) {
                return;
            }
        }
    }
}

TEST(sim_faults_test, ChanceDecidesHowManyLinesAreHit) {
    const struct {
        const char* legend;
        int percent;
        int atLeast;
        int atMost;
    } rows[] = {
        {"never", 0, 0, 0},
        {"about one in five", 20, 120, 280},
        {"always", 100, 1000, 1000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        FaultInjector injector(kFaultChecksum, row.percent, 9);
        int hit = 0;
        for (int i = 0; i < 1000; ++i) {
            std::vector<Chunk> chunks;
            injector.Emit(kKeyGga + "\r\n", chunks);
            hit += Joined(chunks) != kKeyGga + "\r\n";
        }
        EXPECT_GE(hit, row.atLeast);
        EXPECT_LE(hit, row.atMost);
    }
}

TEST(sim_faults_test, LinesWithoutChecksumOrEndingAreLeftAlone) {
    const struct {
        const char* legend;
        std::string line;
    } rows[] = {
        {"no checksum", "$GPGGA,1,2,3\r\n"},
        {"no line end", kKeyGga},
        {"empty", ""},
        {"a bare line end", "\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        FaultInjector injector(kFaultChecksum | kFaultMissing, 100, 5);
        std::vector<Chunk> chunks;
        injector.Emit(row.line, chunks);
        const std::string all = Joined(chunks);
        if (row.line == kKeyGga) {
            EXPECT_NE(all, row.line) << "the checksum is still there to spoil";
        } else {
            EXPECT_EQ(all, row.line);
        }
    }
}

TEST(sim_faults_test, ParsesFaultLists) {
    const struct {
        const char* legend;
        const char* list;
        bool ok;
        unsigned faults;
    } rows[] = {
        {"one", "noise", true, kFaultNoise},
        {"several", "split,checksum,flood", true, kFaultSplit | kFaultChecksum | kFaultFlood},
        {"all", "noise,control,split,checksum,missing,long,flood", true, 0x7F},
        {"unknown name", "noise,static", false, 0},
        {"empty", "", false, 0},
        {"trailing comma", "noise,", false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        unsigned faults = 0;
        EXPECT_EQ(ParseFaults(row.list, faults), row.ok);
        EXPECT_EQ(faults, row.faults);
    }
}

}  // namespace
}  // namespace pathlux::sim
