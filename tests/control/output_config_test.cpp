#include "control/output_config.h"

#include <gtest/gtest.h>

#include <vector>

namespace pathlux {
namespace {

// A user's step in the dialog: add a sentence, choose a rate, or clear (key -1).
struct Step {
    int key;
    int rate = 0;  // 0 adds the sentence
};
constexpr Step kClear{-1};

// Every sentence at rate 8 and listed, then the first one an eighth time.
std::vector<Step> AllSevenAtRate8() {
    std::vector<Step> steps{kClear};
    for (int key = 0; key <= kSentenceKeyCount; ++key) {
        steps.push_back({key % kSentenceKeyCount, 8});
        steps.push_back({key % kSentenceKeyCount});
    }
    return steps;
}

// The dialog's list and rate rules as steps, from the default configuration.
TEST(output_config_test, ListAndRateStepsBuildTheSentences) {
    const struct {
        const char* legend;
        std::vector<Step> steps;
        TextView summary;
        TextView listCommand;
        TextView rateCommand;
    } cases[] = {
        {"defaults",
         {},
         u"GGA1 GSA1 GSV1 RMC1 ",
         u"$PNMRX108,GGA,GSA,GSV,RMC*6A",
         u"$PNMRX103,GGA,1,GSA,1,GSV,1,RMC,1*61"},
        {"click order, a rate, a listed sentence again",
         {kClear, {kKeyRmc}, {kKeyGga}, {kKeyRmc}, {kKeyRmc, 3}},
         u"RMC3 GGA1 ",
         u"$PNMRX108,RMC,GGA*7D",
         u"$PNMRX103,RMC,3,GGA,1*74"},
        {"rate of an unlisted sentence; clear resets rates",
         {{kKeyGga, 4}, kClear, {kKeyRmc}, {kKeyZda, 5}, {kKeyGga}},
         u"RMC1 GGA1 ",
         u"$PNMRX108,RMC,GGA*7D",
         u"$PNMRX103,RMC,1,GGA,1*76"},
        {"empty list; out-of-range keys ignored",
         {kClear, {7}, {-2}, {9, 2}},
         u"",
         u"$PNMRX108*60",
         u"$PNMRX103*6B"},
        {"all seven at rate 8, an eighth ignored: the longest sentence", AllSevenAtRate8(),
         u"GGA8 GLL8 GSA8 GSV8 RMC8 VTG8 ZDA8 ", u"$PNMRX108,GGA,GLL,GSA,GSV,RMC,VTG,ZDA*1B",
         u"$PNMRX103,GGA,8,GLL,8,GSA,8,GSV,8,RMC,8,VTG,8,ZDA,8*04"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        OutputSelection selection{NmeaOutputConfig{}};
        for (const Step& step : c.steps) {
            if (step.key == kClear.key) {
                selection.Clear();
            } else if (step.rate == 0) {
                selection.AddKey(step.key);
            } else {
                selection.SetRate(step.key, step.rate);
            }
        }
        EXPECT_EQ(selection.summary(), Text(c.summary));
        EXPECT_EQ(selection.listCommand(), Text(c.listCommand));
        EXPECT_EQ(selection.rateCommand(), Text(c.rateCommand));
        EXPECT_EQ(selection.okEnabled(), !c.summary.empty());
    }
}

// Bytes a second of the listed sentences at their rates, GSV as many messages as the satellites
// in view need (four a message, at least one).
TEST(output_config_test, LineBudgetCountsListedSentencesAtTheirRates) {
    const struct {
        const char* legend;
        int inView;
        int gsvRate;
        int count;
        double bytes;
    } cases[] = {
        {"defaults, 12 in view", 12, 1, 4, 74 + 66 + 3 * 70 + 72},
        {"GSV every other second, 9 in view", 9, 2, 4, 74 + 66 + 105 + 72},
        {"a rate of 0 counts as every second, 13 in view", 13, 0, 4, 74 + 66 + 4 * 70 + 72},
        {"none in view is one GSV", 0, 1, 4, 74 + 66 + 70 + 72},
        {"nothing listed", 52, 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        NmeaOutputConfig config;  // GGA, GSA, GSV, RMC
        config.rates[kKeyGsv] = c.gsvRate;
        config.count = c.count;
        EXPECT_DOUBLE_EQ(OutputBytesPerSecond(config, GsvMessagesFor(c.inView)), c.bytes);
    }
}

}  // namespace
}  // namespace pathlux
