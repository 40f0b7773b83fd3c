#include "ttff/formats.h"

#include <cstdio>
#include <iterator>

#include "ttff/stats.h"

namespace pathlux::ttff {
namespace {

constexpr const char* kTargetNames[] = {"2D", "3D", "near"};
constexpr const char* kTargetKeys[] = {"2d", "3d", "near"};
static_assert(std::size(kTargetNames) == kTargetCount && std::size(kTargetKeys) == kTargetCount);

std::string Printf(const char* format, auto... args) {
    char buffer[160];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return std::string(buffer, n < 0 ? 0 : std::min<std::size_t>(n, sizeof buffer - 1));
}

double Seconds(double ms) {
    return ms / 1000.0;
}

const char* Result(const RunResult& run) {
    return run.timedOut ? "timeout" : "ok";
}

template <class Each>
void ForWanted(const TtffBench& bench, Each each) {
    for (int t = 0; t < kTargetCount; ++t) {
        if (bench.Wants(static_cast<Target>(t))) {
            each(static_cast<Target>(t));
        }
    }
}

// Milliseconds to a tenth: the clock gives whole ones, the mean and spread fractions.
std::string JsonMs(double ms) {
    return Printf("%.1f", ms);
}

}  // namespace

const char* TargetName(Target target) {
    return kTargetNames[target];
}

std::string RunLine(const TtffBench& bench, const RunResult& run) {
    std::string line = Printf("run %2d/%d", run.run, bench.settings().runs);
    ForWanted(bench, [&](Target t) {
        line += Printf("  %s ", kTargetNames[t]);
        if (run.ms[t]) {
            line += Printf("%.3f s", Seconds(static_cast<double>(*run.ms[t])));
            if (!run.utc[t].empty()) {
                line += " (" + run.utc[t] + ")";
            }
        } else {
            line += "time-out";
        }
    });
    return line;
}

std::string ProgressLine(const TtffBench& bench, TimePoint now) {
    const double elapsed = std::chrono::duration<double>(now - bench.phaseStart()).count();
    std::string line = Printf("run %d/%d: ", bench.currentRun(), bench.settings().runs);
    if (bench.phase() != TtffBench::Phase::kRunning) {
        return line + Printf("settling %.1f s", elapsed);
    }
    line += Printf("%.1f s", elapsed);
    ForWanted(bench, [&](Target t) {
        if (bench.current().ms[t]) {
            line += Printf(", %s %.3f s", kTargetNames[t],
                           Seconds(static_cast<double>(*bench.current().ms[t])));
        }
    });
    return line;
}

std::string StatsTable(const TtffBench& bench) {
    const std::vector<RunResult>& runs = bench.runs();
    std::string table =
        Printf("TTFF after %s restart, %zu of %d runs, in seconds\n",
               RestartName(bench.settings().restart), runs.size(), bench.settings().runs);
    table += Printf("%-6s %5s %6s %9s %9s %9s %9s %9s %9s\n", "", "runs", "failed", "min", "median",
                    "mean", "p90", "max", "stddev");
    ForWanted(bench, [&](Target t) {
        const TargetStats stats = StatsOf(runs, t);
        table += Printf("%-6s %5d %6d", kTargetNames[t], stats.runs, stats.failures);
        if (stats.spread) {
            const Spread& s = *stats.spread;
            for (const double v : {s.min, s.median, s.mean, s.p90, s.max, s.stddev}) {
                table += Printf(" %9.3f", Seconds(v));
            }
        } else {
            for (int i = 0; i < 6; ++i) {
                table += Printf(" %9s", "-");
            }
        }
        table += '\n';
    });
    return table;
}

std::string CsvHeader() {
    return "run,restart,result,ttff_2d_ms,utc_2d,ttff_3d_ms,utc_3d,ttff_near_ms,utc_near";
}

std::string CsvRow(const TtffBench& bench, const RunResult& run) {
    std::string row =
        Printf("%d,%s,%s", run.run, RestartName(bench.settings().restart), Result(run));
    for (int t = 0; t < kTargetCount; ++t) {
        row += ',';
        if (run.ms[t]) {
            row += std::to_string(*run.ms[t]);
        }
        // A UTC is digits and colons: nothing to quote.
        row += ',' + run.utc[t];
    }
    return row;
}

std::string JsonRun(const TtffBench& bench, const RunResult& run) {
    std::string json = Printf("{\"run\":%d,\"restart\":\"%s\",\"result\":\"%s\"", run.run,
                              RestartName(bench.settings().restart), Result(run));
    for (int t = 0; t < kTargetCount; ++t) {
        json += Printf(",\"ttff_%s_ms\":", kTargetKeys[t]);
        json += run.ms[t] ? std::to_string(*run.ms[t]) : "null";
        json += Printf(",\"utc_%s\":", kTargetKeys[t]);
        json += run.ms[t] ? "\"" + run.utc[t] + "\"" : "null";
    }
    return json + '}';
}

std::string JsonSummary(const TtffBench& bench) {
    std::string json =
        Printf("{\"summary\":{\"restart\":\"%s\",\"runs\":%zu,\"planned\":%d,\"ending\":\"%s\"",
               RestartName(bench.settings().restart), bench.runs().size(), bench.settings().runs,
               EndingName(bench.ending()));
    ForWanted(bench, [&](Target t) {
        const TargetStats stats = StatsOf(bench.runs(), t);
        json += Printf(",\"%s\":{\"runs\":%d,\"failures\":%d", kTargetKeys[t], stats.runs,
                       stats.failures);
        if (stats.spread) {
            const Spread& s = *stats.spread;
            json += ",\"min_ms\":" + JsonMs(s.min) + ",\"median_ms\":" + JsonMs(s.median) +
                    ",\"mean_ms\":" + JsonMs(s.mean) + ",\"p90_ms\":" + JsonMs(s.p90) +
                    ",\"max_ms\":" + JsonMs(s.max) + ",\"stddev_ms\":" + JsonMs(s.stddev);
        }
        json += '}';
    });
    return json + "}}";
}

}  // namespace pathlux::ttff
