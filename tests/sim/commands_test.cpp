#include "tools/sim/commands.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace pathlux::sim {
namespace {

// The verdict's reason, or for an accepted command what it asks for: "restart warm",
// "list RMC GGA", "rates RMC 3 GGA 1".
std::string Outcome(const std::string& line) {
    const ParsedCommand parsed = ParseCommand(line);
    const Command& c = parsed.command;
    if (parsed.verdict != Verdict::kAccepted) {
        return std::string(VerdictReason(parsed.verdict));
    }
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
    const std::pair<const char*, const char*> rows[] = {
        {"$PNMRX111,WARM*4d", "restart warm"},  // lower-case checksum digits
        {"$PNMRX108,RMC,GGA*7D", "list RMC GGA"},
        {"$PNMRX103,RMC,3,GGA,1*74", "rates RMC 3 GGA 1"},
        {"$PNMRX103,GGA,8*12", "rates GGA 8"},
        {"$PNMRX111,COLD*41", "bad checksum"},  // the second digit
        {"$PNMRX111,COLD*40 ", "no checksum"},  // a byte after it
        {"$PNMRX108,GGA,XYZ*7A", "unknown"},
        {"$PNMRX108,GGA,GGA*60", "unknown"},  // listed twice
        {"$PNMRX103,GGA,0*1A", "unknown"},
        {"$PNMRX103,GGA,9*13", "unknown"},
        {"$PNMRX103,GGA,1,GGA,2*68", "unknown"},
    };
    for (const auto& [line, outcome] : rows) {
        EXPECT_EQ(Outcome(line), outcome) << line;
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
    const std::string cut = longLine.substr(0, LineSplitter::kMaxLineBytes);
    EXPECT_EQ(lines, (std::vector<LineSplitter::Line>{
                         {"a"}, {"b"}, {"c"}, {"$PNMRX111,COLD*40"}, {cut, true}, {"ok"}}));
}

}  // namespace
}  // namespace pathlux::sim
