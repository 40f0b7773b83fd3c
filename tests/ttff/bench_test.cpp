// The TTFF bench without a receiver: the state machine driven by scripted receiver events on a
// clock of our own, the feed from the core's display calls, and a series of known times as the
// CSV and JSON lines, statistics and plot it gives.

#include "ttff/bench.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "nmea/display.h"
#include "ttff/feed.h"
#include "ttff/formats.h"
#include "ttff/plot_geometry.h"
#include "ttff/stats.h"

namespace pathlux::ttff {
namespace {

// What a script says at a time: a GSA's fix mode (0 to 3), the version sentence, or a tick.
constexpr int kVersion = -1;
constexpr int kTick = -2;
using Script = std::vector<std::pair<int, int>>;

TimePoint At(int ms) {
    return TimePoint(Millis(1'000'000 + ms));
}

void Play(TtffBench& bench, const Script& script) {
    for (const auto& [ms, what] : script) {
        if (what == kTick) {
            bench.OnTick(At(ms));
        } else if (what == kVersion) {
            bench.OnRestartAnnounced(At(ms));
        } else {
            bench.OnFixMode(At(ms), what);
        }
    }
}

// A warm series until 3D, nowhere in particular; settle and time-out in milliseconds.
TtffBench Bench(int runs, int settle, int timeout) {
    return TtffBench({RestartKind::kWarm, runs, Millis(timeout), Millis(settle), true, {}});
}

// One run, restart written at 0 ms, time-out 10 s.
TEST(ttff_bench_test, times_one_run_from_the_restart) {
    const struct {
        const char* legend;
        Script script;
        std::optional<int> ms2d;
        std::optional<int> ms3d;
    } cases[] = {
        {"a fix before the restart shows", {{50, 3}, {1000, 1}, {5000, 2}, {7000, 3}}, 5000, 7000},
        {"the version shows it; 3D is 2D", {{40, 3}, {900, kVersion}, {3000, 3}}, 3000, 3000},
        {"the first fix counts", {{1000, 1}, {2000, 2}, {2500, 0}, {4000, 3}}, 2000, 4000},
        {"no 3D by the time-out", {{1000, 1}, {2000, 2}, {9999, kTick}, {10000, kTick}}, 2000, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        TtffBench bench = Bench(1, 0, 10000);
        bench.Start(At(-10));
        bench.RestartSent(At(0));
        Play(bench, c.script);
        ASSERT_EQ(bench.runs().size(), 1u);
        EXPECT_EQ(bench.runs()[0].ms[kTarget2D], c.ms2d);
        EXPECT_EQ(bench.runs()[0].ms[kTarget3D], c.ms3d);
        EXPECT_EQ(bench.runs()[0].timedOut, !c.ms3d);
    }
}

// Each restart waits for the fix mode to hold for the settle time, a time-out does not end the
// series, and a receiver that never settles still gets its restart after the time-out.
TEST(ttff_bench_test, settles_before_each_run_and_goes_on_after_a_time_out) {
    TtffBench bench = Bench(3, 3000, 5000);
    bench.Start(At(0));
    bench.OnFixMode(At(1000), 3);
    EXPECT_FALSE(bench.RestartDue(At(3999)));
    EXPECT_TRUE(bench.RestartDue(At(4000)));
    bench.RestartSent(At(4000));
    Play(bench, {{9000, kTick}});              // silent: run 1 times out at 9000
    EXPECT_TRUE(bench.RestartDue(At(12000)));  // silence held since the time-out
    bench.RestartSent(At(12000));
    Play(bench, {{13000, 1}, {14000, 3}});
    ASSERT_EQ(bench.runs().size(), 2u);
    EXPECT_EQ(bench.runs()[1].ms[kTarget3D], 2000);
    // A restless receiver: the mode changes every second, so it never holds for 3 s.
    for (int ms = 15000; ms < 22000; ms += 1000) {
        bench.OnFixMode(At(ms), ms % 2000 == 0 ? 3 : 1);
        EXPECT_FALSE(bench.RestartDue(At(ms))) << ms;
    }
    EXPECT_TRUE(bench.RestartDue(At(22000)));  // settle plus time-out after run 2 ended
}

// A position counts once the receiver has a fix and is within the distance; through the feed,
// as the faces hand it the core's display calls, the receiver's UTC read from the log lines
// (from their last "$", where a line holds more than one sentence).
TEST(ttff_bench_test, near_waits_for_a_fixed_position_close_enough) {
    // 48°07.038' N: 28870380 in 1/10000'
    TtffBench bench({.until3d = false, .near = NearPlace{48.1173, 0.0, 20.0}});
    ReceiverState state;
    BenchFeed feed(bench, state);
    bench.Start(At(0));
    bench.RestartSent(At(0));
    // The UTC and the fix are those of the line's last sentence.
    const auto gga = [&](int ms, const char16_t* fix, std::int32_t latitude) {
        const Text seconds = Widen(std::to_string(ms / 1000));
        feed.OnLogLine(At(ms), u"x$GPRMC,235959,$GPGGA,12000" + seconds + u",x,N,y,E," + fix);
        state.latitude = latitude;
        feed.OnFieldText(At(ms), kLatitudeField, u"");
    };
    feed.OnFieldText(At(500), kVersionField, u"1.05");  // the version: restarted
    gga(1000, u"0", 28870380);                          // not fixed: not counted, even here
    gga(2000, u"1", 28870380 + 1000);                   // 185 m north
    feed.OnFieldText(At(2500), kFixField, u"2D");
    gga(3000, u"1", 28870380 + 50);  // 9 m north
    ASSERT_EQ(bench.runs().size(), 1u);
    EXPECT_EQ(bench.runs()[0].ms[kTargetNear], 3000);
    EXPECT_EQ(bench.runs()[0].utc[kTargetNear], "12:00:03");
}

// Three runs of a warm series: fixed, 3D timed out, fixed; each on its own stretch of the clock.
TtffBench ThreeRuns() {
    TtffBench bench = Bench(3, 0, 30000);
    bench.Start(At(0));
    for (const auto& [ms2d, ms3d] : {std::pair{24500, 27250}, {25000, 0}, {23750, 26000}}) {
        const int t = bench.currentRun() * 100000;
        bench.RestartSent(At(t));
        bench.OnUtc("10:00:" + std::to_string(10 + bench.currentRun()));
        Play(bench,
             {{t + 500, 1}, {t + ms2d, 2}, {t + (ms3d > 0 ? ms3d : 30000), ms3d > 0 ? 3 : kTick}});
    }
    return bench;
}

// The summary's figures are those of the sample: the median and p90 between ranks, the standard
// deviation over n - 1; a run that timed out is a failure of its target only.
TEST(ttff_formats_test, runs_and_summary_as_csv_and_json) {
    const TtffBench bench = ThreeRuns();
    EXPECT_EQ(JsonSummary(bench),
              R"({"summary":{"restart":"warm","runs":3,"planned":3,"ending":"complete",)"
              R"("2d":{"runs":3,"failures":0,"min_ms":23750.0,"median_ms":24500.0,)"
              R"("mean_ms":24416.7,"p90_ms":24900.0,"max_ms":25000.0,"stddev_ms":629.2},)"
              R"("3d":{"runs":3,"failures":1,"min_ms":26000.0,"median_ms":26625.0,)"
              R"("mean_ms":26625.0,"p90_ms":27125.0,"max_ms":27250.0,"stddev_ms":883.9}}})");
    // A single time has no spread; no time, no figures.
    EXPECT_EQ(SpreadOf({40})->stddev, 0);
    EXPECT_FALSE(SpreadOf({}));
}

TEST(ttff_plot_test, axis_from_zero_in_round_steps_covers_every_run) {
    EXPECT_DOUBLE_EQ(TickStep(0.33, 10), 0.05);
    // The axis of 30 s (27.25 s rounded up to a whole step of 5) holds every run: the 3D row's
    // second dot at 26 s; the 2D row's median (of 23.75, 24.5 and 25) is 24.5 s.
    const PlotLayout layout = LayoutPlot(PlotInputOf(ThreeRuns()), kPlotWidth);
    ASSERT_EQ(layout.rows.size(), 2u);
    ASSERT_EQ(layout.rows[1].dots.size(), 2u);
    EXPECT_EQ(layout.ticks.back().x, layout.axisRight);
    EXPECT_EQ(layout.ticks.back().label, "30");
    EXPECT_EQ(layout.rows[1].failureLabel, "1 time-out");
    EXPECT_EQ(layout.rows[1].dots[1].x,
              layout.axisLeft + std::lround(26.0 / 30 * (layout.axisRight - layout.axisLeft)));
    EXPECT_EQ(layout.rows[0].median->label, "median 24.5 s");
}

}  // namespace
}  // namespace pathlux::ttff
