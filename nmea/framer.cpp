#include "nmea/framer.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace pathlux {

namespace {

// Accepted, and none of carriage return, line feed and "$".
constexpr bool IsOrdinary(std::uint8_t byte) {
    return (byte >= 0x20 && byte <= 0x7E && byte != '$') || byte == 0x09 || byte == 0x0B ||
           byte == 0x0C;
}

// The same as a table: the framer asks it of every byte.
constexpr auto kOrdinary = [] {
    std::array<bool, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        table[static_cast<std::size_t>(byte)] = IsOrdinary(static_cast<std::uint8_t>(byte));
    }
    return table;
}();

}  // namespace

void SentenceFramer::AppendToLogLine(const char16_t* chars, std::size_t count, FramerSink& sink) {
    while (count > 0) {
        if (logLine_.size() >= kMaxLineChars) {
            sink.OnLogLine(logLine_);
            logLine_.clear();
        }
        const std::size_t n = std::min(count, kMaxLineChars - logLine_.size());
        logLine_.append(chars, n);
        chars += n;
        count -= n;
    }
}

void SentenceFramer::AppendRun(const std::uint8_t* bytes, std::size_t count, FramerSink& sink) {
    // Only ASCII reaches here, so each byte is its own character.
    char16_t chars[256];
    while (count > 0) {
        const std::size_t n = std::min(count, std::size(chars));
        std::copy_n(bytes, n, chars);
        AppendToLogLine(chars, n, sink);
        if (sentenceStarted_) {
            if (sentenceText_.size() + n > kMaxLineChars) {
                ResetSentence();
            } else {
                sentenceText_.append(chars, n);
            }
        }
        bytes += n;
        count -= n;
    }
}

void SentenceFramer::Feed(const std::uint8_t* bytes, std::size_t count, FramerSink& sink) {
    std::size_t i = 0;
    while (i < count) {
        // Ordinary characters go to the texts a run at a time; the run stops at every character
        // a rule looks at, and at the line cap.
        std::size_t run = i;
        while (run < count && kOrdinary[bytes[run]]) {
            ++run;
        }
        if (run > i) {
            AppendRun(bytes + i, run - i, sink);
            i = run;
            continue;
        }
        const char16_t c = WidenByte(bytes[i++]);
        if (!IsAcceptedChar(c)) {
            AppendToLogLine(&c, 1, sink);
            ResetSentence();
        } else if (c == u'\r') {
            sink.OnLogLine(logLine_);
            logLine_.clear();
            if (sentenceStarted_) {
                sink.OnSentence(sentenceText_);
            }
            ResetSentence();
        } else if (c == u'\n') {
            // A bare line feed does not end a line.
        } else {  // "$"
            sentenceText_.clear();
            sentenceStarted_ = true;
            AppendRun(&bytes[i - 1], 1, sink);
        }
    }
}

}  // namespace pathlux
