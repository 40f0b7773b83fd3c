#include "tools/sim/report.h"

#include <gtest/gtest.h>

#include <string>

namespace pathlux::sim {
namespace {

struct RxCase {
    const char* legend;
    LineSplitter::Line line;
    Verdict verdict;
    std::string expected;
};

const RxCase kRxCases[] = {
    {"accepted",
     {"$PNMRX111,COLD*40", false},
     Verdict::kAccepted,
     R"({"rx":"$PNMRX111,COLD*40","accepted":true})"},
    {"wrong checksum",
     {"$PNMRX111,COLD*41", false},
     Verdict::kBadChecksum,
     R"({"rx":"$PNMRX111,COLD*41","accepted":false,"reason":"bad checksum"})"},
    {"no checksum",
     {"$PNMRX111,COLD", false},
     Verdict::kNoChecksum,
     R"({"rx":"$PNMRX111,COLD","accepted":false,"reason":"no checksum"})"},
    {"unknown",
     {"hello", false},
     Verdict::kUnknown,
     R"({"rx":"hello","accepted":false,"reason":"unknown"})"},
    {"too long wins over the verdict",
     {"$PNMRX111,COLD*40", true},
     Verdict::kAccepted,
     R"({"rx":"$PNMRX111,COLD*40","accepted":false,"reason":"too long"})"},
    {"quotes, backslashes and control bytes escaped",
     {"a\"b\\c\x01", false},
     Verdict::kUnknown,
     R"({"rx":"a\"b\\c\u0001","accepted":false,"reason":"unknown"})"},
};

TEST(sim_report_test, OneJsonLinePerReceivedLine) {
    for (const RxCase& c : kRxCases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(RxReport(c.line, c.verdict), c.expected);
    }
}

TEST(sim_report_test, RestartFixSentAndReplugEvents) {
    SecondState noFix;
    noFix.sinceRestart = 0;
    SecondState fix3d;
    fix3d.mode = FixMode::k3D;
    fix3d.sinceRestart = 42;
    SecondState fix2d;
    fix2d.mode = FixMode::k2D;
    fix2d.sinceRestart = 7;
    const struct {
        const char* legend;
        std::string report;
        std::string expected;
    } rows[] = {
        {"cold", RestartReport(RestartKind::kCold), R"({"restart":"cold"})"},
        {"warm", RestartReport(RestartKind::kWarm), R"({"restart":"warm"})"},
        {"hot", RestartReport(RestartKind::kHot), R"({"restart":"hot"})"},
        {"factory", RestartReport(RestartKind::kFactory), R"({"restart":"factory"})"},
        {"no fix: no position", FixReport(noFix, kDefaultPlace), R"({"fix":"NA","after":0})"},
        {"3D at the default place", FixReport(fix3d, kDefaultPlace),
         R"({"fix":"3D","after":42,"lat":"4807.0380","ns":"N","lon":"01131.0000","ew":"E","alt":"545.4"})"},
        {"2D south and west", FixReport(fix2d, {-12.5, -0.00001, -3.25}),
         R"({"fix":"2D","after":7,"lat":"1230.0000","ns":"S","lon":"00000.0006","ew":"W","alt":"-3.2"})"},
        {"nothing sent", SentReport({}), R"({"sent":{"lines":0,"bytes":0,"drops":0}})"},
        {"a flood", SentReport({123456789012, 98765432109876, 3}),
         R"({"sent":{"lines":123456789012,"bytes":98765432109876,"drops":3}})"},
        {"replugged", ReplugReport("/dev/pts/7"), R"({"replugged":"/dev/pts/7"})"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(row.report, row.expected);
    }
}

}  // namespace
}  // namespace pathlux::sim
