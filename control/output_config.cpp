#include "control/output_config.h"

#include <algorithm>

#include "control/checksum.h"

namespace pathlux {
namespace {

bool IsKey(int key) {
    return key >= 0 && key < kSentenceKeyCount;
}

}  // namespace

OutputSelection::OutputSelection(const NmeaOutputConfig& start) : working_(start) {
    // A configuration that breaks the list's rules is read as far as it keeps them.
    working_.count = std::clamp(working_.count, 0, kSentenceKeyCount);
    Rebuild();
}

bool OutputSelection::AddKey(int key) {
    if (!IsKey(key) || working_.count >= kSentenceKeyCount) {
        return false;
    }
    const auto listed = working_.keys.begin() + working_.count;
    if (std::find(working_.keys.begin(), listed, key) != listed) {
        return false;
    }
    working_.keys[working_.count++] = key;
    Rebuild();
    return true;
}

void OutputSelection::SetRate(int key, std::int32_t rate) {
    if (!IsKey(key)) {
        return;
    }
    working_.rates[key] = rate;
    Rebuild();
}

void OutputSelection::Clear() {
    working_.rates.fill(1);
    working_.count = 0;
    Rebuild();
}

void OutputSelection::Rebuild() {
    summary_.clear();
    listCommand_ = u"$PNMRX108";
    rateCommand_ = u"$PNMRX103";
    for (int i = 0; i < working_.count; ++i) {
        const int key = working_.keys[i];
        if (!IsKey(key)) {
            continue;
        }
        const Text name = Widen(kSentenceKeys[key].name);
        Text rate;
        AppendDecimal(rate, working_.rates[key]);
        summary_ += name + rate + u" ";
        listCommand_ += u"," + name;
        rateCommand_ += u"," + name + u"," + rate;
    }
    AppendChecksum(listCommand_);
    AppendChecksum(rateCommand_);
}

int GsvMessagesFor(int satellitesInView) {
    return std::max(1, (std::max(satellitesInView, 0) + 3) / 4);
}

double OutputBytesPerSecond(const NmeaOutputConfig& config, int gsvMessages) {
    double total = 0.0;
    const int count = std::clamp(config.count, 0, kSentenceKeyCount);
    for (int i = 0; i < count; ++i) {
        const int key = config.keys[i];
        if (IsKey(key)) {
            const int copies = key == kKeyGsv ? std::max(gsvMessages, 1) : 1;
            total += static_cast<double>(kSentenceKeys[key].typicalBytes) * copies /
                     std::max(config.rates[key], 1);
        }
    }
    return total;
}

}  // namespace pathlux
