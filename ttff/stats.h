// The figures of a series: for each target, how many runs, how many failed, and the spread of
// the times of those that did not.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ttff/bench.h"

namespace pathlux::ttff {

struct Spread {
    double min = 0;
    double median = 0;
    double mean = 0;
    double p90 = 0;
    double max = 0;
    double stddev = 0;  // of the sample (n - 1); 0 for a single time
};

struct TargetStats {
    int runs = 0;
    int failures = 0;
    std::optional<Spread> spread;  // none when no run reached the target
};

// The percentile p (0 to 1) of sorted values, interpolated linearly between the two nearest
// ranks (so the median of an even count is the mean of the middle two); values must not be empty.
double Percentile(const std::vector<double>& sorted, double p);

// The spread of a list of times; none for an empty list.
std::optional<Spread> SpreadOf(std::vector<double> values);

// The figures of one target over the runs; a run that did not reach it is a failure.
TargetStats StatsOf(const std::vector<RunResult>& runs, Target target);

}  // namespace pathlux::ttff
