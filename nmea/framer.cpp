#include "nmea/framer.h"

#include <algorithm>
#include <array>
#include <cstring>

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

// The fast path takes the bytes a block at a time. Both helpers work on copies in plain loops of
// a fixed count, which the compiler turns into a few vector instructions where it can.
constexpr std::size_t kBlock = 16;

// True when each byte of the block at p is in 0x20..0x7E and none is "$": the common case.
inline bool AllPrintableNoDollar(const std::uint8_t* p) {
    std::uint8_t bytes[kBlock];
    std::memcpy(bytes, p, kBlock);
    std::uint8_t stops[kBlock];
    for (std::size_t k = 0; k < kBlock; ++k) {
        stops[k] = static_cast<std::uint8_t>(bytes[k] - 0x20) > 0x7E - 0x20 || bytes[k] == '$';
    }
    std::uint64_t halves[2];
    std::memcpy(halves, stops, kBlock);
    return (halves[0] | halves[1]) == 0;
}

// A block of ASCII bytes to as many 16-bit characters.
inline void WidenBlock(const std::uint8_t* in, char16_t* out) {
    std::uint8_t bytes[kBlock];
    std::memcpy(bytes, in, kBlock);
    char16_t chars[kBlock];
    for (std::size_t k = 0; k < kBlock; ++k) {
        chars[k] = bytes[k];
    }
    std::memcpy(out, chars, sizeof chars);
}

}  // namespace

void SentenceFramer::CutLine(FramerSink& sink) {
    sink.OnLogLine(logLine());
    if (sentenceStarted_) {
        spill_.append(logLine().substr(sentenceStart_));
        sentenceStart_ = 0;
    }
    lineSize_ = 0;
}

void SentenceFramer::Feed(const std::uint8_t* bytes, std::size_t count, FramerSink& sink) {
    const std::uint8_t* const end = bytes + count;
    while (bytes < end) {
        // Ordinary characters go to the line a run at a time; the run stops at every character
        // a rule looks at, and at the line cap.
        if (kOrdinary[*bytes]) {
            MakeRoom(sink);
            const std::size_t room = kMaxLineChars - lineSize_;
            const std::uint8_t* const stop =
                bytes + std::min(room, static_cast<std::size_t>(end - bytes));
            // Only ASCII reaches here, so each byte is its own character.
            char16_t* out = line_.data() + lineSize_;
            while (static_cast<std::size_t>(stop - bytes) >= kBlock &&
                   AllPrintableNoDollar(bytes)) {
                WidenBlock(bytes, out);
                out += kBlock;
                bytes += kBlock;
            }
            while (bytes < stop && kOrdinary[*bytes]) {
                *out++ = *bytes++;
            }
            lineSize_ = static_cast<std::size_t>(out - line_.data());
            CapSentence();
            continue;
        }
        const char16_t c = WidenByte(*bytes++);
        if (!IsAcceptedChar(c)) {
            MakeRoom(sink);
            line_[lineSize_++] = c;
            ResetSentence();
        } else if (c == u'\r') {
            sink.OnLogLine(logLine());
            if (sentenceStarted_) {
                const TextView tail = logLine().substr(sentenceStart_);
                if (spill_.empty()) {
                    sink.OnSentence(tail);
                } else {
                    spill_ += tail;
                    sink.OnSentence(spill_);
                }
            }
            lineSize_ = 0;
            ResetSentence();
        } else if (c == u'\n') {
            // A bare line feed does not end a line.
        } else {  // "$"
            MakeRoom(sink);
            spill_.clear();
            sentenceStart_ = lineSize_;
            sentenceStarted_ = true;
            line_[lineSize_++] = c;
        }
    }
}

}  // namespace pathlux
