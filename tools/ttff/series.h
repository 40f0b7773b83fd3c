// pathlux-ttff's run: the port, the read loop that feeds the interpretation core and the bench,
// and the outputs.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace pathlux::ttff {

struct ToolIo {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // Whether each stream is a terminal: the one that takes the human output then shows the
    // progress on a line that is rewritten, besides the plain lines.
    bool outTerminal = false;
    bool errTerminal = false;
    // Set by Ctrl-C (or a test): the series stops at the next wake-up, at most kWakeMs later.
    const std::atomic<bool>* stop = nullptr;
};

// The longest the read loop waits for the port before it looks at the clock and the stop flag.
constexpr int kWakeMs = 100;

// The whole tool: parses the arguments (without the program name), runs the series, prints.
// Returns the exit code.
int RunTool(const std::vector<std::string>& args, const ToolIo& io);

}  // namespace pathlux::ttff
