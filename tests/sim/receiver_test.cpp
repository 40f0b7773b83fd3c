#include "tools/sim/receiver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "control/checksum.h"
#include "nmea/nmea.h"

namespace pathlux::sim {
namespace {

constexpr std::int64_t kNoon = 1796558400;  // 2026-12-06 12:00:00 UTC

// What the monitor window would be told.
class RecordingDisplay : public MonitorDisplay {
  public:
    void SetFieldText(int controlId, const Text& text) override { fields[controlId] = text; }
    void AppendLog(Text) override {}
    void StartTimer(int, int) override { timerRunning = true; }
    void StopTimer(int) override { timerRunning = false; }
    void RedrawSkyPlot() override { ++redraws; }
    void RedrawSignalBars() override {}

    std::map<int, Text> fields;
    bool timerRunning = false;
    int redraws = 0;
};

// A receiver and the monitor's interpretation core reading it, the TTFF timer ticking once per
// simulated second.
struct Bench {
    explicit Bench(std::uint32_t seed = 1, Place place = kDefaultPlace)
        : receiver({place, kNoon, seed}), core(display) {}

    std::vector<std::string> Second() {
        std::vector<std::string> sentences = receiver.NextSecond();
        for (const std::string& s : sentences) {
            const std::string line = s + "\r\n";
            core.FeedBytes(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
        }
        if (display.timerRunning) {
            core.OnTimer(kTtffTimerId);
        }
        return sentences;
    }
    void Send(const std::string& line) {
        const ParsedCommand parsed = ParseCommand(line);
        ASSERT_EQ(parsed.verdict, Verdict::kAccepted) << line;
        receiver.Obey(parsed.command);
    }
    // Runs until the receiver reports this fix mode; false when it does not come in time.
    bool RunUntil(FixMode mode, int limit = 120) {
        for (int i = 0; i < limit; ++i) {
            Second();
            if (receiver.last().mode == mode) {
                return true;
            }
        }
        return false;
    }
    std::string Field(int id) const {
        const auto it = display.fields.find(id);
        return it == display.fields.end() ? "" : std::string(it->second.begin(), it->second.end());
    }

    Receiver receiver;
    RecordingDisplay display;
    NmeaInterpreter core;
};

std::string FieldOf(const std::string& sentence, int k) {
    const Text field = GetField(Widen(sentence), k);
    return std::string(field.begin(), field.end());
}

std::string HeadOf(const std::string& sentence) {
    return FieldOf(sentence, 1);
}

TEST(sim_receiver_test, EverySentenceCarriesItsChecksumAndFitsNmeaLength) {
    Bench bench;
    bench.Send("$PNMRX108,GGA,GLL,GSA,GSV,RMC,VTG,ZDA*1B");
    int count = 0;
    for (int second = 0; second < 600; ++second) {
        for (const std::string& s : bench.Second()) {
            SCOPED_TRACE(s);
            ++count;
            ASSERT_GE(s.size(), 4u);
            EXPECT_EQ(s[0], '$');
            EXPECT_LE(s.size(), 80u) << "82 with CR LF";
            std::string body = s.substr(0, s.size() - 3);
            EXPECT_EQ(body.find('*'), std::string::npos);
            AppendChecksum(body);
            EXPECT_EQ(body, s);
        }
    }
    EXPECT_GT(count, 600 * 7);
}

struct StartCase {
    const char* legend;
    const char* command;
    int first2d;  // earliest and latest second of the first 2D fix after the restart
    int last2d;
    int first3d;
    int last3d;
    bool listsUnfoundSatellites;
};

const StartCase kStarts[] = {
    {"cold", "$PNMRX111,COLD*40", 38, 44, 42, 48, false},
    {"warm", "$PNMRX111,WARM*4D", 24, 27, 27, 30, true},
    {"hot", "$PNMRX111,HOT*17", 3, 4, 5, 6, true},
    {"factory", "$PNMRX111,FACTORY*10", 38, 44, 42, 48, false},
};

TEST(sim_receiver_test, RestartLosesTheFixAndFindsSatellitesOneByOne) {
    for (const StartCase& c : kStarts) {
        for (std::uint32_t seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE(std::string(c.legend) + " seed " + std::to_string(seed));
            Bench bench(seed);
            ASSERT_TRUE(bench.RunUntil(FixMode::k3D));
            bench.Send(c.command);

            int first2d = -1;
            int first3d = -1;
            std::size_t trackedBefore = 0;
            for (int second = 0; first3d < 0 && second < 120; ++second) {
                const std::vector<std::string> sentences = bench.Second();
                const SecondState& state = bench.receiver.last();
                ASSERT_EQ(state.sinceRestart, second);
                if (second == 0) {
                    EXPECT_EQ(sentences.front(), "$PNMX600 Nemerix NS1030,Version 1.05*2E");
                    EXPECT_EQ(bench.Field(kVersionField), "1.05");
                } else {
                    EXPECT_NE(HeadOf(sentences.front()), "$PNMX600 Nemerix NS1030");
                }
                std::size_t tracked = 0;
                for (const ViewEntry& e : state.inView) {
                    tracked += e.snr >= 0;
                    if (!c.listsUnfoundSatellites && state.mode == FixMode::kNone) {
                        EXPECT_GE(e.snr, 0) << "without almanac only found satellites are listed";
                    }
                }
                EXPECT_LE(tracked, trackedBefore + 1) << "found one by one";
                trackedBefore = tracked;
                if (state.mode == FixMode::k2D && first2d < 0) {
                    first2d = second;
                }
                if (state.mode == FixMode::k3D) {
                    first3d = second;
                }
                if (first2d < 0) {
                    EXPECT_EQ(state.mode, FixMode::kNone);
                    EXPECT_EQ(bench.Field(kFixField), "NA");
                    EXPECT_TRUE(bench.display.timerRunning) << "the TTFF count runs";
                }
            }
            EXPECT_GE(first2d, c.first2d);
            EXPECT_LE(first2d, c.last2d);
            EXPECT_GE(first3d, c.first3d);
            EXPECT_LE(first3d, c.last3d);
            EXPECT_LT(first2d, first3d) << "2D before 3D";
            EXPECT_FALSE(bench.display.timerRunning);
            EXPECT_EQ(bench.core.state().ttffSeconds, first2d) << "TTFF as the monitor counts it";
            EXPECT_EQ(bench.display.fields[kTtffField], FormatTtff(first2d));
            EXPECT_EQ(bench.Field(kFixField), "3D");
        }
    }
}

TEST(sim_receiver_test, FactoryRestartAlsoResetsTheOutput) {
    Bench bench;
    bench.Send("$PNMRX108,RMC,ZDA*63");
    bench.Send("$PNMRX103,RMC,2*05");
    bench.Second();
    EXPECT_NE(bench.receiver.output(), OutputConfig{});
    bench.Send("$PNMRX111,COLD*40");
    bench.Second();
    EXPECT_NE(bench.receiver.output(), OutputConfig{}) << "a cold restart keeps the output";
    bench.Send("$PNMRX111,FACTORY*10");
    bench.Second();
    EXPECT_EQ(bench.receiver.output(), OutputConfig{});
}

struct FieldCase {
    const char* legend;
    const char* head;
    int field;
    std::string expected;
};

// The first second after a cold restart: a real receiver's empty fields, read with GetField.
const FieldCase kNoFixFields[] = {
    {"GGA latitude empty", "$GPGGA", 3, "0"},
    {"GGA hemisphere empty", "$GPGGA", 4, "0"},
    {"GGA longitude empty", "$GPGGA", 5, "0"},
    {"GGA quality invalid", "$GPGGA", 7, "0"},
    {"GGA satellites used", "$GPGGA", 8, "00"},
    {"GGA HDOP empty", "$GPGGA", 9, "0"},
    {"GGA altitude empty", "$GPGGA", 10, "0"},
    {"GSA automatic", "$GPGSA", 2, "A"},
    {"GSA mode 1", "$GPGSA", 3, "1"},
    {"GSA first PRN slot empty", "$GPGSA", 4, "0"},
    {"GSA last PRN slot empty", "$GPGSA", 15, "0"},
    {"GSA PDOP empty", "$GPGSA", 16, "0"},
    {"GSA VDOP empty", "$GPGSA", 18, "0"},
    {"GSV one page", "$GPGSV", 2, "1"},
    {"GSV nothing found yet", "$GPGSV", 4, "00"},
    {"RMC time", "$GPRMC", 2, "120000.000"},
    {"RMC status V", "$GPRMC", 3, "V"},
    {"RMC latitude empty", "$GPRMC", 4, "0"},
    {"RMC speed empty", "$GPRMC", 8, "0"},
    {"RMC date", "$GPRMC", 10, "061226"},
    {"RMC mode not valid", "$GPRMC", 13, "N"},
    {"GLL status V", "$GPGLL", 7, "V"},
    {"GLL latitude empty", "$GPGLL", 2, "0"},
    {"VTG course empty", "$GPVTG", 2, "0"},
    {"VTG mode not valid", "$GPVTG", 10, "N"},
    {"ZDA day", "$GPZDA", 3, "06"},
    {"ZDA month", "$GPZDA", 4, "12"},
    {"ZDA year", "$GPZDA", 5, "2026"},
};

// After the 3D fix at the default place.
const FieldCase kFixFields[] = {
    {"GGA latitude", "$GPGGA", 3, "4807.0380"},
    {"GGA north", "$GPGGA", 4, "N"},
    {"GGA longitude", "$GPGGA", 5, "01131.0000"},
    {"GGA east", "$GPGGA", 6, "E"},
    {"GGA quality GPS", "$GPGGA", 7, "1"},
    {"GGA altitude", "$GPGGA", 10, "545.4"},
    {"GSA mode 3", "$GPGSA", 3, "3"},
    {"RMC status A", "$GPRMC", 3, "A"},
    {"RMC latitude", "$GPRMC", 4, "4807.0380"},
    {"RMC standing still", "$GPRMC", 8, "0.00"},
    {"GLL status A", "$GPGLL", 7, "A"},
    {"GLL longitude", "$GPGLL", 4, "01131.0000"},
    {"VTG mode autonomous", "$GPVTG", 10, "A"},
};

void CheckFields(const std::vector<std::string>& sentences, const FieldCase* begin,
                 const FieldCase* end) {
    for (const FieldCase* c = begin; c != end; ++c) {
        SCOPED_TRACE(c->legend);
        const auto it = std::find_if(sentences.begin(), sentences.end(),
                                     [&](const std::string& s) { return HeadOf(s) == c->head; });
        ASSERT_NE(it, sentences.end());
        EXPECT_EQ(FieldOf(*it, c->field), c->expected) << *it;
    }
}

TEST(sim_receiver_test, FieldsAreEmptyWithoutFixAndFilledWithIt) {
    Bench bench;
    bench.Send("$PNMRX108,GGA,GLL,GSA,GSV,RMC,VTG,ZDA*1B");
    bench.Send("$PNMRX111,COLD*40");
    CheckFields(bench.Second(), std::begin(kNoFixFields), std::end(kNoFixFields));
    ASSERT_TRUE(bench.RunUntil(FixMode::k3D));
    CheckFields(bench.Second(), std::begin(kFixFields), std::end(kFixFields));
}

struct PlaceCase {
    const char* legend;
    Place place;
    const char16_t* latitudeText;
    const char16_t* longitudeText;
};

const PlaceCase kPlaces[] = {
    {"default place", kDefaultPlace, u"N048\u00B007'02.28\"", u"E011\u00B031'00.00\""},
    {"south and east", {-33.8688, 151.2093, 58}, u"S033\u00B052'07.68\"", u"E151\u00B012'33.48\""},
    {"south and west", {-0.1807, -78.4678, 2850}, u"S000\u00B010'50.52\"", u"W078\u00B028'04.08\""},
    {"north and west", {40.7128, -74.006, 10}, u"N040\u00B042'46.08\"", u"W074\u00B000'21.60\""},
};

TEST(sim_receiver_test, DecodesToTheIntendedPositionFixAndSatellites) {
    for (const PlaceCase& c : kPlaces) {
        SCOPED_TRACE(c.legend);
        Bench bench(7, c.place);
        ASSERT_TRUE(bench.RunUntil(FixMode::k3D));
        bench.Second();
        const SecondState& said = bench.receiver.last();
        ASSERT_EQ(said.mode, FixMode::k3D);
        const ReceiverState& seen = bench.core.state();

        const auto units = [](double deg) { return std::llround(deg * 600000.0); };
        EXPECT_NEAR(seen.latitude, units(c.place.latitudeDeg), 1);
        EXPECT_NEAR(seen.longitude, units(c.place.longitudeDeg), 1);
        EXPECT_EQ(bench.display.fields[kLatitudeField], c.latitudeText);
        EXPECT_EQ(bench.display.fields[kLongitudeField], c.longitudeText);
        EXPECT_EQ(bench.Field(kFixField), "3D");
        EXPECT_EQ(seen.fix3d, 1);

        ASSERT_EQ(seen.inViewCount, static_cast<int>(said.inView.size()));
        for (std::size_t i = 0; i < said.inView.size(); ++i) {
            const ViewEntry& e = said.inView[i];
            SCOPED_TRACE(e.prn);
            EXPECT_EQ(seen.inViewPrns[i], e.prn);
            const SatelliteRecord& r = seen.RecordOrZero(e.prn);
            EXPECT_EQ(r.elevation, e.elevation);
            EXPECT_EQ(r.azimuth, e.azimuth);
            EXPECT_EQ(r.snr, std::max(e.snr, 0));
            const bool used =
                std::find(said.used.begin(), said.used.end(), e.prn) != said.used.end();
            EXPECT_EQ(r.used, used ? 1 : 0);
        }
        EXPECT_GE(said.used.size(), 4u);
        EXPECT_LE(said.used.size(), static_cast<std::size_t>(kMaxUsed));
        char pdop[16];
        std::snprintf(pdop, sizeof pdop, "%.1f", said.dops.pdop);
        EXPECT_EQ(bench.Field(kPdopField), pdop);
    }
}

TEST(sim_receiver_test, GsvPagesFourSatellitesAtATimeAndCompletesEveryCycle) {
    Bench bench;
    ASSERT_TRUE(bench.RunUntil(FixMode::k3D));
    int mostPages = 0;
    for (int second = 0; second < 3600; ++second) {
        const int redrawsBefore = bench.display.redraws;
        std::vector<std::string> pages;
        for (const std::string& s : bench.Second()) {
            if (HeadOf(s) == "$GPGSV") {
                pages.push_back(s);
            }
        }
        const SecondState& said = bench.receiver.last();
        for (const int prn : said.used) {
            EXPECT_TRUE(std::any_of(said.inView.begin(), said.inView.end(),
                                    [&](const ViewEntry& e) { return e.prn == prn; }))
                << "used PRN " << prn << " listed in view";
        }
        const int inView = static_cast<int>(said.inView.size());
        const int expectedPages = std::max(1, (inView + 3) / 4);
        ASSERT_EQ(static_cast<int>(pages.size()), expectedPages) << "second " << second;
        ASSERT_LE(inView, kMaxChannels);
        mostPages = std::max(mostPages, expectedPages);
        for (int page = 0; page < expectedPages; ++page) {
            const std::string& p = pages[static_cast<std::size_t>(page)];
            SCOPED_TRACE(p);
            EXPECT_EQ(FieldOf(p, 2), std::to_string(expectedPages));
            EXPECT_EQ(FieldOf(p, 3), std::to_string(page + 1));
            EXPECT_EQ(std::stoi(FieldOf(p, 4)), inView);
            const int onPage = std::min(4, inView - 4 * page);
            // Head, three counters, four fields a satellite: nothing padded after the last one.
            EXPECT_EQ(std::count(p.begin(), p.end(), ','), 3 + 4 * onPage);
        }
        EXPECT_EQ(bench.display.redraws, redrawsBefore + 1) << "one complete cycle a second";
    }
    EXPECT_EQ(mostPages, 4) << "more than 12 in view at times";
}

struct OutputCase {
    const char* legend;
    std::vector<std::string> commands;
    std::vector<std::vector<std::string>> expectedHeads;  // seconds 0, 1, 2, ... after the commands
};

const OutputCase kOutputCases[] = {
    {"default list and order",
     {},
     {{"$GPGGA", "$GPGSA", "$GPGSV", "$GPRMC"}, {"$GPGGA", "$GPGSA", "$GPGSV", "$GPRMC"}}},
    {"list in click order", {"$PNMRX108,RMC,GGA*7D"}, {{"$GPRMC", "$GPGGA"}, {"$GPRMC", "$GPGGA"}}},
    {"the other three sentences", {"$PNMRX108,ZDA,VTG,GLL*11"}, {{"$GPZDA", "$GPVTG", "$GPGLL"}}},
    {"empty list: silence", {"$PNMRX108*60"}, {{}, {}}},
    {"rates: RMC every second, GGA every third second",
     {"$PNMRX108,RMC,GGA*7D", "$PNMRX103,RMC,1,GGA,3*74"},
     {{"$GPRMC", "$GPGGA"}, {"$GPRMC"}, {"$GPRMC"}, {"$GPRMC", "$GPGGA"}, {"$GPRMC"}}},
    {"a rate for an unlisted sentence shows nothing",
     {"$PNMRX108,RMC*10", "$PNMRX103,ZDA,2*06"},
     {{"$GPRMC"}, {"$GPRMC"}}},
    {"factory restart: version, then the default output",
     {"$PNMRX108,RMC*10", "$PNMRX103,GGA,8*12", "$PNMRX111,FACTORY*10"},
     {{"$PNMX600 Nemerix NS1030", "$GPGGA", "$GPGSA", "$GPGSV", "$GPRMC"},
      {"$GPGGA", "$GPGSA", "$GPGSV", "$GPRMC"}}},
    {"hot restart keeps the output",
     {"$PNMRX108,RMC*10", "$PNMRX111,HOT*17"},
     {{"$PNMX600 Nemerix NS1030", "$GPRMC"}, {"$GPRMC"}}},
};

TEST(sim_receiver_test, ListAndRateCommandsChangeTheOutput) {
    for (const OutputCase& c : kOutputCases) {
        SCOPED_TRACE(c.legend);
        Bench bench;
        // Start on a second that every rate divides, so the table can count from there.
        while (bench.receiver.last().utc != kNoon + 839) {
            bench.Second();
        }
        for (const std::string& command : c.commands) {
            bench.Send(command);
        }
        for (std::size_t second = 0; second < c.expectedHeads.size(); ++second) {
            SCOPED_TRACE(second);
            std::vector<std::string> heads;
            std::string previous;
            for (const std::string& s : bench.Second()) {
                // GSV pages count as one.
                if (HeadOf(s) != previous || previous != "$GPGSV") {
                    heads.push_back(HeadOf(s));
                }
                previous = HeadOf(s);
            }
            EXPECT_EQ(heads, c.expectedHeads[second]);
        }
    }
}

TEST(sim_receiver_test, SameSeedSameOutputOtherSeedOtherNoise) {
    Bench a(42);
    Bench b(42);
    Bench c(43);
    bool differs = false;
    for (int second = 0; second < 120; ++second) {
        const std::vector<std::string> sa = a.Second();
        ASSERT_EQ(sa, b.Second());
        differs = differs || sa != c.Second();
    }
    EXPECT_TRUE(differs);
}

}  // namespace
}  // namespace pathlux::sim
