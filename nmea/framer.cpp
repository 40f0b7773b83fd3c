#include "nmea/framer.h"

#include <algorithm>
#include <array>
#include <bit>
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

// True when each of the 8 bytes at p is in 0x20..0x7E and none is "$": the common case, checked
// a word at a time (each test is exact for "any byte", whatever carries it causes).
inline bool AllPrintableNoDollar(const std::uint8_t* p) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHighs = 0x8080808080808080;
    std::uint64_t x;
    std::memcpy(&x, p, sizeof x);
    const std::uint64_t below20 = (x - kOnes * 0x20) & ~x & kHighs;
    const std::uint64_t above7e = (x + kOnes) | x;  // 0x7F and up set the high bit
    const std::uint64_t d = x ^ (kOnes * '$');
    const std::uint64_t dollar = (d - kOnes) & ~d & kHighs;
    return ((below20 | above7e | dollar) & kHighs) == 0;
}

// Eight ASCII bytes to eight 16-bit characters.
inline void WidenEight(const std::uint8_t* in, char16_t* out) {
    if constexpr (std::endian::native == std::endian::little) {
        // Each half of the word spread to 16 bits a byte, in two steps of shifts and masks.
        const auto spread = [](std::uint64_t x) {
            x = (x | (x << 16)) & 0x0000FFFF0000FFFF;
            return (x | (x << 8)) & 0x00FF00FF00FF00FF;
        };
        std::uint64_t x;
        std::memcpy(&x, in, sizeof x);
        const std::uint64_t low = spread(x & 0xFFFFFFFF);
        const std::uint64_t high = spread(x >> 32);
        std::memcpy(out, &low, sizeof low);
        std::memcpy(out + 4, &high, sizeof high);
    } else {
        std::copy_n(in, 8, out);
    }
}

}  // namespace

void SentenceFramer::MakeRoom(FramerSink& sink) {
    if (lineSize_ < kMaxLineChars) {
        return;
    }
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
            while (stop - bytes >= 8 && AllPrintableNoDollar(bytes)) {
                WidenEight(bytes, out);
                out += 8;
                bytes += 8;
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
