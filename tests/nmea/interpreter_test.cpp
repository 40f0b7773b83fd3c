#include "nmea/interpreter.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tests/support/recording_display.h"

namespace pathlux {
namespace {

using testing::RecordingDisplay;

class InterpreterTest : public ::testing::Test {
  protected:
    void Send(std::string_view bytes) {
        core.FeedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    RecordingDisplay display;
    NmeaInterpreter core{display};
};

struct TextCase {
    const char* legend;
    TextView sentence;
    int control;
    TextView expected;
};

TEST_F(InterpreterTest, SentencesWriteTheDisplayTexts) {
    const TextCase cases[] = {
        {"rmc time drops fractions", u"$GPRMC,123519.00,A,,,,,22.4,359.9,230394*00", kTimeField,
         u"12:35:19"},
        {"rmc speed uses 1.8518518 and truncates", u"$GPRMC,1,A,,,,,22.4,0,0*00", kSpeedField,
         u"41 km/h"},
        {"rmc speed below one km/h", u"$GPRMC,1,A,,,,,0.5,0,0*00", kSpeedField, u"0 km/h"},
        {"rmc course truncates", u"$GPRMC,1,A,,,,,0,359.9,0*00", kCourseField, u"359\u00B0"},
        {"rmc date month first", u"$GPRMC,1,A,,,,,0,0,230394*00", kDateField, u"03/23"},
        {"rmc empty time", u"$GPRMC,,V,,,,,,,*00", kTimeField, u"0::"},
        {"rmc empty date", u"$GPRMC,,V,,,,,,,*00", kDateField, u"/0"},
        {"rmc empty speed", u"$GPRMC,,V,,,,,,,*00", kSpeedField, u"0 km/h"},
        {"rmc empty course", u"$GPRMC,,V,,,,,,,*00", kCourseField, u"0\u00B0"},
        {"rmc status V still shows time", u"$GPRMC,010203,V,,,,,,,*00", kTimeField, u"01:02:03"},
        {"rmc short time clamps", u"$GPRMC,123,V*00", kTimeField, u"12:3:"},
        {"rmc negative speed shown signed", u"$GPRMC,1,A,,,,,-5,0,0*00", kSpeedField, u"-9 km/h"},
        {"rmc huge speed saturates", u"$GPRMC,1,A,,,,,9999999999,0,0*00", kSpeedField,
         u"2147483647 km/h"},
        {"rmc nan course reads 0", u"$GPRMC,1,A,,,,,0,nan,0*00", kCourseField, u"0\u00B0"},
        {"gga altitude as sent", u"$GPGGA,1,4807.038,N,01131.000,E,1,08,0.9,545.4,M*47",
         kAltitudeField, u"545.4m"},
        {"gga empty altitude", u"$GPGGA,,,,,,,,,,*00", kAltitudeField, u"0m"},
        {"gga empty latitude", u"$GPGGA,,,,,,,,,,*00", kLatitudeField, u"N000\u00B000'00.00\""},
        {"gga empty longitude", u"$GPGGA,,,,,,,,,,*00", kLongitudeField, u"E000\u00B000'00.00\""},
        {"version after Version", u"$PNMX600 Nemerix NS1030,Version 1.05*00", kVersionField,
         u"1.05"},
        {"version text inside field", u"$PNMX600 Nemerix NS1030,FW Version 2.0b*00", kVersionField,
         u"2.0b"},
        {"version without Version from eighth char", u"$PNMX600 Nemerix NS1030,ABCDEFGHIJ*00",
         kVersionField, u"HIJ"},
        {"version without field 2", u"$PNMX600 Nemerix NS1030*00", kVersionField, u""},
        {"gsa pdop", u"$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*35", kPdopField, u"2.5"},
        {"gsa hdop", u"$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*35", kHdopField, u"1.3"},
        {"gsa vdop", u"$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*35", kVdopField, u"2.1"},
        {"gsa 3D", u"$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*35", kFixField, u"3D"},
        {"gsa 2D", u"$GPGSA,A,2,,,,,,,,,,,,,,,*00", kFixField, u"2D"},
        {"gsa no fix", u"$GPGSA,A,1,,,,,,,,,,,,,,,*00", kFixField, u"NA"},
        {"gsa empty mode", u"$GPGSA,A,,,,,,,,,,,,,,,,*00", kFixField, u"NA"},
        {"gsa empty dop", u"$GPGSA,A,1,,,,,,,,,,,,,,,*00", kPdopField, u"0"},
        {"gsa short sentence", u"$GPGSA,A,1,,,,*32", kVdopField, u"0"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.legend);
        display.fields.clear();
        core.DispatchSentence(c.sentence);
        EXPECT_EQ(display.Field(c.control), Text(c.expected));
    }
}

TEST_F(InterpreterTest, PositionsFollowTheUnitsAndFormat) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const struct {
        bool longitude;
        TextView angle;
        TextView hemisphere;
        std::int32_t stored;
        TextView text;
    } cases[] = {
        {false, u"4807.038", u"N", 28870380, u"N048\u00B007'02.28\""},
        {false, u"3723.2475", u"S", -22432475, u"S037\u00B023'14.85\""},
        {false, u"01131.000", u"N", 6910000, u"N011\u00B031'00.00\""},
        {false, u"12158.3416", u"S", -73183416, u"S121\u00B058'20.49\""},
        {false, u"4807", u"N", 48070000, u"N080\u00B007'00.00\""},
        {false, u"4807.038", u"s", 28870380, u"N048\u00B007'02.28\""},  // only "S" is south
        {false, u"99999999.9", u"S", -kMax, u"S3579\u00B008'21.88\""},
        {false, u"-9999999.9", u"S", kMax, u"N3579\u00B008'21.88\""},
        {false, u"-9999999.9", u"N", -kMax, u"S3579\u00B008'21.88\""},
        {true, u"01131.000", u"E", 6910000, u"E011\u00B031'00.00\""},
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
}

TEST_F(InterpreterTest, GgaWritesLongitudeBeforeLatitude) {
    core.DispatchSentence(u"$GPGGA,1,4807.038,N,01131.000,E,1,08,0.9,545.4,M*47");
    EXPECT_EQ(display.events, (std::vector<std::string>{"field 1036", "field 1007", "field 1006"}));
}

TEST_F(InterpreterTest, DispatchMatchesWholeHeadsWithCase) {
    const struct {
        const char* legend;
        TextView sentence;
        bool handled;
    } cases[] = {
        {"rmc", u"$GPRMC,1,A*00", true},
        {"lower case gga", u"$gpgga,1,4807.038,N*00", false},
        {"other talker", u"$GNRMC,1,A*00", false},
        {"head with trailing blank", u"$GPRMC ,1*00", false},
        {"bare head", u"$GPRMC", false},
        {"longer head", u"$GPRMCX,1*00", false},
        {"version head", u"$PNMX600 Nemerix NS1030,Version 1*00", true},
        {"gsv", u"$GPGSV,1,1,01,04,45,120,38*00", true},
        {"gsa", u"$GPGSA,A,1*00", true},
        {"gll is not read", u"$GPGLL,4807.038,N*00", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        display.events.clear();
        core.DispatchSentence(c.sentence);
        EXPECT_EQ(!display.events.empty(), c.handled);
    }
}

TEST_F(InterpreterTest, CompleteGsvCycleRedrawsOnceSkyFirst) {
    core.DispatchSentence(u"$GPGSV,3,1,10,04,45,120,38,05,10,020,30,06,20,030,31,07,30,040,32*00");
    core.DispatchSentence(u"$GPGSV,3,2,10,08,45,120,38,09,10,020,30,10,20,030,31,11,30,040,32*00");
    EXPECT_TRUE(display.events.empty());
    core.DispatchSentence(u"$GPGSV,3,3,10,12,50,100,40,13,60,200,41,14,1,2,3,15,4,5,6*00");
    EXPECT_EQ(display.events, (std::vector<std::string>{"sky", "bars"}));
    EXPECT_EQ(core.gsvMessagesSeen(), 0);
    const ReceiverState& s = core.state();
    EXPECT_EQ(s.inViewCount, 10);
    const std::int32_t expected[] = {4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(s.inViewPrns[i], expected[i]) << "slot " << i;
    }
    // Entries past the count are ignored: PRN 14 and 15 got no record values.
    EXPECT_EQ(s.gpsSats[13].snr, 0);
    EXPECT_EQ(s.gpsSats[14].elevation, 0);
    EXPECT_EQ(s.gpsSats[12].elevation, 60);
    EXPECT_EQ(s.gpsSats[3].azimuth, 120);
    EXPECT_EQ(s.gpsSats[3].snr, 38);
}

TEST_F(InterpreterTest, GsvCyclesRedrawOnlyWhenCountedFromMessageOne) {
    const struct {
        const char* legend;
        std::vector<TextView> sentences;
        int redraws;
        int counterAfter;
    } cases[] = {
        {"2/3 and 3/3 without 1/3", {u"$GPGSV,3,2,10*00", u"$GPGSV,3,3,10*00"}, 0, 2},
        {"GSA inside the cycle",
         {u"$GPGSV,3,1,10*00", u"$GPGSV,3,2,10*00", u"$GPGSA,A,1*00", u"$GPGSV,3,3,10*00"},
         0,
         1},
        {"single 1/1", {u"$GPGSV,1,1,0*00"}, 1, 0},
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
        EXPECT_EQ(interpreter.gsvMessagesSeen(), c.counterAfter);
    }
}

TEST_F(InterpreterTest, GsvSlotsAndRecords) {
    core.DispatchSentence(u"$GPGSV,1,1,0*00");
    EXPECT_EQ(core.state().inViewCount, 12);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(core.state().inViewPrns[i], 0);
    }

    core.DispatchSentence(u"$GPGSV,1,1,04,32,10,20,30,120,11,21,31,139,12,22,32,33,13,23,33*00");
    const ReceiverState& s = core.state();
    EXPECT_EQ(s.gpsSats[31].elevation, 10);
    EXPECT_EQ(s.sbasSats[0].snr, 31);
    EXPECT_EQ(s.inViewPrns[2], 139);
    EXPECT_EQ(s.inViewPrns[3], 33);
    EXPECT_EQ(s.RecordOrZero(139).snr, 0);
    EXPECT_EQ(s.FindRecord(33), nullptr);
    EXPECT_EQ(s.FindRecord(0), nullptr);
    EXPECT_EQ(s.FindRecord(-1), nullptr);
    EXPECT_EQ(s.FindRecord(138), &s.sbasSats[18]);
}

TEST_F(InterpreterTest, GsvMessageNumbersOutsideTheListStoreNothing) {
    ReceiverState& s = core.state();
    s.inViewPrns.fill(-1);
    const TextView sentences[] = {
        u"$GPGSV,14,14,60,01,10,20,30,02,10,20,30,03,10,20,30,04,10,20,30*00",
        u"$GPGSV,1,0,60,05,10,20,30,06,10,20,30,07,10,20,30,08,10,20,30*00",
        u"$GPGSV,1,-5,60,09,10,20,30*00",
        u"$GPGSV,1,2147483647,2147483647,10,10,20,30*00",
        u"$GPGSV,1,-2147483648,60,11,10,20,30*00",
    };
    for (TextView sentence : sentences) {
        core.DispatchSentence(sentence);
    }
    for (int prn = 1; prn <= 11; ++prn) {
        EXPECT_EQ(s.RecordOrZero(prn).snr, 0) << "PRN " << prn;
    }
    for (std::int32_t prn : s.inViewPrns) {
        EXPECT_EQ(prn, -1);
    }
    // Message 13 of a long list fills the last slots, 48 to 51.
    core.DispatchSentence(u"$GPGSV,13,13,60,01,10,20,30,02,10,20,30,03,10,20,30,04,10,20,30*00");
    EXPECT_EQ(s.inViewPrns[48], 1);
    EXPECT_EQ(s.inViewPrns[51], 4);
    EXPECT_EQ(s.InViewSlotsToRead(), kInViewSlots);
    s.inViewCount = -3;
    EXPECT_EQ(s.InViewSlotsToRead(), 0);
}

TEST_F(InterpreterTest, GsaMarksExactlyTheListedSatellitesUsed) {
    core.DispatchSentence(u"$GPGSA,A,3,01,02,03,,,,,,,,,,1,1,1*00");
    core.DispatchSentence(u"$GPGSA,A,3,04,120,138,0,33,139,-1,,,,,,2.5,1.3,2.1*00");
    const ReceiverState& s = core.state();
    int used = 0;
    for (const SatelliteRecord& r : s.gpsSats) {
        used += r.used;
    }
    for (const SatelliteRecord& r : s.sbasSats) {
        used += r.used;
    }
    EXPECT_EQ(used, 3);
    EXPECT_EQ(s.gpsSats[3].used, 1);
    EXPECT_EQ(s.sbasSats[0].used, 1);
    EXPECT_EQ(s.sbasSats[18].used, 1);

    // Field 16 is PDOP, not a PRN slot, even when it reads like one.
    core.DispatchSentence(u"$GPGSA,A,1,,,,,,,,,,,,,05,06,07*00");
    used = 0;
    for (const SatelliteRecord& r : s.gpsSats) {
        used += r.used;
    }
    EXPECT_EQ(used, 0);
}

TEST_F(InterpreterTest, TtffCountsFromRestartAndStopsAtFirstFix) {
    core.RestartTtff();
    EXPECT_EQ(display.Field(kTtffField), u"00:00:00");
    EXPECT_EQ(display.events.back(), "start 2 1000");
    EXPECT_TRUE(core.ttffCounting());
    for (int i = 0; i < 3725; ++i) {
        core.OnTimer(kTtffTimerId);
    }
    EXPECT_EQ(display.Field(kTtffField), u"01:02:05");
    core.OnTimer(1);  // not ours
    EXPECT_EQ(core.state().ttffSeconds, 3725);

    core.DispatchSentence(u"$GPGSA,A,1,,,,,,,,,,,,,,,*00");
    EXPECT_TRUE(core.ttffCounting());
    core.DispatchSentence(u"$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*35");
    EXPECT_FALSE(core.ttffCounting());
    EXPECT_EQ(core.state().fix3d, 1);
    EXPECT_EQ(display.Count("stop 2"), 1);
    EXPECT_EQ(display.Field(kTtffField), u"01:02:05");

    // Loss of the fix neither restarts the count nor changes the field; a second fix stops nothing.
    core.DispatchSentence(u"$GPGSA,A,1,,,,,,,,,,,,,,,*00");
    EXPECT_EQ(core.state().fix3d, 0);
    EXPECT_EQ(display.Field(kFixField), u"NA");
    core.DispatchSentence(u"$GPGSA,A,2,,,,,,,,,,,,,,,*00");
    EXPECT_EQ(display.Count("stop 2"), 1);
    EXPECT_EQ(display.Count("start 2 1000"), 1);
    EXPECT_EQ(display.Field(kTtffField), u"01:02:05");
}

TEST_F(InterpreterTest, TtffRestartsAndWrapsHours) {
    const struct {
        const char* legend;
        int ticks;
        TextView text;
    } cases[] = {
        {"one tick", 1, u"00:00:01"},
        {"one hour", 3600, u"01:00:00"},
        {"hours wrap after 23", 90000, u"01:00:00"},
        {"just before a day", 86399, u"23:59:59"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        core.RestartTtff();
        for (int i = 0; i < c.ticks; ++i) {
            core.OnTimer(kTtffTimerId);
        }
        EXPECT_EQ(display.Field(kTtffField), Text(c.text));
    }
    // The version sentence restarts the count as a restart command does.
    core.DispatchSentence(u"$PNMX600 Nemerix NS1030,Version 1.05*00");
    EXPECT_EQ(display.Field(kTtffField), u"00:00:00");
    EXPECT_EQ(core.state().ttffSeconds, 0);
    EXPECT_EQ(FormatTtff(std::numeric_limits<std::int32_t>::max()), u"03:14:07");
}

TEST_F(InterpreterTest, BytesThroughTheFramerReachTheHandlers) {
    Send("\x11\x12$GPRMC,081836,A,3751.65,S,14507.36,E,000.0,360.0,130998,011.3,E*62\r\n");
    EXPECT_EQ(display.Field(kTimeField), u"08:18:36");
    EXPECT_EQ(display.Field(kDateField), u"09/13");
    EXPECT_EQ(display.Field(kCourseField), u"360\u00B0");
    ASSERT_EQ(display.logLines.size(), 1u);
    EXPECT_EQ(display.logLines[0].substr(0, 3), Text(u"\u0011\u0012$"));
}

}  // namespace
}  // namespace pathlux
