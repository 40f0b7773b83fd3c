// What the golden replays of real logs cannot show: edge values, the version sentence and the
// TTFF count, SBAS records, message numbers outside the list, saturation, and receivers of
// several systems.
#include "nmea/interpreter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/recording_display.h"

namespace pathlux {
namespace {

using testing::RecordingDisplay;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// The list shown, each entry as its system's letter, its label, "/" and its SNR, and "*" when
// used: "G5/40*", "R1/33", "E4/38"; "?" for a number that names no satellite.
std::vector<std::string> ShownOf(const ReceiverState& state) {
    static constexpr char kLetters[] = "GSRECJI";
    std::vector<std::string> shown;
    for (int i = 0; i < state.ShownCount(); ++i) {
        const ShownSatellite s = state.Shown(i);
        const char letter = s.id.valid() ? kLetters[static_cast<int>(s.id.system)] : '?';
        shown.push_back(std::string(1, letter) + std::to_string(s.label) + "/" +
                        std::to_string(s.record->snr) + (s.record->used == 1 ? "*" : ""));
    }
    return shown;
}

class InterpreterTest : public ::testing::Test {
  protected:
    void Dispatch(std::initializer_list<TextView> sentences) {
        for (const TextView sentence : sentences) {
            core.DispatchSentence(sentence);
        }
    }
    std::vector<std::string> Shown() const { return ShownOf(core.state()); }

