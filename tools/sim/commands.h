// What the simulated receiver reads from the link: the restart, output-list and output-rate
// commands, in exactly the form the monitor sends them.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "control/output_config.h"

namespace pathlux::sim {

// Which sentences the receiver emits, in which order, and every how many seconds.
struct OutputConfig {
    std::vector<SentenceKey> keys = {kKeyGga, kKeyGsa, kKeyGsv, kKeyRmc};
    std::array<int, kSentenceKeyCount> rates = {1, 1, 1, 1, 1, 1, 1};

    bool operator==(const OutputConfig&) const = default;
};

enum class RestartKind { kCold, kWarm, kHot, kFactory };

// "cold", "warm", "hot" or "factory".
std::string_view RestartName(RestartKind kind);

struct Command {
    enum class Type { kRestart, kOutputList, kOutputRates };
    Type type = Type::kRestart;
    RestartKind restart = RestartKind::kCold;  // kRestart
    std::vector<SentenceKey> keys;             // kOutputList: the list; kOutputRates: keys named
    std::vector<int> rates;                    // kOutputRates: the rate of each key named
};

enum class Verdict { kAccepted, kNoChecksum, kBadChecksum, kUnknown, kTooLong };

// A short word for the JSON report: "no checksum", "bad checksum", "unknown", "too long".
std::string_view VerdictReason(Verdict verdict);

struct ParsedCommand {
    Verdict verdict = Verdict::kUnknown;
    Command command;  // meaningful when accepted
};

// Parses one line without its line end: "$", head, fields, "*" and two hexadecimal digits.
// Anything else (a missing or wrong checksum, an unknown head or word, a rate outside 1 to 8, a
// sentence named twice, trailing bytes) is not accepted.
ParsedCommand ParseCommand(std::string_view line);

// Cuts the bytes from the link into lines at CR or LF (either ends a line; empty lines are
// skipped). A line longer than kMaxLineBytes is handed on cut to that length and marked, and the
// rest up to the next line end is dropped.
class LineSplitter {
  public:
    static constexpr std::size_t kMaxLineBytes = 256;

    struct Line {
        std::string text;
        bool tooLong = false;

        bool operator==(const Line&) const = default;
    };

    void Feed(std::string_view bytes, std::vector<Line>& lines);

  private:
    std::string line_;
    bool overflowed_ = false;
};

}  // namespace pathlux::sim
