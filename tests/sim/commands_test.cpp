#include "tools/sim/commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pathlux::sim {
namespace {

// The verdict's reason, or for an accepted command what it asks for: "restart warm",
// "list RMC GGA", "rates RMC 3 GGA 1".
std::string Outcome(const ParsedCommand& parsed) {
    if (parsed.verdict != Verdict::kAccepted) {
        return std::string(VerdictReason(parsed.verdict));
    }
    const Command& c = parsed.command;
    if (c.type == Command::Type::kRestart) {
        return "restart " + std::string(RestartName(c.restart));
    }
    std::string out = c.type == Command::Type::kOutputList ? "list" : "rates";
    for (std::size_t i = 0; i < c.keys.size(); ++i) {
        out += " " + std::string(kSentenceKeys[c.keys[i]].name);
        out += i < c.rates.size() ? " " + std::to_string(c.rates[i]) : "";
    }
    return out;
}

// One row per rule: a fault here makes the end-to-end tests obey what the monitor never sent,
// or ignore what it did.
TEST(sim_commands_test, AcceptsWhatTheMonitorSendsAndNothingElse) {
    const struct {
        const char* legend;
        std::string line;
        std::string outcome;
    } rows[] = {
        {"restart", "$PNMRX111,FACTORY*10", "restart factory"},
        {"lower-case checksum digits", "$PNMRX111,WARM*4d", "restart warm"},
        {"list in click order", "$PNMRX108,RMC,GGA*7D", "list RMC GGA"},
        {"empty list", "$PNMRX108*60", "list"},
        {"rates in click order", "$PNMRX103,RMC,3,GGA,1*74", "rates RMC 3 GGA 1"},
        {"rate 8, the highest", "$PNMRX103,GGA,8*12", "rates GGA 8"},
        {"second checksum digit wrong", "$PNMRX111,COLD*41", "bad checksum"},
        {"no checksum", "$PNMRX111,COLD", "no checksum"},
        {"a byte after the checksum", "$PNMRX111,COLD*40 ", "no checksum"},
        {"checksum not hexadecimal", "$PNMRX111,COLD*4G", "no checksum"},
        {"no dollar", "PNMRX111,COLD*40", "unknown"},
        {"unknown head", "$PNMRX999,COLD*48", "unknown"},
        {"restart word in lower case", "$PNMRX111,cold*40", "unknown"},
        {"restart with two words", "$PNMRX111,COLD,HOT*3F", "unknown"},
        {"unknown sentence in list", "$PNMRX108,GGA,XYZ*7A", "unknown"},
        {"sentence listed twice", "$PNMRX108,GGA,GGA*60", "unknown"},
        {"rate 0", "$PNMRX103,GGA,0*1A", "unknown"},
        {"rate 9", "$PNMRX103,GGA,9*13", "unknown"},
        {"rate with leading zero", "$PNMRX103,GGA,01*2B", "unknown"},
        {"rate missing", "$PNMRX103,GGA*06", "unknown"},
        {"rate named twice", "$PNMRX103,GGA,1,GGA,2*68", "unknown"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(Outcome(ParseCommand(row.line)), row.outcome);
    }
}

// CR, LF or both end a line and empty lines are skipped; a line may come across feeds and an
// unfinished one is held; a long line is cut and marked, and its rest dropped.
TEST(sim_commands_test, SplitsTheIncomingBytesIntoLines) {
    const std::string longLine(LineSplitter::kMaxLineBytes + 10, 'x');
    LineSplitter splitter;
    std::vector<LineSplitter::Line> lines;
    for (const std::string& feed :
         {std::string("a\r\nb\nc\r\r\n\n$PNMRX1"), std::string("11,COLD*40\r"),
          "\n" + longLine + "\r\nok\r\nheld"}) {
        splitter.Feed(feed, lines);
    }
    EXPECT_EQ(lines, (std::vector<LineSplitter::Line>{
                         {"a", false},
                         {"b", false},
                         {"c", false},
                         {"$PNMRX111,COLD*40", false},
                         {longLine.substr(0, LineSplitter::kMaxLineBytes), true},
                         {"ok", false}}));
}

}  // namespace
}  // namespace pathlux::sim
