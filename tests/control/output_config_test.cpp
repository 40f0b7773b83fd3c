#include "control/output_config.h"

#include <gtest/gtest.h>

#include <vector>

namespace pathlux {
namespace {

struct Step {
    enum Kind { kAdd, kRate, kClear } kind;
    int key = 0;
    int value = 0;
};

// The dialog's list and rate rules as steps, from the default configuration.
TEST(output_config_test, ListAndRateStepsBuildTheSentences) {
    const struct {
        const char* legend;
        std::vector<Step> steps;
        TextView summary;
        TextView listCommand;
        TextView rateCommand;
        bool okEnabled;
    } cases[] = {
        {"defaults",
         {},
         u"GGA1 GSA1 GSV1 RMC1 ",
         u"$PNMRX108,GGA,GSA,GSV,RMC*6A",
         u"$PNMRX103,GGA,1,GSA,1,GSV,1,RMC,1*61",
         true},
        {"empty list", {{Step::kClear}}, u"", u"$PNMRX108*60", u"$PNMRX103*6B", false},
        {"click order, a rate, a listed sentence again",
         {{Step::kClear},
          {Step::kAdd, kKeyRmc},
          {Step::kAdd, kKeyGga},
          {Step::kAdd, kKeyRmc},
          {Step::kRate, kKeyRmc, 3}},
         u"RMC3 GGA1 ",
         u"$PNMRX108,RMC,GGA*7D",
         u"$PNMRX103,RMC,3,GGA,1*74",
         true},
        {"rate of an unlisted sentence leaves the sentences",
         {{Step::kClear}, {Step::kAdd, kKeyRmc}, {Step::kRate, kKeyZda, 5}},
         u"RMC1 ",
         u"$PNMRX108,RMC*10",
         u"$PNMRX103,RMC,1*06",
         true},
        {"clear resets rates",
         {{Step::kRate, kKeyGga, 4}, {Step::kClear}, {Step::kAdd, kKeyGga}},
         u"GGA1 ",
         u"$PNMRX108,GGA*0D",
         u"$PNMRX103,GGA,1*1B",
         true},
        {"out-of-range keys ignored",
         {{Step::kClear}, {Step::kAdd, 7}, {Step::kAdd, -1}, {Step::kRate, 9, 2}},
         u"",
         u"$PNMRX108*60",
         u"$PNMRX103*6B",
         false},
        {"all seven at rate 8, an eighth ignored: the longest sentence",
         {{Step::kClear},
          {Step::kAdd, 0},
          {Step::kAdd, 1},
          {Step::kAdd, 2},
          {Step::kAdd, 3},
          {Step::kAdd, 4},
          {Step::kAdd, 5},
          {Step::kAdd, 6},
          {Step::kAdd, 0},
          {Step::kRate, 0, 8},
          {Step::kRate, 1, 8},
          {Step::kRate, 2, 8},
          {Step::kRate, 3, 8},
          {Step::kRate, 4, 8},
          {Step::kRate, 5, 8},
          {Step::kRate, 6, 8}},
         u"GGA8 GLL8 GSA8 GSV8 RMC8 VTG8 ZDA8 ",
         u"$PNMRX108,GGA,GLL,GSA,GSV,RMC,VTG,ZDA*1B",
         u"$PNMRX103,GGA,8,GLL,8,GSA,8,GSV,8,RMC,8,VTG,8,ZDA,8*04",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        OutputSelection selection{NmeaOutputConfig{}};
        for (const Step& step : c.steps) {
            switch (step.kind) {
                case Step::kAdd:
                    selection.AddKey(step.key);
                    break;
                case Step::kRate:
                    selection.SetRate(step.key, step.value);
                    break;
                case Step::kClear:
                    selection.Clear();
                    break;
            }
        }
        EXPECT_EQ(selection.summary(), Text(c.summary));
        EXPECT_EQ(selection.listCommand(), Text(c.listCommand));
        EXPECT_EQ(selection.rateCommand(), Text(c.rateCommand));
        EXPECT_EQ(selection.okEnabled(), c.okEnabled);
    }
}

// Bytes a second of the listed sentences at their rates, GSV as many messages as the satellites
// in view need.
TEST(output_config_test, LineBudgetCountsListedSentencesAtTheirRates) {
    const struct {
        int inView;
        int gsvMessages;
    } messages[] = {{-5, 1}, {0, 1}, {4, 1}, {5, 2}, {13, 4}, {52, 13}};
    for (const auto& m : messages) {
        EXPECT_EQ(GsvMessagesFor(m.inView), m.gsvMessages) << m.inView << " in view";
    }
    const struct {
        const char* legend;
        int gsvRate;
        int count;
        double bytes;
    } cases[] = {
        {"defaults", 1, 4, 74 + 66 + 3 * 70 + 72},
        {"GSV every other second", 2, 4, 74 + 66 + 105 + 72},
        {"a rate of 0 counts as every second", 0, 4, 74 + 66 + 3 * 70 + 72},
        {"nothing listed", 1, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        NmeaOutputConfig config;  // GGA, GSA, GSV, RMC
        config.rates[kKeyGsv] = c.gsvRate;
        config.count = c.count;
        EXPECT_DOUBLE_EQ(OutputBytesPerSecond(config, 3), c.bytes);
    }
}

}  // namespace
}  // namespace pathlux
