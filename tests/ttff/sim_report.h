// What pathlux-sim reports about its restarts and fixes on standard error, and how a measured
// time compares with it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace pathlux::testing {

// Simulated seconds from a restart to its first fix of either kind and to its first 3D fix.
struct SimRun {
    int after2d = -1;
    int after3d = -1;
};

// One entry per {"restart":...} report, in order.
inline std::vector<SimRun> SimRuns(const std::string& stderrText) {
    std::vector<SimRun> runs;
    std::istringstream lines(stderrText);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.starts_with("{\"restart\":")) {
            runs.emplace_back();
            continue;
        }
        const bool is2d = line.starts_with("{\"fix\":\"2D\"");
        const bool is3d = line.starts_with("{\"fix\":\"3D\"");
        const std::size_t after = line.find("\"after\":");
        if (runs.empty() || (!is2d && !is3d) || after == std::string::npos) {
            continue;
        }
        const int seconds = std::atoi(line.c_str() + after + 8);
        if (runs.back().after2d < 0) {
            runs.back().after2d = seconds;
        }
        if (is3d && runs.back().after3d < 0) {
            runs.back().after3d = seconds;
        }
    }
    return runs;
}

// A time measured at --speed, scaled back to simulated seconds, against the simulator's count.
// The restart takes effect at the simulator's next second, up to one simulated second after
// the write, and the fix is sent "after" seconds later: the time lies between after and
// after + 1, plus the latency of the pseudo-terminal and of the reads (slack, simulated seconds).
inline void ExpectAgrees(std::optional<long long> ms, int after, double speed, double slack) {
    ASSERT_TRUE(ms.has_value());
    ASSERT_GE(after, 0);
    const double simulated = static_cast<double>(*ms) * speed / 1000.0;
    EXPECT_GE(simulated, after - 0.01);  // the clock's milliseconds are truncated
    EXPECT_LE(simulated, after + 1 + slack);
}

}  // namespace pathlux::testing
