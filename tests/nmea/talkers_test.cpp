// Receivers of several systems: the talkers other than GP, their GSV cycles beside the GP list,
// the GSA marks of each system, and the list the charts show.
#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "nmea/interpreter.h"
#include "tests/support/recording_display.h"

namespace pathlux {
namespace {

using testing::RecordingDisplay;

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

class TalkersTest : public ::testing::Test {
  protected:
    void Send(std::initializer_list<TextView> sentences) {
        for (const TextView s : sentences) {
            core.DispatchSentence(s);
        }
    }
    std::vector<std::string> Shown() const { return ShownOf(core.state()); }

    RecordingDisplay display;
    NmeaInterpreter core{display};
};

TEST_F(TalkersTest, OtherTalkersShowPositionTimeAndFixAsGpDoes) {
    const auto fieldsAfter = [](const std::u16string& talker) {
        RecordingDisplay display;
        NmeaInterpreter core(display);
        for (const char16_t* type :
             {u"RMC,171926.00,A,4404.14063,N,12118.85478,W,0.117,12.5,180315,,,A*76",
              u"GGA,171926.00,4404.14063,N,12118.85478,W,1,12,0.91,1147.2,M,-21.3,M,,*44",
              u"GSA,A,2,01,11,,,,,,,,,,,1.56,0.91,1.27*15"}) {
            core.DispatchSentence(u"$" + talker + type);
        }
        return display.fields;
    };
    const std::map<int, Text> gp = fieldsAfter(u"GP");
    ASSERT_EQ(gp.at(kFixField), u"2D");
    for (const char16_t* talker : {u"GN", u"GL", u"GA", u"GB", u"BD", u"GQ", u"GI"}) {
        SCOPED_TRACE(std::string(talker, talker + 2));
        EXPECT_EQ(fieldsAfter(talker), gp);
    }
}

TEST_F(TalkersTest, GpNumbersOutsideGpsAndSbasGetDataOnceAnotherTalkerIsSeen) {
    const TextView gsv = u"$GPGSV,1,1,04,05,40,100,41,33,30,200,35,193,60,90,38,65,20,300,30*00";
    Send({gsv});
    EXPECT_EQ(Shown(), (std::vector<std::string>{"G5/41", "?33/0", "?193/0", "?65/0"}));

    Send({u"$GNRMC,1,A*00", gsv});
    // SBAS keeps the number sent; QZSS and GLONASS go by their own numbers.
    EXPECT_EQ(Shown(), (std::vector<std::string>{"G5/41", "S33/35", "J1/38", "R1/30"}));
    EXPECT_EQ(core.state().sbasSats[0].snr, 35);  // SBAS PRN 120
}

TEST_F(TalkersTest, EachTalkersCycleReplacesItsOwnPartOnlyInTheOrderOfSystems) {
    Send({u"$GBGSV,1,1,01,21,70,010,44*00", u"$GPGSV,1,1,02,05,40,100,41,07,30,200,35*00",
          u"$GAGSV,1,1,01,04,52,298,39*00",
          u"$GLGSV,2,1,05,66,37,078,27,67,62,349,26,68,20,296,25,75,04,018,*00",
          u"$GLGSV,2,2,05,76,43,057,25*00"});
    EXPECT_EQ(display.Count("sky"), 4);
    EXPECT_EQ(display.Count("bars"), 4);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"G5/41", "G7/35", "R2/27", "R3/26", "R4/25",
                                                 "R11/0", "R12/25", "E4/39", "C21/44"}));

    Send({u"$GLGSV,1,1,01,84,01,353,31*00"});
    EXPECT_EQ(Shown(), (std::vector<std::string>{"G5/41", "G7/35", "R20/31", "E4/39", "C21/44"}));

    // A cycle whose first message was lost is not shown.
    Send({u"$GAGSV,2,2,05,09,03,322,20*00"});
    EXPECT_EQ(display.Count("sky"), 5);
    EXPECT_EQ(Shown().back(), "C21/44");
}

TEST_F(TalkersTest, ASatelliteOnSeveralSignalsShowsOnceWithItsL1Signal) {
    Send({u"$GAGSV,1,1,01,04,52,298,44,1*00",  // E5a first
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

TEST(talkers_test, EachGsaReplacesTheMarksOfItsOwnSystems) {
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

TEST_F(TalkersTest, TheListShownHoldsAtMost52) {
    // 13 GP messages of 4, 50 in view: two places are left for GLONASS.
    for (int m = 1; m <= 13; ++m) {
        std::u16string gsv = u"$GPGSV,13," + Widen(std::to_string(m)) + u",50";
        for (int j = 0; j < 4; ++j) {
            gsv += u"," + Widen(std::to_string((m * 4 + j) % 32 + 1)) + u",10,10,30";
        }
        core.DispatchSentence(gsv + u"*00");
    }
    Send({u"$GLGSV,1,1,03,65,20,300,30,66,25,310,31,67,25,310,32*00"});
    const std::vector<std::string> shown = Shown();
    ASSERT_EQ(shown.size(), 52u);
    EXPECT_EQ(shown[50], "R1/30");
    EXPECT_EQ(shown[51], "R2/31");
}

TEST_F(TalkersTest, BeforeAnyGpGsvTheOtherSystemsAloneAreShown) {
    EXPECT_EQ(Shown().size(), 12u);  // the empty list of a receiver not heard yet
    Send({u"$GLGSV,1,1,02,65,20,300,30,66,25,310,31*00"});
    EXPECT_EQ(Shown(), (std::vector<std::string>{"R1/30", "R2/31"}));
}

}  // namespace
}  // namespace pathlux
