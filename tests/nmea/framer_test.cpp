#include "nmea/framer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "nmea/interpreter.h"
#include "tests/support/recording_display.h"

namespace pathlux {
namespace {

class RecordingSink : public FramerSink {
  public:
    void OnLogLine(TextView line) override { lines.emplace_back(line); }
    void OnSentence(TextView sentence) override { sentences.emplace_back(sentence); }
    std::vector<Text> lines;
    std::vector<Text> sentences;
};

void Feed(SentenceFramer& framer, std::string_view bytes, FramerSink& sink) {
    framer.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), sink);
}

struct FramingCase {
    const char* legend;
    std::string_view bytes;
    std::vector<Text> lines;
    std::vector<Text> sentences;
};

TEST(framer_test, CutsLinesAtCarriageReturnAndSentencesAtTheLastDollar) {
    using namespace std::string_view_literals;
    const FramingCase cases[] = {
        {"carriage return alone logs an empty line", "\r", {u""}, {}},
        {"noise before the dollar", "xy$A,1*00\r", {u"xy$A,1*00"}, {u"$A,1*00"}},
        {"second dollar restarts the sentence", "$ab$A,1*00\r", {u"$ab$A,1*00"}, {u"$A,1*00"}},
        {"escape inside a sentence discards it", "$A,1\x1b*00\r", {u"$A,1\u001b*00"}, {}},
        {"new dollar after a control character", "$A\x01$B*00\r", {u"$A\u0001$B*00"}, {u"$B*00"}},
        {"DEL is a control character", "$A\x7f*00\r", {u"$A\u007f*00"}, {}},
        {"high byte widens to U+FFxx, spoils", "$A\xb0*00\r", {u"$A\uffb0*00"}, {}},
        {"zero byte is a control character", "$A\0B\r"sv, {Text(u"$A\0B", 4)}, {}},
    };
    for (const FramingCase& c : cases) {
        SCOPED_TRACE(c.legend);
        SentenceFramer framer;
        RecordingSink sink;
        Feed(framer, c.bytes, sink);
        EXPECT_EQ(sink.lines, c.lines);
        EXPECT_EQ(sink.sentences, c.sentences);
    }
}

TEST(framer_test, SentenceSplitAcrossChunksIsJoinedOnce) {
    const std::string stream = "$GPGSV,3,1,10,04,45,120,38*70\r\n";
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        SCOPED_TRACE(cut);
        SentenceFramer framer;
        RecordingSink sink;
        Feed(framer, std::string_view(stream).substr(0, cut), sink);
        Feed(framer, std::string_view(stream).substr(cut), sink);
        ASSERT_EQ(sink.sentences.size(), 1u);
        EXPECT_EQ(sink.sentences[0], u"$GPGSV,3,1,10,04,45,120,38*70");
    }
}

TEST(framer_test, EndlessLineIsLoggedInPiecesAndLosesNoLaterSentence) {
    SentenceFramer framer;
    RecordingSink sink;
    const std::size_t cap = SentenceFramer::kMaxLineChars;
    // Bare LF line ends never end a line: a whole capture arrives as one endless line.
    std::string stream;
    for (int i = 0; i < 200; ++i) {
        stream += "$GPRMC,1*00\n";
    }
    Feed(framer, stream, sink);
    EXPECT_EQ(sink.lines.size(), 200 * 11 / cap);
    for (const Text& line : sink.lines) {
        EXPECT_EQ(line.size(), cap);
    }
    // A sentence without end is dropped at the cap; the next one still arrives whole.
    const std::string endless = "$" + std::string(3 * cap, 'x');
    Feed(framer, endless, sink);
    EXPECT_FALSE(framer.sentenceStarted());
    sink.sentences.clear();
    Feed(framer, "$GPGGA,2*00\r", sink);
    EXPECT_EQ(sink.sentences, std::vector<Text>{u"$GPGGA,2*00"});
    // Nothing of the log was lost: every byte went into some line.
    std::size_t logged = 0;
    for (const Text& line : sink.lines) {
        logged += line.size();
    }
    EXPECT_EQ(logged, 200 * 11 + endless.size() + 11);
}

// Has `full` chunks of 100 carriage returns waiting, then `last` more; counts the reads.
class ScriptedPort : public ByteSource {
  public:
    ScriptedPort(int full, std::size_t last) : full_(full), last_(last) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t max) override {
        const std::size_t n = reads < full_ ? max : reads == full_ ? last_ : 0;
        ++reads;
        std::fill_n(buffer, n, '\r');
        return n;
    }
    int reads = 0;

  private:
    int full_;
    std::size_t last_;
};

TEST(framer_test, NotificationReadsAgainOnlyAfterAFullChunk) {
    const struct {
        const char* legend;
        std::uint32_t events;
        int full;
        std::size_t last;
        int reads;
        std::size_t logged;
        int result;
    } cases[] = {
        {"99 bytes end the notification", 0x1, 0, 99, 1, 99, 0},
        {"100 bytes are followed by another read", 0x1, 2, 5, 3, 205, 0},
        {"other event bits read nothing", 0x100C0, 1, 0, 0, 0, 0},
        {"79 full chunks and a short one", 0x1, 79, 99, 80, 7999, 0},
        {"a flood stops after 80 full chunks", 0x1, 85, 0, 80, 8000, NmeaInterpreter::kMoreWaiting},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        testing::RecordingDisplay display;
        NmeaInterpreter core(display);
        ScriptedPort port(c.full, c.last);
        EXPECT_EQ(core.OnSerialNotify(c.events, port), c.result);
        EXPECT_EQ(port.reads, c.reads);
        EXPECT_EQ(display.logLines.size(), c.logged);
        if (c.logged > 0) {
            EXPECT_EQ(display.logLines.front(), u"\r\n") << "a log line carries its line end";
        }
    }
}

}  // namespace
}  // namespace pathlux