    RecordingDisplay display;
    NmeaInterpreter core{display};
};

// One field a sentence writes, or "<unset>" when its head is not read.
TEST_F(InterpreterTest, HeadsAndEdgeValuesGiveTheDisplayTexts) {
    const struct {
        const char* legend;
        TextView sentence;
        int control;
        TextView expected;
    } cases[] = {
        {"short time clamps", u"$GPRMC,123,V*00", kTimeField, u"12:3:"},
        {"negative speed shown signed", u"$GPRMC,1,A,,,,,-5,0,0*00", kSpeedField, u"-9 km/h"},
        {"huge speed saturates", u"$GPRMC,1,A,,,,,9999999999,0,0*00", kSpeedField,
         u"2147483647 km/h"},
        {"version after Version", u"$PNMX600 Nemerix NS1030,Version 1.05*00", kVersionField,
         u"1.05"},
        {"version text inside field", u"$PNMX600 Nemerix NS1030,FW Version 2.0b*00", kVersionField,
         u"2.0b"},
        {"version without Version from the eighth character",
         u"$PNMX600 Nemerix NS1030,ABCDEFGHIJ*00", kVersionField, u"HIJ"},
        {"version without field 2", u"$PNMX600 Nemerix NS1030*00", kVersionField, u""},
        {"empty fix mode", u"$GPGSA,A,,,,,,,,,,,,,,,,*00", kFixField, u"NA"},
        {"unknown talker", u"$GXRMC,123*00", kTimeField, u"<unset>"},
        {"lower case", u"$gprmc,123*00", kTimeField, u"<unset>"},
        {"longer head", u"$GPRMCX,123*00", kTimeField, u"<unset>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        display.fields.clear();
        core.DispatchSentence(c.sentence);
        EXPECT_EQ(display.Field(c.control), Text(c.expected));
    }
    // Every talker read: a wrong or missing row of the talker table loses a whole receiver.
    for (const char16_t* talker : {u"GP", u"GN", u"GL", u"GA", u"GB", u"BD", u"GQ", u"GI"}) {
        display.fields.clear();
        core.DispatchSentence(u"$" + Text(talker) + u"GSA,A,2*00");
        EXPECT_EQ(display.Field(kFixField), u"2D") << std::string(talker, talker + 2);
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
        {false, u"4807", u"N", 48070000, u"N080\u00B007'00.00\""},  // no point: minutes only
        {false, u"4807.038", u"s", 28870380, u"N048\u00B007'02.28\""},
        {false, u"99999999.9", u"S", -kMax, u"S3579\u00B008'21.88\""},
        {false, u"-9999999.9", u"S", kMax, u"N3579\u00B008'21.88\""},
        {true, u"12158.3416", u"0", 73183416, u"E121\u00B058'20.49\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.angle.begin(), c.angle.end()));
        // Latitude in fields 3 and 4, longitude in fields 5 and 6.
        Text gga = c.longitude ? u"$GPGGA,1,,N," : u"$GPGGA,1,";
        gga += Text(c.angle) + u"," + Text(c.hemisphere) + u",,,1,08,0.9,1,M*00";
        core.DispatchSentence(gga);
        EXPECT_EQ(c.longitude ? core.state().longitude : core.state().latitude, c.stored);
        EXPECT_EQ(display.Field(c.longitude ? kLongitudeField : kLatitudeField), Text(c.text));
    }
}

// A cycle is drawn once, after its last message, only when counted from message 1 on.
TEST(interpreter_test, GsvCyclesRedrawOnlyWhenCountedFromMessageOne) {
    const struct {
        const char* legend;
        std::vector<TextView> sentences;
        int redraws;
        int counterAfter;
    } cases[] = {
        {"three messages", {u"$GPGSV,3,1,10*", u"$GPGSV,3,2,10*", u"$GPGSV,3,3,10*"}, 1, 0},
        {"2/3 and 3/3 without 1/3", {u"$GPGSV,3,2,10*", u"$GPGSV,3,3,10*"}, 0, 2},
        {"GSA inside the cycle", {u"$GPGSV,2,1,9*", u"$GPGSA,A,1*", u"$GPGSV,2,2,9*"}, 0, 1},
        {"message number above total", {u"$GPGSV,2,1,5*", u"$GPGSV,2,3,5*"}, 0, 2},
        {"repeated 1/2 restarts", {u"$GPGSV,2,1,5*", u"$GPGSV,2,1,5*", u"$GPGSV,2,2,5*"}, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        RecordingDisplay display;
        NmeaInterpreter core(display);
        for (TextView sentence : c.sentences) {
            core.DispatchSentence(sentence);
        }
        EXPECT_EQ(display.Count("sky"), c.redraws);
        EXPECT_EQ(display.Count("bars"), c.redraws);
        EXPECT_EQ(core.gsvMessagesSeen(), c.counterAfter);
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
    EXPECT_EQ(s.inViewPrns[9], 120);
    EXPECT_EQ(s.inViewPrns[10], -1) << "past the count";
    EXPECT_EQ(s.sbasSats[0].snr, 31);
    EXPECT_EQ(s.RecordOrZero(139).snr, 0);
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
    const ReceiverState& s = core.state();
    const auto used = [&] {
        const auto marked = [](const SatelliteRecord& r) { return r.used == 1; };
        return std::ranges::count_if(s.gpsSats, marked) + std::ranges::count_if(s.sbasSats, marked);
    };
    Dispatch({u"$GPGSA,A,3,01,02,03,121,,,,,,,,,1,1,1*00",
              u"$GPGSA,A,3,04,120,138,0,33,139,-1,,,,,,2.5,1.3,2.1*00"});
    EXPECT_EQ(used(), 3);
    EXPECT_EQ(s.gpsSats[3].used + s.sbasSats[0].used + s.sbasSats[18].used, 3);
    core.DispatchSentence(u"$GPGSA,A,1,,,,,,,,,,,,,05,06,07*00");
    EXPECT_EQ(used(), 0) << "field 16 is PDOP, not a PRN";
}

// The count starts at a restart or the version sentence, ticks with timer 2, wraps its hours and
// stops at the first fix, 2D or 3D; a fix lost and found again changes nothing.
TEST_F(InterpreterTest, TtffCountsFromRestartAndStopsAtTheFirstFix) {
    core.RestartTtff();
    EXPECT_EQ(display.events.back(), "start 2 1000");
    const struct {
        int ticks;
        TextView text;
    } counts[] = {{3725, u"01:02:05"}, {86400 - 3725, u"00:00:00"}};
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
    EXPECT_EQ(core.state().ttffSeconds, 0);
    core.OnTimer(kTtffTimerId);
    Dispatch({u"$GPGSA,A,1*00", u"$GPGSA,A,2*00"});
    EXPECT_FALSE(core.ttffCounting());
    Dispatch({u"$GPGSA,A,1*00", u"$GPGSA,A,3*00"});
    EXPECT_EQ(display.Count("stop 2"), 1);
    EXPECT_EQ(display.Count("start 2 1000"), 2);
}

// Receivers of several systems: the talkers other than GP, their GSV cycles beside the GP list,
// the GSA marks of each system, and the list the charts show.
TEST_F(InterpreterTest, GpNumbersOutsideGpsAndSbasGetDataOnceAnotherTalkerIsSeen) {
    const TextView gsv = u"$GPGSV,1,1,04,05,40,100,41,33,30,200,35,193,60,90,38,65,20,300,30*00";
    Dispatch({gsv});
    EXPECT_EQ(Shown(), (std::vector<std::string>{"G5/41", "?33/0", "?193/0", "?65/0"}));

    Dispatch({u"$GNRMC,1,A*00", gsv});
    // SBAS keeps the number sent; QZSS and GLONASS go by their own numbers.
    EXPECT_EQ(Shown(), (std::vector<std::string>{"G5/41", "S33/35", "J1/38", "R1/30"}));
    EXPECT_EQ(core.state().sbasSats[0].snr, 35);  // SBAS PRN 120
}

TEST_F(InterpreterTest, EachTalkersCycleReplacesItsOwnPartOnlyInTheOrderOfSystems) {
    // Before any GP GSV the other systems alone are shown.
    Dispatch({u"$GBGSV,1,1,01,21,70,010,44*00"});
    EXPECT_EQ(Shown(), (std::vector<std::string>{"C21/44"}));
    Dispatch({u"$GPGSV,1,1,02,05,40,100,41,07,30,200,35*00", u"$GAGSV,1,1,01,04,52,298,39*00",
              u"$GLGSV,2,1,05,66,37,078,27,67,62,349,26,68,20,296,25,75,04,018,*00",
              u"$GLGSV,2,2,05,76,43,057,25*00"});
    EXPECT_EQ(display.Count("sky"), 4);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"G5/41", "G7/35", "R2/27", "R3/26", "R4/25",
                                                 "R11/0", "R12/25", "E4/39", "C21/44"}));

    Dispatch({u"$GLGSV,1,1,01,84,01,353,31*00"});
    EXPECT_EQ(Shown(), (std::vector<std::string>{"G5/41", "G7/35", "R20/31", "E4/39", "C21/44"}));

    // A cycle whose first message was lost is not shown.
    Dispatch({u"$GAGSV,2,2,05,09,03,322,20*00"});
    EXPECT_EQ(display.Count("sky"), 5);
    EXPECT_EQ(Shown().back(), "C21/44");
}

TEST_F(InterpreterTest, ASatelliteOnSeveralSignalsShowsOnceWithItsL1Signal) {
    Dispatch({u"$GAGSV,1,1,01,04,52,298,44,1*00",  // E5a first
              u"$GAGSV,1,1,01,04,52,298,38,7*00",  // E1
              u"$GPGSV,1,1,02,05,40,100,40,07,30,200,30,1*00",
              u"$GPGSV,1,1,02,05,40,100,45,09,10,50,20,8*00", u"$GNRMC,1,A*00"});
    EXPECT_EQ(Shown(), (std::vector<std::string>{"G5/40", "G7/30", "G9/20", "E4/38"}));
}

struct GsaCase {
    const char* legend;
    std::vector<TextView> gsas;
    std::vector<std::string> shown;
};

TEST(interpreter_test, EachGsaReplacesTheMarksOfItsOwnSystems) {
    const GsaCase cases[] = {
        {"NMEA 4.10 system ids",
         {u"$GNGSA,A,3,05,07,33,,,,,,,,,,1.5,0.9,1.2,1*00",
          u"$GNGSA,A,3,65,,,,,,,,,,,,1.5,0.9,1.2,2*00"},
         {"G5/41*", "G7/35*", "S33/30*", "R1/30*", "R2/31"}},
        {"NMEA 4.0, told apart by their numbers",
         {u"$GNGSA,A,3,05,07,,,,,,,,,,,1.5,0.9,1.2*00",
          u"$GNGSA,A,3,65,66,,,,,,,,,,,1.5,0.9,1.2*00"},
         {"G5/41*", "G7/35*", "S33/30", "R1/30*", "R2/31*"}},
        {"a talker per system",
         {u"$GPGSA,A,3,07,,,,,,,,,,,,1.5,0.9,1.2*00", u"$GLGSA,A,3,66,,,,,,,,,,,,1.5,0.9,1.2*00"},
         {"G5/41", "G7/35*", "S33/30", "R1/30", "R2/31*"}},
        {"a later GSA of one system keeps the other's marks",
         {u"$GNGSA,A,3,05,,,,,,,,,,,,1.5,0.9,1.2,1*00",
          u"$GNGSA,A,3,65,,,,,,,,,,,,1.5,0.9,1.2,2*00",
          u"$GNGSA,A,3,07,,,,,,,,,,,,1.5,0.9,1.2,1*00"},
         {"G5/41", "G7/35*", "S33/30", "R1/30*", "R2/31"}},
        {"a system using none under a fix keeps the marks",
         {u"$GNGSA,A,3,05,65,,,,,,,,,,,1.5,0.9,1.2*00", u"$GNGSA,A,3,,,,,,,,,,,,,1.5,0.9,1.2*00"},
         {"G5/41*", "G7/35", "S33/30", "R1/30*", "R2/31"}},
        {"no fix and none listed: none used",
         {u"$GNGSA,A,3,05,65,,,,,,,,,,,1.5,0.9,1.2*00", u"$GNGSA,A,1,,,,,,,,,,,,,,,,*00"},
         {"G5/41", "G7/35", "S33/30", "R1/30", "R2/31"}},
    };
    for (const GsaCase& c : cases) {
        SCOPED_TRACE(c.legend);
        RecordingDisplay display;
        NmeaInterpreter core(display);
        for (const TextView s : {u"$GLGSV,1,1,02,65,20,300,30,66,25,310,31*00",
                                 u"$GPGSV,1,1,03,05,40,100,41,07,30,200,35,33,30,200,30*00"}) {
            core.DispatchSentence(s);
        }
        for (const TextView gsa : c.gsas) {
            core.DispatchSentence(gsa);
        }
        EXPECT_EQ(ShownOf(core.state()), c.shown);
    }
}

TEST_F(InterpreterTest, TheListShownHoldsAtMost52) {
    // 13 GP messages of 4, 50 in view: two places are left for GLONASS.
    for (int m = 1; m <= 13; ++m) {
        std::u16string gsv = u"$GPGSV,13," + Widen(std::to_string(m)) + u",50";
        for (int j = 0; j < 4; ++j) {
            gsv += u"," + Widen(std::to_string((m * 4 + j) % 32 + 1)) + u",10,10,30";
        }
        core.DispatchSentence(gsv + u"*00");
    }
    Dispatch({u"$GLGSV,1,1,03,65,20,300,30,66,25,310,31,67,25,310,32*00"});
    const std::vector<std::string> shown = Shown();
    ASSERT_EQ(shown.size(), 52u);
    EXPECT_EQ(shown[50], "R1/30");
    EXPECT_EQ(shown[51], "R2/31");
}

}  // namespace
}  // namespace pathlux
