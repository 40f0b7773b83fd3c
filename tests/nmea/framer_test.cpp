#include "nmea/framer.h"

#include <gtest/gtest.h>

#include <deque>
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
        {"sentence with checksum and CR LF",
         "$GPGGA,123519,4807.038,N*47\r\n",
         {u"$GPGGA,123519,4807.038,N*47"},
         {u"$GPGGA,123519,4807.038,N*47"}},
        {"carriage return alone logs an empty line", "\r", {u""}, {}},
        {"bare line feed does not end a line", "abc\ndef\r", {u"abcdef"}, {}},
        {"noise before the dollar stays in the log only",
         "xy$GPRMC,1*00\r",
         {u"xy$GPRMC,1*00"},
         {u"$GPRMC,1*00"}},
        {"second dollar restarts the sentence",
         "$ab$GPGSV,1,1,04*70\r",
         {u"$ab$GPGSV,1,1,04*70"},
         {u"$GPGSV,1,1,04*70"}},
        {"escape inside a sentence discards it",
         "$GPGGA,1\x1b,2*00\r",
         {u"$GPGGA,1\u001b,2*00"},
         {}},
        {"new dollar after a control character starts again",
         "$GPGGA\x01$GPRMC,1*00\r",
         {u"$GPGGA\u0001$GPRMC,1*00"},
         {u"$GPRMC,1*00"}},
        {"DEL is a control character", "$A\x7f*00\r", {u"$A\u007f*00"}, {}},
        {"high byte widens to U+FFxx and spoils the sentence", "$A\xb0*00\r", {u"$A\uffb0*00"}, {}},
        {"zero byte is a control character", "$A\0B\r"sv, {Text(u"$A\0B", 4)}, {}},
        {"unfinished line waits for its carriage return", "$GPGGA,1", {}, {}},
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
    EXPECT_LE(framer.logLine().size(), cap);
    EXPECT_EQ(sink.lines.size(), 200 * 11 / cap);
    for (const Text& line : sink.lines) {
        EXPECT_EQ(line.size(), cap);
    }
    // A sentence without end is dropped at the cap; the next one still arrives whole.
    const std::string endless = "$" + std::string(3 * cap, 'x');
    Feed(framer, endless, sink);
    EXPECT_LE(framer.sentenceSize(), cap);
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

// Serves scripted chunk sizes from a byte stream and counts the reads.
class ScriptedPort : public ByteSource {
  public:
    ScriptedPort(std::string bytes, std::deque<std::size_t> sizes)
        : bytes_(std::move(bytes)), sizes_(std::move(sizes)) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t max) override {
        ++reads;
        std::size_t n = sizes_.empty() ? 0 : sizes_.front();
        if (!sizes_.empty()) {
            sizes_.pop_front();
        }
        n = std::min({n, max, bytes_.size() - offset_});
        std::copy_n(bytes_.data() + offset_, n, buffer);
        offset_ += n;
        return n;
    }
    int reads = 0;

  private:
    std::string bytes_;
    std::deque<std::size_t> sizes_;
    std::size_t offset_ = 0;
};

TEST(framer_test, NotificationReadsAgainOnlyAfterAFullChunk) {
    const std::string lines(9000, '\r');
    // n full chunks, then one of the given size.
    const auto chunks = [](std::size_t n, std::size_t last) {
        std::deque<std::size_t> sizes(n, 100);
        sizes.push_back(last);
        return sizes;
    };
    const struct {
        const char* legend;
        std::uint32_t events;
        std::deque<std::size_t> sizes;
        int reads;
        std::size_t linesLogged;
        int result;
    } cases[] = {
        {"99 bytes end the notification", 0x1, {99, 100}, 1, 99, 0},
        {"100 bytes are followed by another read", 0x1, {100, 100, 5, 100}, 3, 205, 0},
        {"other event bits read nothing", 0x100C0, {100}, 0, 0, 0},
        {"79 full chunks and a short one", 0x1, chunks(79, 99), 80, 7999, 0},
        {"a flood stops after 80 full chunks", 0x1, chunks(85, 100), 80, 8000,
         NmeaInterpreter::kMoreWaiting},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        testing::RecordingDisplay display;
        NmeaInterpreter core(display);
        ScriptedPort port(lines, c.sizes);
        EXPECT_EQ(core.OnSerialNotify(c.events, port), c.result);
        EXPECT_EQ(port.reads, c.reads);
        EXPECT_EQ(display.logLines.size(), c.linesLogged);
        if (!display.logLines.empty()) {
            EXPECT_EQ(display.logLines.front(), u"\r\n") << "a log line carries its line end";
        }
    }
}

}  // namespace
}  // namespace pathlux
