// The bench as a state machine, driven by scripted receiver events on a clock of our own.

#include "ttff/bench.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "nmea/display.h"
#include "ttff/feed.h"

namespace pathlux::ttff {
namespace {

using std::nullopt;

struct Event {
    enum Kind { kGsa, kVersion, kTick };
    int atMs;
    Kind kind;
    int value = 0;  // the fix mode of a GSA
};

TimePoint At(int ms) {
    return TimePoint(Millis(1'000'000 + ms));
}

void Play(TtffBench& bench, const std::vector<Event>& events) {
    for (const Event& e : events) {
        switch (e.kind) {
            case Event::kGsa:
                bench.OnFixMode(At(e.atMs), e.value);
                break;
            case Event::kVersion:
                bench.OnRestartAnnounced(At(e.atMs));
                break;
            case Event::kTick:
                bench.OnTick(At(e.atMs));
                break;
        }
    }
}

// One run, restart written at 0 ms, time-out 10 s.
TEST(ttff_bench_test, times_one_run_from_the_restart) {
    struct Case {
        const char* legend;
        std::vector<Event> events;
        std::optional<int> ms2d;
        std::optional<int> ms3d;
        bool timedOut;
    };
    const Case cases[] = {
        {"a fix before the receiver shows its restart is stale",
         {{50, Event::kGsa, 3},
          {1000, Event::kGsa, 1},
          {5000, Event::kGsa, 2},
          {7000, Event::kGsa, 3}},
         5000,
         7000,
         false},
        {"the version sentence shows the restart; a 3D fix is a 2D one too",
         {{40, Event::kGsa, 3}, {900, Event::kVersion}, {3000, Event::kGsa, 3}},
         3000,
         3000,
         false},
        {"a fix that drops again: the first one counts",
         {{1000, Event::kGsa, 1},
          {2000, Event::kGsa, 2},
          {2500, Event::kGsa, 0},
          {4000, Event::kGsa, 3}},
         2000,
         4000,
         false},
        {"no 3D fix by the time-out: 2D kept, 3D failed",
         {{1000, Event::kGsa, 1},
          {2000, Event::kGsa, 2},
          {9999, Event::kTick},
          {10000, Event::kTick}},
         2000,
         nullopt,
         true},
        {"a silent receiver times out", {{10050, Event::kTick}}, nullopt, nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        BenchSettings settings;
        settings.runs = 1;
        settings.settle = Millis(0);
        settings.timeout = Millis(10000);
        TtffBench bench(settings);
        bench.Start(At(-10));
        ASSERT_TRUE(bench.RestartDue(At(0)));
        bench.RestartSent(At(0));
        Play(bench, c.events);
        ASSERT_EQ(bench.runs().size(), 1u);
        const RunResult& run = bench.runs()[0];
        EXPECT_EQ(run.ms[kTarget2D], c.ms2d);
        EXPECT_EQ(run.ms[kTarget3D], c.ms3d);
        EXPECT_EQ(run.timedOut, c.timedOut);
        EXPECT_EQ(bench.ending(), Ending::kComplete);
    }
}

// Each restart waits for the fix mode to hold for the settle time, a time-out does not end the
// series, and a receiver that never settles still gets its restart after the time-out.
TEST(ttff_bench_test, settles_before_each_run_and_goes_on_after_a_time_out) {
    BenchSettings settings;
    settings.runs = 3;
    settings.settle = Millis(3000);
    settings.timeout = Millis(5000);
    TtffBench bench(settings);
    bench.Start(At(0));
    bench.OnFixMode(At(1000), 3);
    EXPECT_FALSE(bench.RestartDue(At(3999)));
    EXPECT_TRUE(bench.RestartDue(At(4000)));
    bench.RestartSent(At(4000));

    bench.OnTick(At(9000));  // silent: run 1 times out at 9000
    ASSERT_EQ(bench.runs().size(), 1u);
    EXPECT_TRUE(bench.runs()[0].timedOut);
    EXPECT_EQ(bench.phase(), TtffBench::Phase::kSettling);
    EXPECT_TRUE(bench.RestartDue(At(12000)));  // silence held since the time-out
    bench.RestartSent(At(12000));
    bench.OnFixMode(At(13000), 1);
    bench.OnFixMode(At(14000), 3);
    ASSERT_EQ(bench.runs().size(), 2u);
    EXPECT_EQ(bench.runs()[1].ms[kTarget3D], 2000);

    // A restless receiver: the mode changes every second, so it never holds for 3 s.
    for (int ms = 15000; ms < 22000; ms += 1000) {
        bench.OnFixMode(At(ms), ms % 2000 == 0 ? 3 : 1);
        EXPECT_FALSE(bench.RestartDue(At(ms))) << ms;
    }
    EXPECT_TRUE(bench.RestartDue(At(22000)));  // settle plus time-out after run 2 ended
    bench.RestartSent(At(22000));
    bench.Stop(Ending::kPortLost);
    EXPECT_EQ(bench.runs().size(), 2u);  // the run under way is dropped, the others kept
    EXPECT_EQ(bench.ending(), Ending::kPortLost);
}

// A position counts once the receiver has a fix and is within the distance; through the feed,
// as the faces hand it the core's display calls.
TEST(ttff_bench_test, near_waits_for_a_fixed_position_close_enough) {
    BenchSettings settings;
    settings.runs = 1;
    settings.settle = Millis(0);
    settings.until3d = false;
    // 48°07.038' N 0°0' E: latitude 28870380 in 1/10000 arc-minute.
    settings.near = NearPlace{48.1173, 0.0, 20.0};
    TtffBench bench(settings);
    ReceiverState state;
    BenchFeed feed(bench, state);
    bench.Start(At(0));
    bench.RestartSent(At(0));
    const auto gga = [&](int ms, const char16_t* line, std::int32_t latitude) {
        feed.OnLogLine(At(ms), line);
        state.latitude = latitude;
        feed.OnFieldText(At(ms), kLatitudeField, u"");
    };
    feed.OnFieldText(At(500), kVersionField, u"1.05");  // the version: restarted
    gga(1000, u"$GPGGA,120001.000,,,,,0,00,,,M,,M,,*00\r\n", 28870380);
    gga(2000, u"$GPGGA,120002.000,4807.0380,N,00000.0000,E,1,04,1.0,5,M,,M,,*00\r\n",
        28870380 + 1000);  // 185 m north
    EXPECT_TRUE(bench.runs().empty());
    feed.OnFieldText(At(2500), kFixField, u"2D");
    EXPECT_TRUE(bench.runs().empty());
    gga(3000, u"$GPGGA,120003.000,4807.0380,N,00000.0000,E,1,04,1.0,5,M,,M,,*00\r\n",
        28870380 + 50);  // 9 m north
    ASSERT_EQ(bench.runs().size(), 1u);
    EXPECT_EQ(bench.runs()[0].ms[kTarget2D], 2500);
    EXPECT_EQ(bench.runs()[0].ms[kTargetNear], 3000);
    EXPECT_EQ(bench.runs()[0].utc[kTargetNear], "12:00:03");
    EXPECT_EQ(bench.runs()[0].utc[kTarget2D], "12:00:02");
}

TEST(ttff_bench_test, reads_the_utc_of_time_sentences) {
    const struct {
        const char16_t* line;
        const char* utc;
    } cases[] = {
        {u"$GPRMC,123519.00,A,4807.038,N,01131.000,E,0.0,0.0,230394,,,A*6A\r\n", "12:35:19"},
        {u"noise$GNGGA,001122,4807.038,N\r\n", "00:11:22"},
        {u"$GPGLL,4916.45,N,12311.12,W,225444,A\r\n", "22:54:44"},
        {u"$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*39\r\n", ""},
        {u"$GPRMC,12a519,A\r\n", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SentenceUtc(c.line), c.utc);
    }
}

}  // namespace
}  // namespace pathlux::ttff
