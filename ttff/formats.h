// The bench's results as text: a line per run, the statistics table, CSV rows and JSON lines.
#pragma once

#include <string>
#include <vector>

#include "ttff/bench.h"

namespace pathlux::ttff {

// "2D", "3D" or "near".
const char* TargetName(Target target);

// One line for a finished run: "run  3/20  2D 41.234 s (12:35:19)  3D time-out".
std::string RunLine(const TtffBench& bench, const RunResult& run);
// Where the series stands now, for a progress display: "run 3/20: 12.3 s, 2D 9.100 s".
std::string ProgressLine(const TtffBench& bench, TimePoint now);

// The statistics of every target the runs wait for, in seconds, as a fixed-width table with a
// title line.
std::string StatsTable(const TtffBench& bench);

// CSV: a header and one row per run; times in milliseconds, empty where not reached.
// Columns: run,restart,result,ttff_2d_ms,utc_2d,ttff_3d_ms,utc_3d,ttff_near_ms,utc_near.
std::string CsvHeader();
std::string CsvRow(const TtffBench& bench, const RunResult& run);

// JSON lines: one object per run with the CSV's names (null where not reached), and a summary
// object {"summary":{"restart":...,"runs":N,"ending":...,"2d":{"runs":..,"failures":..,
// "min_ms":..,"median_ms":..,"mean_ms":..,"p90_ms":..,"max_ms":..,"stddev_ms":..},...}}.
std::string JsonRun(const TtffBench& bench, const RunResult& run);
std::string JsonSummary(const TtffBench& bench);

}  // namespace pathlux::ttff
