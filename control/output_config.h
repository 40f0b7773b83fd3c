// Which NMEA sentences the receiver outputs, in which order and how often, and the logic of the
// dialog that chooses them, without any widget.
#pragma once

#include <array>
#include <cstdint>

#include "nmea/text.h"

namespace pathlux {

// Sentence keys index the rates and the name table.
enum SentenceKey : int { kKeyGga, kKeyGll, kKeyGsa, kKeyGsv, kKeyRmc, kKeyVtg, kKeyZda };
constexpr int kSentenceKeyCount = 7;

struct SentenceKeyInfo {
    const char* name;  // in the command sentences
    int buttonId;      // dialog button, captioned "GP" + name
    const char* caption;
    int rateComboId;
    int typicalBytes;  // one output of the sentence with its line end, for the line budget
};

// By key.
inline constexpr std::array<SentenceKeyInfo, kSentenceKeyCount> kSentenceKeys = {{
    {"GGA", 1030, "GPGGA", 1032, 74},
    {"GLL", 1039, "GPGLL", 1045, 50},
    {"GSA", 1036, "GPGSA", 1042, 66},
    {"GSV", 1037, "GPGSV", 1043, 70},
    {"RMC", 1038, "GPRMC", 1044, 72},
    {"VTG", 1041, "GPVTG", 1047, 40},
    {"ZDA", 1040, "GPZDA", 1046, 36},
}};

constexpr int kMinRate = 1;
constexpr int kMaxRate = 8;

struct NmeaOutputConfig {
    std::array<std::int32_t, kSentenceKeyCount> keys{kKeyGga, kKeyGsa, kKeyGsv, kKeyRmc};
    std::int32_t count = 4;  // valid entries of keys, in the order added
    std::array<std::int32_t, kSentenceKeyCount> rates{1, 1, 1, 1, 1, 1, 1};  // by key
};

// The dialog's working copy with its summary and its two sentences, rebuilt after every change.
class OutputSelection {
  public:
    explicit OutputSelection(const NmeaOutputConfig& start);

    // Adds a sentence at the end of the list; an eighth or a listed one is ignored. True when
    // the list changed.
    bool AddKey(int key);
    // A rate chosen for a sentence, listed or not (0 when its combo has no selection).
    void SetRate(int key, std::int32_t rate);
    // Empties the list and sets every rate to 1.
    void Clear();

    const NmeaOutputConfig& working() const { return working_; }
    const Text& summary() const { return summary_; }          // "GGA1 GSA1 " ...
    const Text& listCommand() const { return listCommand_; }  // "$PNMRX108,..." with checksum
    const Text& rateCommand() const { return rateCommand_; }  // "$PNMRX103,..." with checksum
    bool okEnabled() const { return working_.count > 0; }

  private:
    void Rebuild();

    NmeaOutputConfig working_;
    Text summary_;
    Text listCommand_;
    Text rateCommand_;
};

// What 9600 baud 8N1 carries: ten bits a byte.
constexpr int kLineBytesPerSecond = 960;

// GSV messages per cycle for a number of satellites in view (four per message, at least one).
int GsvMessagesFor(int satellitesInView);

// Bytes per second that the listed sentences need at their rates, from typical sentence sizes,
// with GSV as gsvMessages messages. A rate below 1 counts as every second.
double OutputBytesPerSecond(const NmeaOutputConfig& config, int gsvMessages);

}  // namespace pathlux
