// The window's checks of its line on a fake clock: sentences against garbage, silence against the
// receiver's cycle, and the automatic speed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "window/auto_speed.h"
#include "window/line_health.h"

namespace pathlux {
namespace {

// Sentences as the simulator sends them, with their checksums.
const std::string kGsa = "$GPGSA,A,1,,,,,,,,,,,,,,,*1E\r\n";            // 28 before CR LF
const std::string kGga = "$GPGGA,054943.000,,,,,0,00,,,M,,M,,*77\r\n";  // 38
const std::string kNoise(40, '\xA5');

TEST(line_check_test, SentencesAgainstGarbage) {
    const struct {
        const char* legend;
        std::string bytes;
        std::size_t split;  // fed in two pieces, cut here
        int checked;
        int sentences;
        std::int64_t good;
        std::int64_t garbage;
    } cases[] = {
        {"a sentence with its checksum", kGsa, 0, 1, 1, 28, 0},
        {"cut anywhere it is the same", kGsa + kGga, 30, 2, 2, 66, 0},
        {"a wrong checksum is garbage", "$GPGSA,A,1,,,,,,,,,,,,,,,*1F\r\n", 0, 0, 0, 0, 28},
        {"no checksum is a sentence unchecked", "$GPGSA,A,1\r\n", 5, 0, 1, 10, 0},
        {"bytes between sentences", "xy" + kGsa + "z", 0, 1, 1, 28, 3},
        {"a control byte spoils the sentence", "$GPGSA,A\x01,1*00\r\n" + kGsa, 0, 1, 1, 28, 14},
        {"a new $ drops what came before it", "$GPG" + kGsa, 2, 1, 1, 28, 4},
        {"past the longest sentence", "$" + std::string(SentenceScan::kMaxSentence, 'A') + "\r\n",
         0, 0, 0, 0, static_cast<std::int64_t>(SentenceScan::kMaxSentence) + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        SentenceScan scan;
        LineCounts total = scan.Feed(std::string_view(c.bytes).substr(0, c.split));
        const LineCounts rest = scan.Feed(std::string_view(c.bytes).substr(c.split));
        total.checked += rest.checked;
        total.sentences += rest.sentences;
        total.goodBytes += rest.goodBytes;
        total.garbageBytes += rest.garbageBytes;
        EXPECT_EQ(total.checked, c.checked);
        EXPECT_EQ(total.sentences, c.sentences);
        EXPECT_EQ(total.goodBytes, c.good);
        EXPECT_EQ(total.garbageBytes, c.garbage);
    }
}

TEST(line_check_test, SilenceCountsAgainstTheCycleAndGarbageAgainstSentences) {
    // At ms: the bytes that come (if any), then what the window would show.
    struct Step {
        std::int64_t ms;
        std::string bytes;
        int silentSeconds;
        bool garbled;
    };
    const struct {
        const char* legend;
        std::vector<Step> steps;
    } cases[] = {
        {"nothing after the opening: silent after 3 s",
         {{2999, "", 0, false}, {3000, "", 3, false}, {7500, "", 7, false}}},
        {"a 2 Hz receiver goes quiet for 3 s (not three of its cycles) and comes back",
         {{1000, kGsa, 0, false},
          {1500, kGsa, 0, false},
          {2000, kGsa, 0, false},
          {4999, "", 0, false},
          {5000, "", 3, false},
          {7500, "", 5, false},
          {8000, kGga, 0, false}}},
        {"a receiver every 5 s is silent after three of its cycles",
         {{500, kGsa, 0, false},
          {5500, kGsa, 0, false},
          {10500, kGsa, 0, false},
          {24499, "", 0, false},
          {25500, "", 15, false}}},
        {"an outage does not become the cycle",
         {{1000, kGsa, 0, false},
          {2000, kGsa, 0, false},
          {12000, kGsa, 0, false},
          {13000, kGsa, 0, false},
          {16000, "", 3, false}}},
        {"a wrong speed: garbage for 2 s",
         {{500, kNoise, 0, false},
          {1000, kNoise, 0, false},
          {1500, kNoise, 0, false},
          {1999, kNoise, 0, false},
          {2000, kNoise, 0, true},
          {3000, kNoise, 3, true}}},
        {"noise on a good line is garbage only at three times the sentences",
         {{500, kGsa + kNoise, 0, false},
          {1500, kGsa + kNoise, 0, false},
          {2500, kGsa + kNoise, 0, false}}},
        {"garbage goes out of the last 2 s",
         {{1000, kNoise, 0, false}, {2200, kNoise, 0, true}, {4300, "", 4, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        LineHealth health;
        health.Restart(0);
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.ms);
            health.Feed(step.bytes, step.ms);
            EXPECT_EQ(health.SilentSeconds(step.ms), step.silentSeconds);
            EXPECT_EQ(health.Garbled(step.ms), step.garbled);
        }
    }
}

TEST(line_check_test, ANewSpeedForgetsTheGarbageOfTheOld) {
    LineHealth health;
    health.Restart(0);
    for (std::int64_t ms = 0; ms <= 2500; ms += 500) {
        health.Feed(kNoise, ms);
    }
    ASSERT_TRUE(health.Garbled(2500));
    health.SpeedChanged(2500);
    health.Feed(kNoise, 3000);
    EXPECT_FALSE(health.Garbled(3000));
    EXPECT_TRUE(health.Garbled(4500)) << "garbage at the new speed too";
}

TEST(line_check_test, AutomaticSpeedTriesEachInTurnUntilSentencesCome) {
    using Phase = AutoSpeed::Phase;
    // At ms: the bytes read, then the tick; the speed tried or found after it.
    struct Step {
        std::int64_t ms;
        std::string bytes;
        std::uint32_t speed;
        Phase phase;
    };
    const struct {
        const char* legend;
        std::uint32_t first;
        std::vector<Step> steps;
    } cases[] = {
        {"found at the first speed after two sentences",
         9600,
         {{500, kGsa, 9600, Phase::kTrying},
          {900, kGga, 9600, Phase::kFound},
          {5000, "", 9600, Phase::kFound}}},
        {"the first speed first and only once, each for 2 s; found amid garbage",
         38400,
         {{1999, kNoise, 38400, Phase::kTrying},
          {2000, "", 9600, Phase::kTrying},
          {4000, kNoise, 4800, Phase::kTrying},
          {6000, "", 115200, Phase::kTrying},
          {6500, kNoise + kGsa + kGga, 115200, Phase::kFound}}},
        {"a sentence cut by the change of speed does not count",
         9600,
         {{1000, kGsa.substr(0, 10), 9600, Phase::kTrying},
          {2000, "", 4800, Phase::kTrying},
          {2500, kGsa.substr(10) + kGga, 4800, Phase::kTrying}}},
        {"after the last speed, the first again",
         9600,
         {{16000, "", 921600, Phase::kTrying}, {18000, "", 9600, Phase::kTrying}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        AutoSpeed automatic;
        EXPECT_EQ(automatic.Start(c.first, 0), c.first);
        std::int64_t ticked = 0;
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.ms);
            automatic.Feed(step.bytes);
            // Ticks as the window's timer does, each 250 ms up to the step.
            for (; ticked + 250 <= step.ms; ticked += 250) {
                automatic.Tick(ticked + 250);
            }
            automatic.Tick(step.ms);
            EXPECT_EQ(automatic.speed(), step.speed);
            EXPECT_EQ(automatic.phase(), step.phase);
        }
    }
}

}  // namespace
}  // namespace pathlux
