// Cuts the byte stream from the receiver into log lines (at carriage returns) and sentences (from
// a line's last "$" to its carriage return).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "nmea/text.h"

namespace pathlux {

// A byte as a 16-bit character, by sign extension: 0x80..0xFF become U+FF80..U+FFFF.
constexpr char16_t WidenByte(std::uint8_t byte) {
    return static_cast<char16_t>(static_cast<std::int16_t>(static_cast<std::int8_t>(byte)));
}

// Printable or white space, by a fixed rule rather than the process locale: 0x20..0x7E and the
// white-space controls 0x09..0x0D. U+FF80..U+FFFF (bytes 0x80..0xFF) are not accepted: NMEA is
// 7-bit ASCII, so a high byte is line noise and spoils the sentence it falls into.
constexpr bool IsAcceptedChar(char16_t c) {
    return (c >= 0x20 && c <= 0x7E) || (c >= 0x09 && c <= 0x0D);
}

class FramerSink {
  public:
    virtual ~FramerSink() = default;
    // A finished line without its carriage return.
    virtual void OnLogLine(TextView line) = 0;
    // A sentence from its "$" to the character before the carriage return.
    virtual void OnSentence(TextView sentence) = 0;
};

class SentenceFramer {
  public:
    // Far above any NMEA sentence (82 characters) or proprietary one. A stream without carriage
    // returns is shown in pieces of this length instead of growing the line without end; a
    // sentence that grows past it cannot be valid and is dropped, and the next "$" starts anew.
    static constexpr std::size_t kMaxLineChars = 1024;

    void Feed(const std::uint8_t* bytes, std::size_t count, FramerSink& sink);

    TextView logLine() const { return {line_.data(), lineSize_}; }
    std::size_t sentenceSize() const {
        return sentenceStarted_ ? spill_.size() + lineSize_ - sentenceStart_ : 0;
    }
    bool sentenceStarted() const { return sentenceStarted_; }

  private:
    void ResetSentence() {
        spill_.clear();
        sentenceStarted_ = false;
    }
    // Makes room for one more character: a line at the cap goes to the log as a piece.
    void MakeRoom(FramerSink& sink) {
        if (lineSize_ >= kMaxLineChars) {
            CutLine(sink);
        }
    }
    void CutLine(FramerSink& sink);
    // Drops the sentence once it is longer than any valid one.
    void CapSentence() {
        if (sentenceSize() > kMaxLineChars) {
            ResetSentence();
        }
    }

    // The sentence is the tail of the line from sentenceStart_ on; only when the line was cut
    // into pieces does its start live on in spill_. The common case copies each byte once.
    std::array<char16_t, kMaxLineChars> line_{};
    std::size_t lineSize_ = 0;
    Text spill_;
    std::size_t sentenceStart_ = 0;
    bool sentenceStarted_ = false;
};

}  // namespace pathlux
