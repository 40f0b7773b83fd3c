// pathlux-ttff: times a GPS receiver's first fix over a series of restarts. See --help.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <vector>

#include "tools/ttff/series.h"

namespace {

std::atomic<bool> stopRequested{false};

void OnInterrupt(int) {
    stopRequested.store(true);
}

}  // namespace

int main(int argc, char** argv) {
    // The read loop wakes at least every kWakeMs and looks at the flag.
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    pathlux::ttff::ToolIo io;
    io.outTerminal = isatty(STDOUT_FILENO) == 1;
    io.errTerminal = isatty(STDERR_FILENO) == 1;
    io.stop = &stopRequested;
    return pathlux::ttff::RunTool(std::vector<std::string>(argv + 1, argv + argc), io);
}
