// Whatever arrives on the simulator's link: cut into lines and parsed as commands.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "tools/sim/commands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pathlux;
    sim::LineSplitter splitter;
    std::vector<sim::LineSplitter::Line> lines;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    splitter.Feed(bytes.substr(0, size / 2), lines);
    splitter.Feed(bytes.substr(size / 2), lines);
    for (const auto& line : lines) {
        if (line.text.empty() || line.text.size() > sim::LineSplitter::kMaxLineBytes) {
            std::abort();
        }
        const sim::ParsedCommand parsed = sim::ParseCommand(line.text);
        if (parsed.verdict != sim::Verdict::kAccepted) {
            continue;
        }
        const auto& keys = parsed.command.keys;
        for (const SentenceKey key : keys) {
            if (key < 0 || key >= kSentenceKeyCount ||
                std::count(keys.begin(), keys.end(), key) != 1) {
                std::abort();
            }
        }
        for (const int rate : parsed.command.rates) {
            if (rate < kMinRate || rate > kMaxRate) {
                std::abort();
            }
        }
    }
    return 0;
}
