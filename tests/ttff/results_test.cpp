// The figures of a series and the texts they go out in: statistics of known times, the CSV
// and JSON lines read back, the plot's scale.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "tests/ttff/json_reader.h"
#include "ttff/bench.h"
#include "ttff/formats.h"
#include "ttff/plot_geometry.h"
#include "ttff/stats.h"

namespace pathlux::ttff {
namespace {

using testing::JsonReader;

TEST(ttff_stats_test, spread_of_known_times) {
    struct Case {
        const char* legend;
        std::vector<double> values;
        Spread expected;
    };
    const Case cases[] = {
        {"one time", {40}, {40, 40, 40, 40, 40, 0}},
        {"even count: the median between the middle two",
         {10, 40, 20, 30},
         {10, 25, 25, 37, 40, 12.909944487}},
        {"ten times: p90 between the 9th and 10th",
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 100},
         {1, 5.5, 14.5, 18.1, 100, 30.152390729}},
        {"all equal", {7, 7, 7}, {7, 7, 7, 7, 7, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        const std::optional<Spread> s = SpreadOf(c.values);
        ASSERT_TRUE(s);
        EXPECT_DOUBLE_EQ(s->min, c.expected.min);
        EXPECT_DOUBLE_EQ(s->median, c.expected.median);
        EXPECT_DOUBLE_EQ(s->mean, c.expected.mean);
        EXPECT_NEAR(s->p90, c.expected.p90, 1e-9);
        EXPECT_DOUBLE_EQ(s->max, c.expected.max);
        EXPECT_NEAR(s->stddev, c.expected.stddev, 1e-6);
    }
    EXPECT_FALSE(SpreadOf({}));
}

// Three runs of a warm series: fixed, 3D timed out, fixed.
TtffBench ThreeRuns() {
    BenchSettings settings;
    settings.restart = RestartKind::kWarm;
    settings.runs = 3;
    settings.settle = Millis(0);
    settings.timeout = Millis(30000);
    TtffBench bench(settings);
    const auto at = [](int ms) { return TimePoint(Millis(ms)); };
    bench.Start(at(0));
    int t = 0;
    for (const auto& [ms2d, ms3d] :
         std::vector<std::pair<int, int>>{{24500, 27250}, {25000, -1}, {23750, 26000}}) {
        t += 100;
        bench.RestartSent(at(t));
        bench.OnFixMode(at(t + 500), 1);
        bench.OnUtc("10:00:" + std::to_string(10 + bench.currentRun()));
        bench.OnFixMode(at(t + ms2d), 2);
        if (ms3d > 0) {
            bench.OnFixMode(at(t + ms3d), 3);
        } else {
            bench.OnTick(at(t + 30000));
        }
        t = ms3d > 0 ? t + ms3d : t + 30000;
    }
    return bench;
}

std::vector<std::string> Split(const std::string& text, char at) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, at)) {
        parts.push_back(part);
    }
    if (!text.empty() && text.back() == at) {
        parts.emplace_back();
    }
    return parts;
}

TEST(ttff_formats_test, csv_and_json_read_back_as_the_runs) {
    const TtffBench bench = ThreeRuns();
    ASSERT_EQ(bench.runs().size(), 3u);
    const std::vector<std::string> header = Split(CsvHeader(), ',');
    for (const RunResult& run : bench.runs()) {
        SCOPED_TRACE(run.run);
        const std::vector<std::string> cells = Split(CsvRow(bench, run), ',');
        ASSERT_EQ(cells.size(), header.size());
        const auto json = JsonReader::Read(JsonRun(bench, run));
        ASSERT_TRUE(json);
        for (std::size_t i = 0; i < header.size(); ++i) {
            const std::string& name = header[i];
            const std::string& fromJson = json->at(name);
            // The same figures in both; JSON says null where CSV leaves the cell empty.
            EXPECT_EQ(cells[i].empty() ? "null" : cells[i], fromJson == "" ? "null" : fromJson)
                << name;
        }
        EXPECT_EQ(std::stoi(cells[0]), run.run);
        EXPECT_EQ(cells[1], "warm");
        EXPECT_EQ(cells[2], run.timedOut ? "timeout" : "ok");
        EXPECT_EQ(std::stoll(cells[3]), *run.ms[kTarget2D]);
        EXPECT_EQ(cells[4], run.utc[kTarget2D]);
        EXPECT_EQ(cells[5].empty(), !run.ms[kTarget3D]);
    }
    EXPECT_EQ(bench.runs()[1].ms[kTarget2D], 25000);
    EXPECT_EQ(bench.runs()[1].utc[kTarget2D], "10:00:12");

    const auto summary = JsonReader::Read(JsonSummary(bench));
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->at("summary.ending"), "complete");
    EXPECT_EQ(summary->at("summary.runs"), "3");
    for (const Target target : {kTarget2D, kTarget3D}) {
        const std::string key = target == kTarget2D ? "summary.2d." : "summary.3d.";
        const TargetStats stats = StatsOf(bench.runs(), target);
        EXPECT_EQ(std::stoi(summary->at(key + "failures")), stats.failures);
        EXPECT_DOUBLE_EQ(std::stod(summary->at(key + "median_ms")), stats.spread->median);
        EXPECT_NEAR(std::stod(summary->at(key + "stddev_ms")), stats.spread->stddev, 0.05);
    }
    EXPECT_EQ(summary->count("summary.near.runs"), 0u);  // not asked for
    EXPECT_EQ(StatsOf(bench.runs(), kTarget3D).failures, 1);
}

TEST(ttff_plot_test, axis_from_zero_in_round_steps_covers_every_run) {
    const struct {
        double span;
        double step;
    } steps[] = {{48, 5}, {0.33, 0.05}, {180, 20}};
    for (const auto& s : steps) {
        EXPECT_DOUBLE_EQ(TickStep(s.span, 10), s.step) << s.span;
    }
    const PlotLayout layout = LayoutPlot(PlotInputOf(ThreeRuns()), kPlotWidth);
    ASSERT_EQ(layout.rows.size(), 2u);
    EXPECT_EQ(layout.ticks.front().label, "0");
    EXPECT_EQ(layout.ticks.front().x, layout.axisLeft);
    EXPECT_EQ(layout.ticks.back().x, layout.axisRight);
    EXPECT_EQ(layout.ticks.back().label, "30");  // 27.25 s rounded up to a whole step of 5
    EXPECT_EQ(layout.rows[1].failureLabel, "1 time-out");
    EXPECT_EQ(layout.rows[1].dots.size(), 2u);
    for (const PlotRowLayout& row : layout.rows) {
        for (const PlotDot& dot : row.dots) {
            EXPECT_GT(dot.x, layout.axisLeft);
            EXPECT_LT(dot.x, layout.axisRight);
            EXPECT_GT(dot.y, row.top);
            EXPECT_LT(dot.y, row.bottom);
        }
    }
    // 24.5 s is the median of 23.75, 24.5 and 25: at 24.5 / 30 of the axis.
    EXPECT_EQ(layout.rows[0].median->x,
              layout.axisLeft +
                  static_cast<int>(std::lround(24.5 / 30 * (layout.axisRight - layout.axisLeft))));
    EXPECT_EQ(layout.rows[0].median->label, "median 24.5 s");
}

}  // namespace
}  // namespace pathlux::ttff
