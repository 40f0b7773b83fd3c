// pathlux-sim: a simulated GPS receiver on a pseudo-terminal (or an existing device), for the
// demo and the end-to-end tests. See --help.

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "capture/capture_file.h"
#include "tools/sim/link.h"
#include "tools/sim/options.h"
#include "tools/sim/receiver.h"
#include "tools/sim/replay.h"
#include "tools/sim/run_loop.h"
#include "tools/sim/signals.h"

namespace pathlux::sim {
namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "pathlux-sim: %s\n", message.c_str());
    return 1;
}

ReceiverSetup SetupOf(const SimOptions& options) {
    ReceiverSetup setup;
    setup.place = options.place;
    setup.seed = options.seed;
    setup.startUtc = options.startUtc.value_or(static_cast<std::int64_t>(std::time(nullptr)));
    setup.talkers = options.talkers;
    setup.nmea = options.nmea;
    return setup;
}

int Run(int argc, char** argv) {
    SimOptions options;
    options.place = kDefaultPlace;
    const std::string error =
        ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (!error.empty()) {
        std::fprintf(stderr, "pathlux-sim: %s (try --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    std::vector<std::string> replayLines;
    if (!options.replay.empty()) {
        std::string log;
        const std::string readError = ReadReplayLog(options.replay, log);
        if (!readError.empty()) {
            return Fail(readError);
        }
        if (IsCapture(log)) {
            const std::string captureError = CapturedLines(log, replayLines);
            if (!captureError.empty()) {
                return Fail(options.replay + ": " + captureError);
            }
        } else {
            replayLines = ReplayLines(log);
        }
    }

    Signals signals;
    const std::string signalError = signals.Catch();
    if (!signalError.empty()) {
        return Fail(signalError);
    }
    Link link;
    const std::string linkError = options.device.empty()
                                      ? link.OpenPty(options.link, options.baud)
                                      : link.OpenDevice(options.device, options.baud);
    if (!linkError.empty()) {
        return Fail(linkError);
    }
    // The first line of standard output names the device; the demo and the tests wait for it.
    if (std::printf("%s\n", link.path().c_str()) < 0 || std::fflush(stdout) != 0) {
        return Fail("cannot write to standard output");
    }

    std::optional<Receiver> receiver;
    if (options.replay.empty()) {
        receiver.emplace(SetupOf(options));
    }
    const std::string runError = RunSimulation(
        options, link, signals, receiver ? &*receiver : nullptr, std::move(replayLines));
    return runError.empty() ? 0 : Fail(runError);
}

}  // namespace
}  // namespace pathlux::sim

int main(int argc, char** argv) {
    return pathlux::sim::Run(argc, argv);
}
