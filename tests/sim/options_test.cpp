#include "tools/sim/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/sim/faults.h"

namespace pathlux::sim {
namespace {

struct OptionsCase {
    const char* legend;
    std::vector<std::string> args;
    std::string error;  // empty when the arguments are good
    bool (*check)(const SimOptions&);
};

const OptionsCase kCases[] = {
    {"defaults",
     {},
     "",
     [](const SimOptions& o) {
         return o.speed == 1 && o.duration == 0 && o.seed == 1 && !o.startUtc && o.faults == 0 &&
                o.faultPercent == 20 && o.rate == 8 && !o.loop && !o.help && o.link.empty() &&
                o.device.empty() && o.count == 0;
     }},
    {"help", {"--help"}, "", [](const SimOptions& o) { return o.help; }},
    {"link", {"--link", "/tmp/gps"}, "", [](const SimOptions& o) { return o.link == "/tmp/gps"; }},
    {"speed and duration",
     {"--speed", "20", "--duration", "2.5"},
     "",
     [](const SimOptions& o) { return o.speed == 20 && o.duration == 2.5; }},
    {"seed",
     {"--seed", "4294967295"},
     "",
     [](const SimOptions& o) { return o.seed == 4294967295u; }},
    {"start",
     {"--start", "2026-12-06T12:00:00Z"},
     "",
     [](const SimOptions& o) { return o.startUtc == 1796558400; }},
    {"place",
     {"--lat", "-33.5", "--lon", "151.25", "--alt", "-10"},
     "",
     [](const SimOptions& o) {
         return o.place.latitudeDeg == -33.5 && o.place.longitudeDeg == 151.25 &&
                o.place.altitudeM == -10;
     }},
    {"faults add up",
     {"--fault", "noise,split", "--fault", "flood", "--fault-percent", "100"},
     "",
     [](const SimOptions& o) {
         return o.faults == (kFaultNoise | kFaultSplit | kFaultFlood) && o.faultPercent == 100;
     }},
    {"replay",
     {"--replay", "x.log", "--rate", "2", "--loop"},
     "",
     [](const SimOptions& o) { return o.replay == "x.log" && o.rate == 2 && o.loop; }},
    {"count", {"--count", "5000"}, "", [](const SimOptions& o) { return o.count == 5000; }},
    {"count zero", {"--count", "0"}, "bad value for --count: 0", nullptr},
    {"speed zero", {"--speed", "0"}, "bad value for --speed: 0", nullptr},
    {"speed too high", {"--speed", "1001"}, "bad value for --speed: 1001", nullptr},
    {"speed not a number", {"--speed", "fast"}, "bad value for --speed: fast", nullptr},
    {"speed infinite", {"--speed", "inf"}, "bad value for --speed: inf", nullptr},
    {"speed with trailing text", {"--speed", "2x"}, "bad value for --speed: 2x", nullptr},
    {"negative duration", {"--duration", "-1"}, "bad value for --duration: -1", nullptr},
    {"seed too large", {"--seed", "4294967296"}, "bad value for --seed: 4294967296", nullptr},
    {"latitude out of range", {"--lat", "91"}, "bad value for --lat: 91", nullptr},
    {"unknown fault", {"--fault", "gremlins"}, "bad value for --fault: gremlins", nullptr},
    {"percent over 100", {"--fault-percent", "101"}, "bad value for --fault-percent: 101", nullptr},
    {"rate zero", {"--rate", "0"}, "bad value for --rate: 0", nullptr},
    {"start without time", {"--start", "2026-12-06"}, "bad value for --start: 2026-12-06", nullptr},
    {"missing value", {"--seed"}, "--seed needs a value", nullptr},
    {"unknown option", {"--colour", "red"}, "unknown option --colour", nullptr},
    {"stray argument", {"gps"}, "unexpected argument gps", nullptr},
    {"link and device",
     {"--link", "a", "--device", "b"},
     "--link and --device cannot be used together",
     nullptr},
};

TEST(sim_options_test, ParsesTheCommandLine) {
    for (const OptionsCase& c : kCases) {
        SCOPED_TRACE(c.legend);
        SimOptions options;
        EXPECT_EQ(ParseOptions(c.args, options), c.error);
        if (c.check != nullptr) {
            EXPECT_TRUE(c.check(options));
        }
    }
}

struct UtcCase {
    const char* legend;
    const char* text;
    std::optional<std::int64_t> expected;
};

const UtcCase kUtcCases[] = {
    {"GPS week rollover day", "1999-08-22T00:00:00", 935280000},
    {"leap day", "2024-02-29T23:59:59Z", 1709251199},
    {"end of a century year", "2100-12-31T23:59:59", 4133980799},
    {"no leap day in 2100", "2100-02-29T00:00:00", std::nullopt},
    {"month 13", "2026-13-01T00:00:00", std::nullopt},
    {"hour 24", "2026-01-01T24:00:00", std::nullopt},
    {"before GPS", "1970-01-01T00:00:00", std::nullopt},
    {"trailing text", "2026-01-01T00:00:00+01", std::nullopt},
    {"empty", "", std::nullopt},
};

TEST(sim_options_test, ParsesUtcTimes) {
    for (const UtcCase& c : kUtcCases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(ParseUtc(c.text), c.expected);
    }
}

}  // namespace
}  // namespace pathlux::sim
