#include "control/output_config.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/commands.h"

namespace pathlux {
namespace {

struct Step {
    enum Kind { kAdd, kRate, kClear } kind;
    int key = 0;
    int value = 0;
};

struct SelectionCase {
    const char* legend;
    std::vector<Step> steps;
    TextView summary;
    TextView listCommand;
    TextView rateCommand;
    bool okEnabled;
};

TEST(output_config_test, ListAndRateLogicBuildsTheSentences) {
    const SelectionCase cases[] = {
        {"defaults",
         {},
         u"GGA1 GSA1 GSV1 RMC1 ",
         u"$PNMRX108,GGA,GSA,GSV,RMC*6A",
         u"$PNMRX103,GGA,1,GSA,1,GSV,1,RMC,1*61",
         true},
        {"empty list", {{Step::kClear}}, u"", u"$PNMRX108*60", u"$PNMRX103*6B", false},
        {"RMC then GGA",
         {{Step::kClear}, {Step::kAdd, kKeyRmc}, {Step::kAdd, kKeyGga}},
         u"RMC1 GGA1 ",
         u"$PNMRX108,RMC,GGA*7D",
         u"$PNMRX103,RMC,1,GGA,1*76",
         true},
        {"rate 3 on RMC",
         {{Step::kClear}, {Step::kAdd, kKeyRmc}, {Step::kAdd, kKeyGga}, {Step::kRate, kKeyRmc, 3}},
         u"RMC3 GGA1 ",
         u"$PNMRX108,RMC,GGA*7D",
         u"$PNMRX103,RMC,3,GGA,1*74",
         true},
        {"listed sentence again changes nothing",
         {{Step::kClear}, {Step::kAdd, kKeyRmc}, {Step::kAdd, kKeyRmc}},
         u"RMC1 ",
         u"$PNMRX108,RMC*10",
         u"$PNMRX103,RMC,1*06",
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
        {"combo without selection gives rate 0",
         {{Step::kClear}, {Step::kAdd, kKeyGsv}, {Step::kRate, kKeyGsv, 0}},
         u"GSV0 ",
         u"$PNMRX108,GSV*0E",
         u"$PNMRX103,GSV,0*19",
         true},
        {"out-of-range key ignored",
         {{Step::kClear}, {Step::kAdd, 7}, {Step::kAdd, -1}, {Step::kRate, 9, 2}},
         u"",
         u"$PNMRX108*60",
         u"$PNMRX103*6B",
         false},
    };
    for (const SelectionCase& c : cases) {
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

TEST(output_config_test, AllSevenAtRateEightIsTheLongestSentence) {
    OutputSelection selection{NmeaOutputConfig{}};
    selection.Clear();
    for (int key = 0; key < kSentenceKeyCount; ++key) {
        EXPECT_TRUE(selection.AddKey(key));
        selection.SetRate(key, 8);
    }
    EXPECT_FALSE(selection.AddKey(kKeyGga));  // an eighth is ignored
    EXPECT_EQ(selection.rateCommand(), u"$PNMRX103,GGA,8,GLL,8,GSA,8,GSV,8,RMC,8,VTG,8,ZDA,8*04");
    EXPECT_EQ(EncodeCommand(selection.rateCommand()).size(), 56u);
}

TEST(output_config_test, LineBudgetCountsListedSentencesAtTheirRates) {
    const struct {
        int inView;
        int gsvMessages;
    } messages[] = {{-5, 1}, {0, 1}, {1, 1}, {4, 1}, {5, 2}, {12, 3}, {13, 4}, {52, 13}};
    for (const auto& m : messages) {
        EXPECT_EQ(GsvMessagesFor(m.inView), m.gsvMessages) << m.inView << " in view";
    }

    NmeaOutputConfig config;  // GGA, GSA, GSV, RMC every second
    EXPECT_DOUBLE_EQ(OutputBytesPerSecond(config, 3), 74 + 66 + 3 * 70 + 72);
    config.rates[kKeyGsv] = 2;
    EXPECT_DOUBLE_EQ(OutputBytesPerSecond(config, 3), 74 + 66 + 105 + 72);
    config.rates[kKeyGsv] = 0;  // no selection counts as every second
    EXPECT_DOUBLE_EQ(OutputBytesPerSecond(config, 3), 74 + 66 + 3 * 70 + 72);

    // Everything every second fits a dozen satellites in view, but not a sky full of them.
    NmeaOutputConfig all;
    all.count = kSentenceKeyCount;
    for (int key = 0; key < kSentenceKeyCount; ++key) {
        all.keys[key] = key;
    }
    EXPECT_LE(OutputBytesPerSecond(all, GsvMessagesFor(12)), kLineBytesPerSecond);
    EXPECT_GT(OutputBytesPerSecond(all, GsvMessagesFor(40)), kLineBytesPerSecond);
    all.rates.fill(8);
    EXPECT_LE(OutputBytesPerSecond(all, GsvMessagesFor(52)), kLineBytesPerSecond);
    all.count = 0;
    EXPECT_DOUBLE_EQ(OutputBytesPerSecond(all, 3), 0.0);
}

TEST(output_config_test, RestartSentencesAndTheirBytes) {
    const struct {
        int buttonId;
        std::string bytes;
    } cases[] = {
        {1003, "$PNMRX111,COLD*40\r\n"},
        {1004, "$PNMRX111,WARM*4D\r\n"},
        {1005, "$PNMRX111,HOT*17\r\n"},
        {1008, "$PNMRX111,FACTORY*10\r\n"},
    };
    ASSERT_EQ(std::size(kRestartCommands), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].bytes);
        EXPECT_EQ(kRestartCommands[i].buttonId, cases[i].buttonId);
        EXPECT_EQ(EncodeCommand(RestartSentence(kRestartCommands[i])), cases[i].bytes);
    }
    // Characters beyond 8 bits keep their low byte; length is never capped.
    EXPECT_EQ(EncodeCommand(u"$\u0141"), std::string("$A\r\n"));
    EXPECT_EQ(EncodeCommand(Text(500, u'x')).size(), 502u);
}

}  // namespace
}  // namespace pathlux
