// What the golden replays of real logs cannot show: edge values, the version sentence and the
// TTFF count, SBAS records, message numbers outside the list, saturation.
#include "nmea/interpreter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/recording_display.h"

namespace pathlux {
namespace {

using testing::RecordingDisplay;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

class InterpreterTest : public ::testing::Test {
  protected:
    void Dispatch(std::initializer_list<TextView> sentences) {
        for (const TextView sentence : sentences) {
            core.DispatchSentence(sentence);
        }
    }
    int UsedCount() const {
        int used = 0;
        for (const SatelliteRecord& r : core.state().gpsSats) {
            used += r.used;
        }
        for (const SatelliteRecord& r : core.state().sbasSats) {
            used += r.used;
        }
        return used;
    }
    RecordingDisplay display;
    NmeaInterpreter core{display};
};

TEST_F(InterpreterTest, EdgeValuesWriteTheDisplayTexts) {
    const struct {
        const char* legend;
        TextView sentence;
        int control;
        TextView expected;
    } cases[] = {
        {"empty time", u"$GPRMC,,V,,,,,,,*00", kTimeField, u"0::"},
        {"short time clamps", u"$GPRMC,123,V*00", kTimeField, u"12:3:"},
        {"negative speed shown signed", u"$GPRMC,1,A,,,,,-5,0,0*00", kSpeedField, u"-9 km/h"},
        {"huge speed saturates", u"$GPRMC,1,A,,,,,9999999999,0,0*00", kSpeedField,
         u"2147483647 km/h"},
        {"empty altitude", u"$GPGGA,,,,,,,,,,*00", kAltitudeField, u"0m"},
        {"version after Version", u"$PNMX600 Nemerix NS1030,Version 1.05*00", kVersionField,
         u"1.05"},
        {"version text inside field", u"$PNMX600 Nemerix NS1030,FW Version 2.0b*00", kVersionField,
         u"2.0b"},
        {"version without Version from the eighth character",
         u"$PNMX600 Nemerix NS1030,ABCDEFGHIJ*00", kVersionField, u"HIJ"},
        {"version without field 2", u"$PNMX600 Nemerix NS1030*00", kVersionField, u""},
        {"empty fix mode", u"$GPGSA,A,,,,,,,,,,,,,,,,*00", kFixField, u"NA"},
        {"empty DOP", u"$GPGSA,A,1,,,,,,,,,,,,,,,*00", kPdopField, u"0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        display.fields.clear();
        core.DispatchSentence(c.sentence);
        EXPECT_EQ(display.Field(c.control), Text(c.expected));
    }
}

TEST_F(InterpreterTest, PositionsSaturateAndOnlySAndWTurnThem) {
    const struct {
        bool longitude;
        TextView angle;
        TextView hemisphere;
        std::int32_t stored;
        TextView text;
    } cases[] = {
        {false, u"3723.2475", u"S", -22432475, u"S037\u00B023'14.85\""},
        {false, u"4807", u"N", 48070000, u"N080\u00B007'00.00\""},  // no point: minutes only
        {false, u"4807.038", u"s", 28870380, u"N048\u00B007'02.28\""},
        {false, u"99999999.9", u"S", -kMax, u"S3579\u00B008'21.88\""},
        {false, u"-9999999.9", u"S", kMax, u"N3579\u00B008'21.88\""},
        {true, u"12158.3416", u"W", -73183416, u"W121\u00B058'20.49\""},
        {true, u"12158.3416", u"0", 73183416, u"E121\u00B058'20.49\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.angle.begin(), c.angle.end()));
        // Latitude in fields 3 and 4, longitude in fields 5 and 6.
        Text gga = c.longitude ? u"$GPGGA,1,,N," : u"$GPGGA,1,";
        gga += c.angle;
        gga += u",";
        gga += c.hemisphere;
        gga += u",,,1,08,0.9,1,M*00";
        core.DispatchSentence(gga);
        EXPECT_EQ(c.longitude ? core.state().longitude : core.state().latitude, c.stored);
        EXPECT_EQ(display.Field(c.longitude ? kLongitudeField : kLatitudeField), Text(c.text));
    }
    display.events.clear();
    core.DispatchSentence(u"$GPGGA,1,4807.038,N,01131.000,E,1,08,0.9,545.4,M*47");
    EXPECT_EQ(display.events, (std::vector<std::string>{"field 1036", "field 1007", "field 1006"}))
        << "altitude, then longitude, then latitude";
}

TEST_F(InterpreterTest, DispatchMatchesWholeHeadsWithCase) {
    const struct {
        const char* legend;
        TextView sentence;
        bool handled;
    } cases[] = {
        {"gsv", u"$GPGSV,1,1,01,04,45,120,38*00", true},
        {"version head", u"$PNMX600 Nemerix NS1030,Version 1*00", true},
        {"combined talker", u"$GNRMC,1,A*00", true},
        {"unknown talker", u"$GXRMC,1,A*00", false},
        {"lower case", u"$gpgga,1,4807.038,N*00", false},
        {"longer head", u"$GPRMCX,1*00", false},
        {"GLL is not read", u"$GPGLL,4807.038,N*00", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        display.events.clear();
        core.DispatchSentence(c.sentence);
        EXPECT_EQ(!display.events.empty(), c.handled);
    }
}

// A cycle is drawn once, after its last message, only when counted from message 1 on.
TEST_F(InterpreterTest, GsvCyclesRedrawOnlyWhenCountedFromMessageOne) {
    const struct {
        const char* legend;
        std::vector<TextView> sentences;
        int redraws;
        int counterAfter;
    } cases[] = {
        {"three messages", {u"$GPGSV,3,1,10*00", u"$GPGSV,3,2,10*00", u"$GPGSV,3,3,10*00"}, 1, 0},
        {"2/3 and 3/3 without 1/3", {u"$GPGSV,3,2,10*00", u"$GPGSV,3,3,10*00"}, 0, 2},
        {"GSA inside the cycle",
         {u"$GPGSV,3,1,10*00", u"$GPGSV,3,2,10*00", u"$GPGSA,A,1*00", u"$GPGSV,3,3,10*00"},
         0,
         1},
        {"message number above total", {u"$GPGSV,2,1,5*00", u"$GPGSV,2,3,5*00"}, 0, 2},
        {"repeated 1/2 restarts the count",
         {u"$GPGSV,2,1,5*00", u"$GPGSV,2,1,5*00", u"$GPGSV,2,2,5*00"},
         1,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        RecordingDisplay fresh;
        NmeaInterpreter interpreter(fresh);
        for (TextView sentence : c.sentences) {
            interpreter.DispatchSentence(sentence);
        }
        EXPECT_EQ(fresh.Count("sky"), c.redraws);
        EXPECT_EQ(fresh.Count("bars"), c.redraws);
        if (c.redraws > 0) {
            EXPECT_EQ(fresh.events.front(), "sky") << "the sky plot first";
        }
        EXPECT_EQ(interpreter.gsvMessagesSeen(), c.counterAfter);
    }
}

TEST_F(InterpreterTest, GsvSlotsAndRecords) {
    ReceiverState& s = core.state();
    s.inViewPrns.fill(-1);
    // "00" in view reads as 12: four empty entries stored as PRN 0.
    core.DispatchSentence(u"$GPGSV,1,1,00*00");
    EXPECT_EQ(s.inViewCount, 12);
    EXPECT_EQ(s.inViewPrns[3], 0);
    // Message 3 of 10 stores only slots 8 and 9.
    Dispatch({u"$GPGSV,3,3,10,32,10,20,30,120,11,21,31,139,12,22,32*00",
              u"$GPGSV,1,1,04,,,,,,,,,,,,,33,13,23,33*00"});
    EXPECT_EQ(s.inViewCount, 4);
    EXPECT_EQ(s.inViewPrns[3], 33);
    EXPECT_EQ(s.inViewPrns[8], 32);
    EXPECT_EQ(s.inViewPrns[9], 120);
    EXPECT_EQ(s.inViewPrns[10], -1) << "past the count";
    EXPECT_EQ(s.gpsSats[31].elevation, 10);
    EXPECT_EQ(s.sbasSats[0].snr, 31);
    EXPECT_EQ(s.RecordOrZero(139).snr, 0);
    EXPECT_EQ(s.FindRecord(33), nullptr);
    EXPECT_EQ(s.FindRecord(138), &s.sbasSats[18]);

    // Message numbers that point outside the 52 slots store nothing; message 13 fills 48 to 51.
    s.inViewPrns.fill(-1);
    Dispatch({u"$GPGSV,14,14,60,01,10,20,30,02,10,20,30,03,10,20,30,04,10,20,30*00",
              u"$GPGSV,1,0,60,05,10,20,30*00", u"$GPGSV,1,-5,60,09,10,20,30*00",
              u"$GPGSV,1,2147483647,2147483647,10,10,20,30*00",
              u"$GPGSV,1,-2147483648,60,11,10,20,30*00"});
    for (const std::int32_t prn : {1, 5, 9, 10, 11}) {
        EXPECT_EQ(s.RecordOrZero(prn).snr, 0) << "PRN " << prn;
    }
    EXPECT_EQ(std::count(s.inViewPrns.begin(), s.inViewPrns.end(), -1), kInViewSlots);
    core.DispatchSentence(u"$GPGSV,13,13,60,01,10,20,30,02,10,20,30,03,10,20,30,04,10,20,30*00");
    EXPECT_EQ(s.inViewPrns[48], 1);
    EXPECT_EQ(s.inViewPrns[51], 4);
    EXPECT_EQ(s.InViewSlotsToRead(), kInViewSlots);
}

// Each GSA clears every mark, GPS and SBAS, then marks exactly the PRN fields 4 to 15.
TEST_F(InterpreterTest, GsaMarksExactlyTheListedSatellitesUsed) {
    Dispatch({u"$GPGSA,A,3,01,02,03,121,,,,,,,,,1,1,1*00",
              u"$GPGSA,A,3,04,120,138,0,33,139,-1,,,,,,2.5,1.3,2.1*00"});
    EXPECT_EQ(UsedCount(), 3);
    EXPECT_EQ(core.state().gpsSats[3].used, 1);
    EXPECT_EQ(core.state().sbasSats[0].used, 1);
    EXPECT_EQ(core.state().sbasSats[18].used, 1);
    core.DispatchSentence(u"$GPGSA,A,1,,,,,,,,,,,,,05,06,07*00");
    EXPECT_EQ(UsedCount(), 0) << "field 16 is PDOP, not a PRN";
}

// The count starts at a restart or the version sentence, ticks with timer 2, wraps its hours and
// stops at the first fix, 2D or 3D; a fix lost and found again changes nothing.
TEST_F(InterpreterTest, TtffCountsFromRestartAndStopsAtTheFirstFix) {
    core.RestartTtff();
    EXPECT_EQ(display.events.back(), "start 2 1000");
    const struct {
        int ticks;
        TextView text;
    } counts[] = {{1, u"00:00:01"}, {3725, u"01:02:06"}, {86400 - 3726, u"00:00:00"}};
    for (const auto& c : counts) {
        for (int i = 0; i < c.ticks; ++i) {
            core.OnTimer(kTtffTimerId);
        }
        EXPECT_EQ(display.Field(kTtffField), Text(c.text)) << c.ticks;
    }
    core.OnTimer(1);  // not ours
    EXPECT_EQ(core.state().ttffSeconds, 86400);
    EXPECT_EQ(FormatTtff(kMax), u"03:14:07");

    core.DispatchSentence(u"$PNMX600 Nemerix NS1030,Version 1.05*00");
    EXPECT_EQ(display.Field(kTtffField), u"00:00:00");
    EXPECT_EQ(core.state().ttffSeconds, 0);
    core.OnTimer(kTtffTimerId);
    Dispatch({u"$GPGSA,A,1,,,,,,,,,,,,,,,*00", u"$GPGSA,A,2,04,05,,,,,,,,,,,2.5,1.3,2.1*00"});
    EXPECT_FALSE(core.ttffCounting());
    EXPECT_EQ(display.Count("stop 2"), 1);
    Dispatch({u"$GPGSA,A,1,,,,,,,,,,,,,,,*00", u"$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*00"});
    EXPECT_EQ(core.state().fix3d, 1);
    EXPECT_EQ(display.Count("stop 2"), 1);
    EXPECT_EQ(display.Count("start 2 1000"), 2);
    EXPECT_EQ(display.Field(kTtffField), u"00:00:01");
}

}  // namespace
}  // namespace pathlux
