// Whether the open port brings what a receiver sends: whole sentences, and how long since the
// last one; or garbage, as a line at the wrong speed gives. The window's own checks, beside the
// design's parser, which takes every byte as it comes and never looks at a checksum.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pathlux {

// What a piece of the byte stream held.
struct LineCounts {
    int checked = 0;                // whole sentences with a valid checksum
    int sentences = 0;              // whole sentences: those, and those sent without a checksum
    std::int64_t goodBytes = 0;     // bytes of whole sentences, without their line ends
    std::int64_t garbageBytes = 0;  // bytes that frame no whole sentence
};

// Cuts the stream into sentences: "$", printable ASCII, and CR or LF; with "*HH" before the end,
// HH must be the checksum. Anything else is garbage; line ends are neither.
class SentenceScan {
  public:
    // Far above NMEA's 82 characters; proprietary sentences may be longer.
    static constexpr std::size_t kMaxSentence = 256;
    // "$" and a head of five characters at least.
    static constexpr std::size_t kMinSentence = 6;

    LineCounts Feed(std::string_view bytes);
    // Forgets a sentence begun: what follows came at another speed.
    void Reset() { partial_.clear(); }

  private:
    void EndSentence(LineCounts& counts);

    std::string partial_;  // from "$" on, while a sentence is under way
};

// The checksum of a sentence from "$" to before the line end: empty when there is none, else
// whether it is right. Exposed for the automatic speed.
bool HasValidChecksum(std::string_view sentence);

// The silence of an open port and its garbage, on a clock of milliseconds given by the caller.
// The port is silent when no whole sentence came for three times the receiver's cycle, at least
// 3 s and at most 30 s. The cycle is the shortest of the last three pauses between sentences
// (a pause: more than 250 ms, less than 10 s), so that one outage does not stretch it. The port is
// garbled when over the last 2 s at least three quarters of 32 bytes or more were garbage.
class LineHealth {
  public:
    static constexpr std::int64_t kMinSilenceMs = 3000;
    static constexpr std::int64_t kMaxSilenceMs = 30000;
    static constexpr int kCyclesOfSilence = 3;
    static constexpr std::int64_t kGarbageSpanMs = 2000;
    static constexpr std::int64_t kMinGarbageBytes = 32;

    // The port opened: nothing came yet, and the silence counts from now.
    void Restart(std::int64_t nowMs);
    // The line's speed changed: what came at the old one says nothing of the new.
    void SpeedChanged(std::int64_t nowMs);
    // Bytes read from the port; what they held.
    LineCounts Feed(std::string_view bytes, std::int64_t nowMs);

    // Whole seconds without a sentence once that is a silence, else 0.
    int SilentSeconds(std::int64_t nowMs) const;
    bool Garbled(std::int64_t nowMs) const;
    std::int64_t silenceLimitMs() const;

  private:
    // Sentences closer than this belong to one burst of the receiver's output.
    static constexpr std::int64_t kMinPauseMs = 250;
    static constexpr std::int64_t kMaxPauseMs = kMaxSilenceMs / kCyclesOfSilence;
    static constexpr std::size_t kPausesKept = 3;
    // Bytes are counted per slot of time, so that old ones fall out.
    static constexpr std::int64_t kByteSlotMs = 500;
    static constexpr std::size_t kByteSlots = kGarbageSpanMs / kByteSlotMs;

    struct ByteSlot {
        std::int64_t slot = -1;
        std::int64_t good = 0;
        std::int64_t garbage = 0;
    };

    SentenceScan scan_;
    std::int64_t lastSentenceMs_ = 0;  // or the restart, before the first sentence
    bool sentenceSeen_ = false;
    std::int64_t speedSinceMs_ = 0;
    std::array<std::int64_t, kPausesKept> pauses_{};  // the latest at pauseCount_ % kPausesKept
    std::size_t pauseCount_ = 0;
    std::array<ByteSlot, kByteSlots> bytes_{};
};

}  // namespace pathlux
