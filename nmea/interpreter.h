// The interpretation core: bytes from the port in, display texts, TTFF timer requests, redraw
// requests and receiver state out. Runs on the window's thread (or with no window at all).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "nmea/constellation.h"
#include "nmea/display.h"
#include "nmea/fields.h"
#include "nmea/framer.h"
#include "nmea/receiver_state.h"
#include "nmea/talker_cycles.h"
#include "nmea/text.h"

namespace pathlux {

// Where the port notification reads from: a non-blocking read of at most max bytes that returns
// the count placed in the buffer (0 when nothing is waiting or the read failed).
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t max) = 0;
};

class NmeaInterpreter : private FramerSink {
  public:
    static constexpr std::uint32_t kEventRxChar = 0x0001;
    static constexpr std::size_t kReadChunk = 100;
    // A receiver that sends faster than the window reads would otherwise keep the window in one
    // notification for as long as it sends: frozen, its timers and buttons unanswered. 8000 bytes
    // take a few milliseconds, well within a frame.
    static constexpr int kMaxChunksPerNotify = 80;
    static constexpr int kMoreWaiting = 1;

    explicit NmeaInterpreter(MonitorDisplay& display) : display_(display) {}

    // The port notification: when the received-character bit is set, drains the port in chunks
    // of 100 bytes (another read only after a full chunk) through the framer. Returns 0, or
    // kMoreWaiting when it stopped after kMaxChunksPerNotify full chunks: the caller notifies
    // again for the rest once the window's other events had their turn.
    int OnSerialNotify(std::uint32_t events, ByteSource& port);

    // Frames bytes exactly as the notification does.
    void FeedBytes(const std::uint8_t* bytes, std::size_t count) {
        framer_.Feed(bytes, count, *this);
    }

    void DispatchSentence(TextView sentence);
    // The handlers of RMC, GGA, GSV and GSA, run for the head of any talker that is read, with
    // the sentence's fields; the talker says which system sent it (position and time read the
    // same from all).
    void HandleRmc(const SentenceFields& fields, Talker talker);
    void HandleGga(const SentenceFields& fields, Talker talker);
    void HandleGsv(const SentenceFields& fields, Talker talker);
    void HandleGsa(const SentenceFields& fields, Talker talker);
    void HandleVersion(const SentenceFields& fields);
    void ShowFixStatus(const SentenceFields& fields);

    // TTFF field to "00:00:00" and (re)start the count from now.
    void RestartTtff();
    // The window's timer tick; only timer 2 is ours.
    void OnTimer(int timerId);

    ReceiverState& state() { return state_; }
    const ReceiverState& state() const { return state_; }
    const SentenceFramer& framer() const { return framer_; }
    int gsvMessagesSeen() const { return gsvMessagesSeen_; }
    bool ttffCounting() const { return ttffCounting_; }

  private:
    void OnLogLine(TextView line) override;
    void OnSentence(TextView sentence) override { DispatchSentence(sentence); }
    void StopTtff();
    // A GP GSV message into the in-view list.
    void TakeGpListMessage(const SentenceFields& fields);
    // The satellites a GSA lists, marked used in the records of their systems.
    void MarkUsedBySystem(const SentenceFields& fields, Talker talker);
    void ClearUsed(Constellation system);
    void Redraw();
    // A field's text, composed in fieldText_, to the display.
    void ShowText(int controlId, std::initializer_list<TextView> parts);
    void ShowNumber(int controlId, std::int32_t value, TextView unit);
    void ShowPosition(int controlId, std::int32_t value, char16_t positive, char16_t negative);

    MonitorDisplay& display_;
    SentenceFramer framer_;
    // The texts being handed to the display, one buffer each for log lines and for fields: a
    // display that does not keep them costs no allocation.
    Text logEntry_;
    Text fieldText_;
    ReceiverState state_;
    TalkerCycles cycles_;
    std::int32_t gsvMessagesSeen_ = 0;  // GSV messages counted in the current cycle
    // Systems whose records may hold used marks; GPS and SBAS always may (a GPS receiver's GSA
    // marks them without looking at systems).
    unsigned markedSystems_ = (1u << static_cast<int>(Constellation::kGps)) |
                              (1u << static_cast<int>(Constellation::kSbas));
    bool ttffCounting_ = false;  // timer 2 running
};

// Appends "%c%03d°%02d'%02d.%02d\"" of a value in 1/10000 arc-minute, with the letter for
// positive and for negative values (N/S or E/W). Seconds are truncated, not rounded.
void AppendPosition(Text& text, std::int32_t value, char16_t positive, char16_t negative);

// "%02d:%02d:%02d" of a second count; the hours wrap after 23.
Text FormatTtff(std::int32_t seconds);

}  // namespace pathlux
