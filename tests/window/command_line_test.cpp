// pathlux's command line: what it asks for, Qt's options left to Qt, and each mistake in one line.
#include "window/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pathlux {
namespace {

// What a parse gave, in one line: "run port=... baud=N|auto open record=...", "help", "version",
// or "error: " and the message.
std::string Summary(const CommandLine& line) {
    switch (line.action) {
        case CommandLine::Action::kHelp:
            return "help";
        case CommandLine::Action::kVersion:
            return "version";
        case CommandLine::Action::kError:
            return "error: " + line.error;
        case CommandLine::Action::kRun:
            break;
    }
    const StartOptions& o = line.options;
    std::string summary = "run";
    if (o.port) {
        summary += " port=" + std::string(o.port->begin(), o.port->end());
    }
    if (o.automatic || o.baud) {
        summary += " baud=" + (o.automatic ? std::string("auto") : std::to_string(*o.baud));
    }
    summary += o.open ? " open" : "";
    summary += o.record.empty() ? "" : " record=" + o.record;
    return summary;
}

TEST(command_line_test, OptionsQtsOptionsAndMistakes) {
    const struct {
        std::vector<std::string> args;
        std::string summary;  // its start, for the errors
    } cases[] = {
        {{}, "run"},
        {{"--port", "/dev/ttyUSB0", "--baud", "38400", "--open", "--record", "a.cap"},
         "run port=/dev/ttyUSB0 baud=38400 open record=a.cap"},
        {{"--port=COM3", "--baud=auto"}, "run port=COM3: baud=auto"},
        {{"--port", "COM16:", "--baud", "auto", "--baud", "4800"}, "run port=COM16: baud=4800"},
        {{"-platform", "offscreen", "--style", "fusion", "-reverse", "-stylesheet=x.qss", "--open"},
         "run open"},
        {{"--open", "--help", "--bogus"}, "help"},
        {{"--version"}, "version"},
        {{"--bogus"}, "error: unknown option --bogus"},
        {{"/dev/ttyUSB0"},
         "error: unexpected argument /dev/ttyUSB0 (a device is given with --port)"},
        {{"--port"}, "error: --port needs a value"},
        {{"--port", "COM17"}, "error: --port takes a device"},
        {{"--port", "COM08"}, "error: --port takes a device"},
        {{"--port", "ttyUSB0"}, "error: --port takes a device"},
        {{"--baud", "1200"}, "error: --baud takes 4800, 9600"},
        {{"--baud", "9600x"}, "error: --baud takes"},
        {{"--record="}, "error: --record needs a file name"},
        {{"--open=yes"}, "error: unknown option --open=yes"},
    };
    for (const auto& c : cases) {
        const CommandLine line = ParseCommandLine(c.args);
        const std::string summary = Summary(line);
        EXPECT_TRUE(summary.starts_with(c.summary) &&
                    (line.action == CommandLine::Action::kError || summary == c.summary))
            << summary << " (" << testing::PrintToString(c.args) << ")";
        EXPECT_EQ(line.error.find('\n'), std::string::npos) << "one line";
    }
}

}  // namespace
}  // namespace pathlux
