// pathlux-ttff run in this process against a running simulator, its output captured, and the
// check that the times of a run are the simulator's.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/sim_process.h"
#include "tools/ttff/series.h"

namespace pathlux::testing {

struct ToolRun {
    int exitCode = -1;
    std::vector<std::string> out;  // the lines of standard output
    std::vector<std::string> err;  // and of standard error
};

// The lines of an open file, from its start; the file is closed.
inline std::vector<std::string> Lines(std::FILE* file) {
    std::rewind(file);
    std::vector<std::string> lines;
    for (char line[4096]; std::fgets(line, sizeof line, file) != nullptr;) {
        lines.emplace_back(line, std::strcspn(line, "\n"));
    }
    std::fclose(file);
    return lines;
}

inline ToolRun RunTtff(const std::vector<std::string>& args,
                       const std::atomic<bool>* stop = nullptr) {
    ttff::ToolIo io{std::tmpfile(), std::tmpfile()};
    io.stop = stop;
    const int exitCode = ttff::RunTool(args, io);
    return {exitCode, Lines(io.out), Lines(io.err)};
}

// A run (as a JSON line of the tool) against the simulator's report of it, at its --speed.
// Delays mostly add up: the restart starts at the simulator's next tick (up to a second after
// the command), its ticks run late on a busy machine, and the pseudo-terminal and the reads add
// theirs. A time comes out early only by a tick already overdue when the command came, or by the
// write's end being taken after the simulator read it. So 0.5 s early and 2.5 s late (simulated)
// pass, which still fails a stale fix (about 0 s), another kind of restart or another unit.
// Which sentences decided is checked exactly: the receiver's UTC of each comes from its own
// clock, which no delay moves.
inline void ExpectTimedAsSimulated(const std::string& json, const test::SimRun& sim, double speed) {
    for (const auto& [key, after] :
         {std::pair{"ttff_2d_ms", sim.after2d}, {"ttff_3d_ms", sim.after3d}}) {
        const double simulated = std::stod(test::JsonValue(json, key)) * speed / 1000;
        EXPECT_GE(simulated, after - 0.5) << json;
        EXPECT_LE(simulated, after + 3.5) << json;
    }
    const auto utc = [&](const char* key) {  // "\"hh:mm:ss\"" in seconds of the day
        int hms[3] = {};
        std::sscanf(test::JsonValue(json, key).c_str(), "\"%d:%d:%d\"", &hms[0], &hms[1], &hms[2]);
        return hms[0] * 3600 + hms[1] * 60 + hms[2];
    };
    EXPECT_EQ((utc("utc_3d") - utc("utc_2d") + 86400) % 86400, sim.after3d - sim.after2d) << json;
}

}  // namespace pathlux::testing
