#include "tools/sim/replay.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pathlux::sim {
namespace {

struct ReplayCase {
    const char* legend;
    std::string log;
    std::vector<std::string> expected;
};

const ReplayCase kCases[] = {
    {"CR LF kept", "$A*41\r\n$B*42\r\n", {"$A*41\r\n", "$B*42\r\n"}},
    {"bare LF becomes CR LF", "$A*41\n$B*42\n", {"$A*41\r\n", "$B*42\r\n"}},
    {"mixed line ends", "$A*41\r\n$B*42\n", {"$A*41\r\n", "$B*42\r\n"}},
    {"annotations skipped", "# Name: x\n#\n$A*41\n", {"$A*41\r\n"}},
    {"a # inside a line is data", "$A,#*62\n", {"$A,#*62\r\n"}},
    {"last line without LF", "$A*41\n$B", {"$A*41\r\n", "$B\r\n"}},
    {"last line ends in CR only", "$A\r", {"$A\r\n"}},
    {"empty lines are sent", "\n\n", {"\r\n", "\r\n"}},
    {"empty log", "", {}},
    {"noise bytes kept", "\x01\xFF$A\n", {"\x01\xFF$A\r\n"}},
};

TEST(sim_replay_test, CutsALogIntoTheLinesToSend) {
    for (const ReplayCase& c : kCases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(ReplayLines(c.log), c.expected);
    }
}

TEST(sim_replay_test, SharedLogsReplayAsTheirDataLines) {
    const struct {
        const char* file;
        std::size_t dataLines;
    } rows[] = {
        {"bt-q818.log", 61},
        {"telit-he910.log", 1558},
        {"garmin-10x.log", 84},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        std::ifstream in(std::string(PATHLUX_LOG_DIR) + "/" + row.file, std::ios::binary);
        ASSERT_TRUE(in) << "missing shared log";
        std::ostringstream content;
        content << in.rdbuf();
        const std::vector<std::string> lines = ReplayLines(content.str());
        EXPECT_EQ(lines.size(), row.dataLines);
        for (const std::string& line : lines) {
            ASSERT_TRUE(line.ends_with("\r\n")) << line;
            EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line each";
            EXPECT_NE(line[0], '#');
        }
    }
}

}  // namespace
}  // namespace pathlux::sim
