// The command line of pathlux-ttff.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ttff/bench.h"

namespace pathlux::ttff {

struct ToolOptions {
    std::string port;  // a device path, or "COMn:" (given as COMn)
    std::uint32_t baud = 9600;
    BenchSettings bench;
    std::string csv;   // --csv FILE
    std::string plot;  // --plot FILE.png
    bool json = false;
    bool help = false;
};

// Exit codes, as --help lists them.
constexpr int kExitAllFixed = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitPort = 3;
constexpr int kExitOutput = 4;
constexpr int kExitInterrupted = 130;  // as a shell reports SIGINT

// Parses the arguments (without the program name). Returns an empty string on success, else
// what is wrong, in one line.
std::string ParseToolOptions(const std::vector<std::string>& args, ToolOptions& options);

extern const char* const kToolUsage;

}  // namespace pathlux::ttff
