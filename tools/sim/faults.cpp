#include "tools/sim/faults.h"

#include <algorithm>

#include "control/checksum.h"

namespace pathlux::sim {
namespace {

struct FaultName {
    std::string_view name;
    Fault fault;
};
constexpr FaultName kFaultNames[] = {
    {"noise", kFaultNoise},       {"control", kFaultControl}, {"split", kFaultSplit},
    {"checksum", kFaultChecksum}, {"missing", kFaultMissing}, {"long", kFaultLongLine},
    {"flood", kFaultFlood},
};

// Control bytes that the monitor's framer rejects (NUL included: it also tests zero-terminated
// displays).
constexpr char kControlBytes[] =
    "\x00\x01\x02\x03\x04\x05\x06\x07\x08\x0E\x0F\x10\x11\x12\x13"
    "\x14\x15\x16\x17\x18\x19\x1A\x1B\x1C\x1D\x1E\x1F\x7F";

// True when the line ends in "*" and two characters after its "$".
bool HasChecksum(std::string_view body) {
    return body.size() >= 4 && body[0] == '$' && body[body.size() - 3] == '*';
}

}  // namespace

bool ParseFaults(std::string_view list, unsigned& faults) {
    unsigned parsed = 0;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string_view name = list.substr(start, comma - start);
        const auto it = std::find_if(std::begin(kFaultNames), std::end(kFaultNames),
                                     [&](const FaultName& f) { return f.name == name; });
        if (it == std::end(kFaultNames)) {
            return false;
        }
        parsed |= it->fault;
        start = comma + 1;
    }
    faults |= parsed;
    return true;
}

FaultInjector::FaultInjector(unsigned faults, int percent, std::uint32_t seed)
    : faults_(faults),
      percent_(static_cast<unsigned>(std::clamp(percent, 0, 100))),
      random_(seed ^ 0x5EEDFA17u) {}

bool FaultInjector::Strikes(Fault fault) {
    // Always draw, so that one fault's chance does not shift the others' dice.
    const bool roll = random_() % 100 < percent_;
    return (faults_ & fault) != 0 && roll;
}

void FaultInjector::Emit(std::string_view line, std::vector<Chunk>& out) {
    const std::size_t endAt = line.find_last_not_of("\r\n") + 1;  // npos + 1 == 0
    std::string body(line.substr(0, endAt));
    const std::string_view ending = line.substr(endAt);

    if (Strikes(kFaultMissing) && HasChecksum(body)) {
        std::string cut = body.substr(0, body.size() - 3);
        const std::size_t commas =
            static_cast<std::size_t>(std::count(cut.begin(), cut.end(), ','));
        if (commas > 1) {
            // Keep the head and at least one field; drop everything after a later comma.
            std::size_t keep = 2 + Below(commas - 1);
            std::size_t pos = 0;
            while (keep-- > 0) {
                pos = cut.find(',', pos) + 1;
            }
            cut.resize(pos - 1);
            AppendChecksum(cut);
            body = std::move(cut);
        }
    }
    if (Strikes(kFaultChecksum) && HasChecksum(body)) {
        // Any other pair of upper-case digits.
        std::string digits = body.substr(body.size() - 2);
        std::string wrong = digits;
        while (wrong == digits) {
            constexpr char kHex[] = "0123456789ABCDEF";
            wrong = {kHex[Below(16)], kHex[Below(16)]};
        }
        body.replace(body.size() - 2, 2, wrong);
    }
    if (Strikes(kFaultControl) && !body.empty()) {
        body.insert(body.begin() + 1 + static_cast<std::ptrdiff_t>(Below(body.size())),
                    kControlBytes[Below(sizeof kControlBytes - 1)]);
    }

    std::string bytes;
    if (Strikes(kFaultLongLine)) {
        const std::size_t n = kMinLongLine + Below(kMaxLongLine - kMinLongLine + 1);
        for (std::size_t i = 0; i < n; ++i) {
            char c = static_cast<char>(0x20 + Below(0x7F - 0x20));
            bytes.push_back(c == '$' ? '#' : c);
        }
    }
    if (Strikes(kFaultNoise)) {
        const std::size_t n = 1 + Below(kMaxNoise);
        for (std::size_t i = 0; i < n; ++i) {
            char c = static_cast<char>(Below(256));
            // A "$" would start a sentence and CR or LF end a line: noise does neither.
            bytes.push_back(c == '$' || c == '\r' || c == '\n' ? '~' : c);
        }
    }
    bytes += body;
    bytes += ending;

    if (Strikes(kFaultSplit) && bytes.size() >= 3) {
        const std::size_t pieces = 2 + Below(2);
        std::vector<std::size_t> cuts;
        for (std::size_t i = 1; i < pieces; ++i) {
            cuts.push_back(1 + Below(bytes.size() - 1));
        }
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        std::size_t from = 0;
        for (const std::size_t cut : cuts) {
            out.push_back({bytes.substr(from, cut - from), true});
            from = cut;
        }
        out.push_back({bytes.substr(from), false, true});
        return;
    }
    out.push_back({std::move(bytes), false, true});
}

}  // namespace pathlux::sim
