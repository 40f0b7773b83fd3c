#include "window/line_health.h"

#include <algorithm>

namespace pathlux {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool IsPrintable(char c) {
    return c >= 0x20 && c <= 0x7E;
}

}  // namespace

bool HasValidChecksum(std::string_view sentence) {
    const std::size_t star = sentence.rfind('*');
    if (star == std::string_view::npos || star + 3 != sentence.size() || sentence.empty()) {
        return false;
    }
    const int high = HexValue(sentence[star + 1]);
    const int low = HexValue(sentence[star + 2]);
    if (high < 0 || low < 0) {
        return false;
    }
    unsigned sum = 0;
    for (const char c : sentence.substr(1, star - 1)) {
        sum ^= static_cast<unsigned char>(c);
    }
    return sum == static_cast<unsigned>(high * 16 + low);
}

LineCounts SentenceScan::Feed(std::string_view bytes) {
    LineCounts counts;
    for (const char c : bytes) {
        if (c == '$') {
            counts.garbageBytes += static_cast<std::int64_t>(partial_.size());
            partial_.assign(1, c);
        } else if (partial_.empty()) {
            // Line ends between sentences are neither; anything else is out of place.
            if (c != '\r' && c != '\n') {
                ++counts.garbageBytes;
            }
        } else if (c == '\r' || c == '\n') {
            EndSentence(counts);
        } else if (!IsPrintable(c) || partial_.size() == kMaxSentence) {
            counts.garbageBytes += static_cast<std::int64_t>(partial_.size()) + 1;
            partial_.clear();
        } else {
            partial_ += c;
        }
    }
    return counts;
}

// At the line end of a sentence under way.
void SentenceScan::EndSentence(LineCounts& counts) {
    const bool checked = HasValidChecksum(partial_);
    const bool whole =
        partial_.size() >= kMinSentence && (checked || partial_.find('*') == std::string::npos);
    if (whole) {
        ++counts.sentences;
        counts.checked += checked ? 1 : 0;
        counts.goodBytes += static_cast<std::int64_t>(partial_.size());
    } else {
        counts.garbageBytes += static_cast<std::int64_t>(partial_.size());
    }
    partial_.clear();
}

void LineHealth::Restart(std::int64_t nowMs) {
    *this = LineHealth();
    lastSentenceMs_ = nowMs;
    speedSinceMs_ = nowMs;
}

void LineHealth::SpeedChanged(std::int64_t nowMs) {
    scan_.Reset();
    bytes_ = {};
    speedSinceMs_ = nowMs;
}

LineCounts LineHealth::Feed(std::string_view bytes, std::int64_t nowMs) {
    const LineCounts counts = scan_.Feed(bytes);
    ByteSlot& slot = bytes_[static_cast<std::size_t>(nowMs / kByteSlotMs) % kByteSlots];
    if (slot.slot != nowMs / kByteSlotMs) {
        slot = {nowMs / kByteSlotMs, 0, 0};
    }
    slot.good += counts.goodBytes;
    slot.garbage += counts.garbageBytes;
    if (counts.sentences > 0) {
        const std::int64_t pause = nowMs - lastSentenceMs_;
        if (sentenceSeen_ && pause > kMinPauseMs && pause <= kMaxPauseMs) {
            pauses_[pauseCount_++ % kPausesKept] = pause;
        }
        lastSentenceMs_ = nowMs;
        sentenceSeen_ = true;
    }
    return counts;
}

std::int64_t LineHealth::silenceLimitMs() const {
    if (pauseCount_ == 0) {
        return kMinSilenceMs;
    }
    const auto kept =
        pauses_.begin() + static_cast<std::ptrdiff_t>(std::min(pauseCount_, kPausesKept));
    const std::int64_t cycle = *std::min_element(pauses_.begin(), kept);
    return std::clamp(kCyclesOfSilence * cycle, kMinSilenceMs, kMaxSilenceMs);
}

int LineHealth::SilentSeconds(std::int64_t nowMs) const {
    const std::int64_t silent = nowMs - lastSentenceMs_;
    return silent >= silenceLimitMs() ? static_cast<int>(silent / 1000) : 0;
}

bool LineHealth::Garbled(std::int64_t nowMs) const {
    if (nowMs - speedSinceMs_ < kGarbageSpanMs) {
        return false;
    }
    std::int64_t good = 0;
    std::int64_t garbage = 0;
    const std::int64_t current = nowMs / kByteSlotMs;
    for (const ByteSlot& slot : bytes_) {
        if (slot.slot >= 0 && current - slot.slot < static_cast<std::int64_t>(kByteSlots)) {
            good += slot.good;
            garbage += slot.garbage;
        }
    }
    return garbage >= kMinGarbageBytes && garbage >= 3 * good;
}

}  // namespace pathlux
