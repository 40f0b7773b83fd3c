// The output dialog's list and rate logic driven by random button and rate sequences; every
// sentence it builds must be one the receiver (the simulator's parser) reads back as meant.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "control/commands.h"
#include "control/output_config.h"
#include "tools/sim/commands.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::string Narrow(const pathlux::Text& text) {
    std::string bytes = pathlux::EncodeCommand(text);
    bytes.resize(bytes.size() - 2);  // without CR LF
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pathlux;
    OutputSelection selection{NmeaOutputConfig{}};
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const int key = data[i] % 9 - 1;  // -1 and 7 are not keys
        switch ((data[i] >> 4) % 3) {
            case 0:
                selection.AddKey(key);
                break;
            case 1:
                selection.SetRate(key, static_cast<std::int8_t>(data[i + 1]));
                break;
            default:
                selection.Clear();
                break;
        }
    }
    const NmeaOutputConfig& working = selection.working();
    Check(working.count >= 0 && working.count <= kSentenceKeyCount);
    const auto listed = working.keys.begin() + working.count;
    for (auto it = working.keys.begin(); it != listed; ++it) {
        Check(*it >= 0 && *it < kSentenceKeyCount);
        Check(std::count(working.keys.begin(), listed, *it) == 1);
    }
    Check(selection.okEnabled() == (working.count > 0));

    const sim::ParsedCommand list = sim::ParseCommand(Narrow(selection.listCommand()));
    Check(list.verdict == sim::Verdict::kAccepted);
    Check(static_cast<int>(list.command.keys.size()) == working.count);
    for (int i = 0; i < working.count; ++i) {
        Check(list.command.keys[i] == working.keys[i]);
    }
    // The receiver takes rates 1 to 8 only; anything else the dialog can produce it refuses.
    const bool ratesValid = std::all_of(working.keys.begin(), listed, [&](int key) {
        return working.rates[key] >= kMinRate && working.rates[key] <= kMaxRate;
    });
    const sim::ParsedCommand rates = sim::ParseCommand(Narrow(selection.rateCommand()));
    Check((rates.verdict == sim::Verdict::kAccepted) == ratesValid);
    if (ratesValid) {
        for (int i = 0; i < working.count; ++i) {
            Check(rates.command.rates[i] == working.rates[working.keys[i]]);
        }
    }
    return 0;
}
