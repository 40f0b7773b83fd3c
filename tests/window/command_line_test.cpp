// pathlux's command line: what it asks for, Qt's options left to Qt, and each mistake in one line.
#include "window/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pathlux {
namespace {

using Action = CommandLine::Action;

TEST(command_line_test, OptionsQtsOptionsAndMistakes) {
    const struct {
        std::vector<std::string> args;
        Action action;
        std::string port;    // the port name asked for, or empty
        std::uint32_t baud;  // 0: none asked for
        bool automatic;
        bool open;
        std::string record;
        std::string error;  // the start of the message
    } cases[] = {
        {{}, Action::kRun, "", 0, false, false, "", ""},
        {{"--port", "/dev/ttyUSB0", "--baud", "38400", "--open", "--record", "a.cap"},
         Action::kRun,
         "/dev/ttyUSB0",
         38400,
         false,
         true,
         "a.cap",
         ""},
        {{"--port=COM3", "--baud=auto"}, Action::kRun, "COM3:", 0, true, false, "", ""},
        {{"--port", "COM16:", "--baud", "auto", "--baud", "4800"},
         Action::kRun,
         "COM16:",
         4800,
         false,
         false,
         "",
         ""},
        {{"-platform", "offscreen", "--style", "fusion", "-reverse", "-stylesheet=x.qss", "--open"},
         Action::kRun,
         "",
         0,
         false,
         true,
         "",
         ""},
        {{"--open", "--help", "--bogus"}, Action::kHelp, "", 0, false, true, "", ""},
        {{"--version"}, Action::kVersion, "", 0, false, false, "", ""},
        {{"--bogus"}, Action::kError, "", 0, false, false, "", "unknown option --bogus"},
        {{"/dev/ttyUSB0"},
         Action::kError,
         "",
         0,
         false,
         false,
         "",
         "unexpected argument /dev/ttyUSB0 (a device is given with --port)"},
        {{"--port"}, Action::kError, "", 0, false, false, "", "--port needs a value"},
        {{"--port", "COM17"}, Action::kError, "", 0, false, false, "", "--port takes a device"},
        {{"--port", "COM08"}, Action::kError, "", 0, false, false, "", "--port takes a device"},
        {{"--port", "ttyUSB0"}, Action::kError, "", 0, false, false, "", "--port takes a device"},
        {{"--baud", "1200"}, Action::kError, "", 0, false, false, "", "--baud takes 4800, 9600"},
        {{"--baud", "9600x"}, Action::kError, "", 0, false, false, "", "--baud takes"},
        {{"--record="}, Action::kError, "", 0, false, false, "", "--record needs a file name"},
        {{"--open=yes"}, Action::kError, "", 0, false, false, "", "unknown option --open=yes"},
    };
    for (const auto& c : cases) {
        std::string legend;
        for (const std::string& arg : c.args) {
            legend += arg + " ";
        }
        SCOPED_TRACE(legend);
        const CommandLine line = ParseCommandLine(c.args);
        EXPECT_EQ(line.action, c.action);
        EXPECT_TRUE(line.error.starts_with(c.error)) << line.error;
        EXPECT_EQ(line.error.find('\n'), std::string::npos) << "one line";
        if (c.action == Action::kError) {
            continue;
        }
        const std::u16string port(c.port.begin(), c.port.end());
        EXPECT_EQ(line.options.port.value_or(u""), port);
        EXPECT_EQ(line.options.baud.value_or(0), c.baud);
        EXPECT_EQ(line.options.automatic, c.automatic);
        EXPECT_EQ(line.options.open, c.open);
        EXPECT_EQ(line.options.record, c.record);
    }
}

}  // namespace
}  // namespace pathlux
