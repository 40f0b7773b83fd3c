#include "ttff/stats.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace pathlux::ttff {

double Percentile(const std::vector<double>& sorted, double p) {
    const double rank = p * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(rank));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (rank - static_cast<double>(below)) * (sorted[above] - sorted[below]);
}

std::optional<Spread> SpreadOf(std::vector<double> values) {
    if (values.empty()) {
        return std::nullopt;
    }
    std::sort(values.begin(), values.end());
    const double n = static_cast<double>(values.size());
    Spread spread;
    spread.min = values.front();
    spread.max = values.back();
    spread.median = Percentile(values, 0.5);
    spread.p90 = Percentile(values, 0.9);
    spread.mean = std::accumulate(values.begin(), values.end(), 0.0) / n;
    if (values.size() > 1) {
        double squares = 0;
        for (const double v : values) {
            squares += (v - spread.mean) * (v - spread.mean);
        }
        spread.stddev = std::sqrt(squares / (n - 1));
    }
    return spread;
}

TargetStats StatsOf(const std::vector<RunResult>& runs, Target target) {
    TargetStats stats;
    std::vector<double> times;
    for (const RunResult& run : runs) {
        ++stats.runs;
        if (run.ms[target]) {
            times.push_back(static_cast<double>(*run.ms[target]));
        } else {
            ++stats.failures;
        }
    }
    stats.spread = SpreadOf(std::move(times));
    return stats;
}

}  // namespace pathlux::ttff
