#include "tools/sim/commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pathlux::sim {
namespace {

struct ParseCase {
    const char* legend;
    std::string line;
    Verdict verdict;
    Command::Type type = Command::Type::kRestart;
    RestartKind restart = RestartKind::kCold;
    std::vector<SentenceKey> keys = {};
    std::vector<int> rates = {};
};

const ParseCase kParseCases[] = {
    {"cold restart", "$PNMRX111,COLD*40", Verdict::kAccepted, Command::Type::kRestart,
     RestartKind::kCold},
    {"warm restart", "$PNMRX111,WARM*4D", Verdict::kAccepted, Command::Type::kRestart,
     RestartKind::kWarm},
    {"hot restart", "$PNMRX111,HOT*17", Verdict::kAccepted, Command::Type::kRestart,
     RestartKind::kHot},
    {"factory restart", "$PNMRX111,FACTORY*10", Verdict::kAccepted, Command::Type::kRestart,
     RestartKind::kFactory},
    {"lower-case checksum digits", "$PNMRX111,WARM*4d", Verdict::kAccepted, Command::Type::kRestart,
     RestartKind::kWarm},
    {"default list",
     "$PNMRX108,GGA,GSA,GSV,RMC*6A",
     Verdict::kAccepted,
     Command::Type::kOutputList,
     RestartKind::kCold,
     {kKeyGga, kKeyGsa, kKeyGsv, kKeyRmc}},
    {"list in click order",
     "$PNMRX108,RMC,GGA*7D",
     Verdict::kAccepted,
     Command::Type::kOutputList,
     RestartKind::kCold,
     {kKeyRmc, kKeyGga}},
    {"empty list", "$PNMRX108*60", Verdict::kAccepted, Command::Type::kOutputList},
    {"all seven sentences",
     "$PNMRX108,GGA,GLL,GSA,GSV,RMC,VTG,ZDA*1B",
     Verdict::kAccepted,
     Command::Type::kOutputList,
     RestartKind::kCold,
     {kKeyGga, kKeyGll, kKeyGsa, kKeyGsv, kKeyRmc, kKeyVtg, kKeyZda}},
    {"default rates",
     "$PNMRX103,GGA,1,GSA,1,GSV,1,RMC,1*61",
     Verdict::kAccepted,
     Command::Type::kOutputRates,
     RestartKind::kCold,
     {kKeyGga, kKeyGsa, kKeyGsv, kKeyRmc},
     {1, 1, 1, 1}},
    {"rates in click order",
     "$PNMRX103,RMC,3,GGA,1*74",
     Verdict::kAccepted,
     Command::Type::kOutputRates,
     RestartKind::kCold,
     {kKeyRmc, kKeyGga},
     {3, 1}},
    {"longest command",
     "$PNMRX103,GGA,8,GLL,8,GSA,8,GSV,8,RMC,8,VTG,8,ZDA,8*04",
     Verdict::kAccepted,
     Command::Type::kOutputRates,
     RestartKind::kCold,
     {kKeyGga, kKeyGll, kKeyGsa, kKeyGsv, kKeyRmc, kKeyVtg, kKeyZda},
     {8, 8, 8, 8, 8, 8, 8}},
    {"empty rate list", "$PNMRX103*6B", Verdict::kAccepted, Command::Type::kOutputRates},
    {"wrong checksum", "$PNMRX111,COLD*41", Verdict::kBadChecksum},
    {"no checksum", "$PNMRX111,COLD", Verdict::kNoChecksum},
    {"one checksum digit", "$PNMRX111,COLD*4", Verdict::kNoChecksum},
    {"bytes after the checksum", "$PNMRX111,COLD*40 ", Verdict::kNoChecksum},
    {"checksum not hexadecimal", "$PNMRX111,COLD*4G", Verdict::kNoChecksum},
    {"no dollar", "PNMRX111,COLD*40", Verdict::kUnknown},
    {"empty line", "", Verdict::kUnknown},
    {"unknown restart word", "$PNMRX111,COOL*4B", Verdict::kUnknown},
    {"restart word in lower case", "$PNMRX111,cold*40", Verdict::kUnknown},
    {"restart without word", "$PNMRX111*68", Verdict::kUnknown},
    {"restart with two words", "$PNMRX111,COLD,HOT*3F", Verdict::kUnknown},
    {"unknown head", "$PNMRX999,COLD*48", Verdict::kUnknown},
    {"an ordinary sentence", "$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*35", Verdict::kUnknown},
    {"unknown sentence in list", "$PNMRX108,GGA,XYZ*7A", Verdict::kUnknown},
    {"sentence listed twice", "$PNMRX108,GGA,GGA*60", Verdict::kUnknown},
    {"list with empty field", "$PNMRX108,*4C", Verdict::kUnknown},
    {"rate 0", "$PNMRX103,GGA,0*1A", Verdict::kUnknown},
    {"rate 9", "$PNMRX103,GGA,9*13", Verdict::kUnknown},
    {"rate with leading zero", "$PNMRX103,GGA,01*2B", Verdict::kUnknown},
    {"rate missing", "$PNMRX103,GGA*06", Verdict::kUnknown},
    {"rate for unknown sentence", "$PNMRX103,XYZ,1*01", Verdict::kUnknown},
    {"rate named twice", "$PNMRX103,GGA,1,GGA,2*68", Verdict::kUnknown},
};

TEST(sim_commands_test, ParsesWhatTheMonitorSendsAndNothingElse) {
    for (const ParseCase& c : kParseCases) {
        SCOPED_TRACE(c.legend);
        const ParsedCommand parsed = ParseCommand(c.line);
        EXPECT_EQ(parsed.verdict, c.verdict);
        if (c.verdict != Verdict::kAccepted) {
            continue;
        }
        EXPECT_EQ(parsed.command.type, c.type);
        if (c.type == Command::Type::kRestart) {
            EXPECT_EQ(parsed.command.restart, c.restart);
        }
        EXPECT_EQ(parsed.command.keys, c.keys);
        EXPECT_EQ(parsed.command.rates, c.rates);
    }
}

struct SplitCase {
    const char* legend;
    std::vector<std::string> feeds;
    std::vector<LineSplitter::Line> expected;
};

const std::string kLong(LineSplitter::kMaxLineBytes + 10, 'x');

const SplitCase kSplitCases[] = {
    {"CR LF ends a line", {"$A*41\r\n"}, {{"$A*41", false}}},
    {"bare LF ends a line", {"abc\ndef\n"}, {{"abc", false}, {"def", false}}},
    {"bare CR ends a line", {"abc\rdef\r"}, {{"abc", false}, {"def", false}}},
    {"empty lines skipped", {"\r\n\r\n\n"}, {}},
    {"line across feeds", {"$PNMRX1", "11,COLD*40", "\r", "\n"}, {{"$PNMRX111,COLD*40", false}}},
    {"unfinished line held", {"abc"}, {}},
    {"long line cut and marked",
     {kLong + "\r\nok\r\n"},
     {{kLong.substr(0, LineSplitter::kMaxLineBytes), true}, {"ok", false}}},
};

TEST(sim_commands_test, SplitsTheIncomingBytesIntoLines) {
    for (const SplitCase& c : kSplitCases) {
        SCOPED_TRACE(c.legend);
        LineSplitter splitter;
        std::vector<LineSplitter::Line> lines;
        for (const std::string& feed : c.feeds) {
            splitter.Feed(feed, lines);
        }
        EXPECT_EQ(lines, c.expected);
    }
}

}  // namespace
}  // namespace pathlux::sim
