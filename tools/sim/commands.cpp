#include "tools/sim/commands.h"

#include <algorithm>

#include "control/checksum.h"

namespace pathlux::sim {
namespace {

constexpr std::string_view kRestartHead = "PNMRX111";
constexpr std::string_view kListHead = "PNMRX108";
constexpr std::string_view kRatesHead = "PNMRX103";

struct RestartWord {
    std::string_view word;
    RestartKind kind;
};
constexpr RestartWord kRestartWords[] = {
    {"COLD", RestartKind::kCold},
    {"WARM", RestartKind::kWarm},
    {"HOT", RestartKind::kHot},
    {"FACTORY", RestartKind::kFactory},
};

std::vector<std::string_view> SplitFields(std::string_view body) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = body.find(',', start);
        fields.push_back(
            body.substr(start, comma == std::string_view::npos ? body.npos : comma - start));
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

bool FindKey(std::string_view name, SentenceKey& key) {
    const auto it = std::find_if(kSentenceKeys.begin(), kSentenceKeys.end(),
                                 [name](const SentenceKeyInfo& info) { return info.name == name; });
    if (it == kSentenceKeys.end()) {
        return false;
    }
    key = static_cast<SentenceKey>(it - kSentenceKeys.begin());
    return true;
}

bool Contains(const std::vector<SentenceKey>& keys, SentenceKey key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool ParseRestart(const std::vector<std::string_view>& args, Command& command) {
    if (args.size() != 1) {
        return false;
    }
    for (const RestartWord& w : kRestartWords) {
        if (args[0] == w.word) {
            command.type = Command::Type::kRestart;
            command.restart = w.kind;
            return true;
        }
    }
    return false;
}

bool ParseList(const std::vector<std::string_view>& args, Command& command) {
    command.type = Command::Type::kOutputList;
    for (const std::string_view name : args) {
        SentenceKey key;
        if (!FindKey(name, key) || Contains(command.keys, key)) {
            return false;
        }
        command.keys.push_back(key);
    }
    return true;
}

bool ParseRates(const std::vector<std::string_view>& args, Command& command) {
    command.type = Command::Type::kOutputRates;
    if (args.size() % 2 != 0) {
        return false;
    }
    for (std::size_t i = 0; i < args.size(); i += 2) {
        SentenceKey key;
        const std::string_view rate = args[i + 1];
        // A single digit, as the monitor writes it: no sign, no leading zero, no blank.
        if (!FindKey(args[i], key) || Contains(command.keys, key) || rate.size() != 1 ||
            rate[0] < '0' + kMinRate || rate[0] > '0' + kMaxRate) {
            return false;
        }
        command.keys.push_back(key);
        command.rates.push_back(rate[0] - '0');
    }
    return true;
}

}  // namespace

std::string_view RestartName(RestartKind kind) {
    switch (kind) {
        case RestartKind::kCold:
            return "cold";
        case RestartKind::kWarm:
            return "warm";
        case RestartKind::kHot:
            return "hot";
        case RestartKind::kFactory:
            return "factory";
    }
    return "cold";
}

std::string_view VerdictReason(Verdict verdict) {
    switch (verdict) {
        case Verdict::kAccepted:
            return "";
        case Verdict::kNoChecksum:
            return "no checksum";
        case Verdict::kBadChecksum:
            return "bad checksum";
        case Verdict::kUnknown:
            return "unknown";
        case Verdict::kTooLong:
            return "too long";
    }
    return "unknown";
}

ParsedCommand ParseCommand(std::string_view line) {
    ParsedCommand result;
    const std::size_t star = line.find('*');
    if (line.empty() || line[0] != '$' || star == std::string_view::npos) {
        result.verdict = line.empty() || line[0] != '$' ? Verdict::kUnknown : Verdict::kNoChecksum;
        return result;
    }
    const std::string_view digits = line.substr(star + 1);
    if (digits.size() != 2 || !IsHexDigit(digits[0]) || !IsHexDigit(digits[1])) {
        result.verdict = Verdict::kNoChecksum;
        return result;
    }
    std::string expected(line.substr(0, star));
    AppendChecksum(expected);
    const auto upper = [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 32) : c; };
    if (upper(digits[0]) != expected[star + 1] || upper(digits[1]) != expected[star + 2]) {
        result.verdict = Verdict::kBadChecksum;
        return result;
    }

    std::vector<std::string_view> fields = SplitFields(line.substr(1, star - 1));
    const std::string_view head = fields.front();
    fields.erase(fields.begin());
    bool ok = false;
    if (head == kRestartHead) {
        ok = ParseRestart(fields, result.command);
    } else if (head == kListHead) {
        ok = ParseList(fields, result.command);
    } else if (head == kRatesHead) {
        ok = ParseRates(fields, result.command);
    }
    result.verdict = ok ? Verdict::kAccepted : Verdict::kUnknown;
    return result;
}

void LineSplitter::Feed(std::string_view bytes, std::vector<Line>& lines) {
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (!line_.empty()) {
                lines.push_back({std::move(line_), overflowed_});
            }
            line_.clear();
            overflowed_ = false;
        } else if (line_.size() < kMaxLineBytes) {
            line_.push_back(c);
        } else {
            overflowed_ = true;
        }
    }
}

}  // namespace pathlux::sim
