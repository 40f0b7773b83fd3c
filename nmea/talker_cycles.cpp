#include "nmea/talker_cycles.h"

#include <algorithm>
#include <bitset>
#include <limits>
#include <numeric>

namespace pathlux {
namespace {

// Field numbers count the head as field 1.
constexpr int kGsvTotal = 2;
constexpr int kGsvNumber = 3;
constexpr int kGsvFirstSatellite = 5;  // number, elevation, azimuth, SNR; four fields each
constexpr int kGsvSatsPerMessage = 4;

constexpr int kSignalOrders = 32;  // SignalOrder is below this

// Every satellite of every system as one bit.
constexpr int SatelliteCount(int systems) {
    int count = 0;
    for (int s = 0; s < systems; ++s) {
        count += kConstellationInfo[s].last - kConstellationInfo[s].first + 1;
    }
    return count;
}
constexpr int kAllSatellites = SatelliteCount(kConstellations);

class SatelliteSet {
  public:
    // False when it was in the set already, or is no satellite.
    bool Insert(SatelliteId id) {
        const ConstellationInfo& info = InfoOf(id.system);
        if (id.number < info.first || id.number > info.last) {
            return false;
        }
        const int index = kOffsets[static_cast<int>(id.system)] + id.number - info.first;
        if (bits_.test(static_cast<std::size_t>(index))) {
            return false;
        }
        bits_.set(static_cast<std::size_t>(index));
        return true;
    }

  private:
    static constexpr std::array<int, kConstellations> kOffsets = [] {
        std::array<int, kConstellations> offsets{};
        for (int s = 0; s < kConstellations; ++s) {
            offsets[static_cast<std::size_t>(s)] = SatelliteCount(s);
        }
        return offsets;
    }();
    std::bitset<kAllSatellites> bits_;
};

// GPS and SBAS keep the number as the receiver sent it; the other systems go by their own.
std::int32_t LabelOf(SatelliteId id, std::int32_t sent) {
    return id.system == Constellation::kGps || id.system == Constellation::kSbas ? sent : id.number;
}

}  // namespace

TalkerCycles::Cycle* TalkerCycles::Find(Talker talker, std::int32_t signal,
                                        std::optional<Constellation> system) {
    for (int i = 0; i < cycleCount_; ++i) {
        Cycle& cycle = cycles_[static_cast<std::size_t>(i)];
        if (cycle.talker == talker && cycle.signal == signal) {
            return &cycle;
        }
    }
    if (cycleCount_ == kCycles) {
        return nullptr;
    }
    const int index = cycleCount_++;
    Cycle& cycle = cycles_[static_cast<std::size_t>(index)];
    cycle.talker = talker;
    cycle.signal = signal;
    cycle.order = static_cast<int>(talker) * kSignalOrders + SignalOrder(system, signal);
    // Kept in order as cycles come, so that composing the list needs no sorting.
    const auto at = std::upper_bound(
        order_.begin(), order_.begin() + index, cycle.order,
        [this](int order, int k) { return order < cycles_[static_cast<std::size_t>(k)].order; });
    std::copy_backward(at, order_.begin() + index, order_.begin() + index + 1);
    *at = index;
    return &cycle;
}

bool TalkerCycles::Take(Talker talker, std::int32_t signal, std::optional<Constellation> system,
                        const SentenceFields& fields, int satellites) {
    Cycle* cycle = Find(talker, signal, system);
    if (cycle == nullptr) {
        return false;
    }
    const std::int32_t total = FieldToInt(fields[kGsvTotal]);
    const std::int32_t number = FieldToInt(fields[kGsvNumber]);
    List& filling = cycle->filling();
    if (number == 1) {
        cycle->seen = 1;
        filling.count = 0;
    } else if (cycle->seen < std::numeric_limits<std::int32_t>::max()) {
        ++cycle->seen;
    }

    for (int j = 0; j < std::min(satellites, kGsvSatsPerMessage); ++j) {
        // 64-bit: a message number near the 32-bit limits must not overflow.
        const std::int64_t slot = (static_cast<std::int64_t>(number) - 1) * kGsvSatsPerMessage + j;
        if (slot < 0 || slot >= kCycleSlots) {
            continue;
        }
        const int base = kGsvFirstSatellite + kGsvSatsPerMessage * j;
        const std::int32_t sent = FieldToInt(fields[base]);
        // Slots a message left out hold no satellite.
        for (int k = filling.count; k < slot; ++k) {
            filling.entries[static_cast<std::size_t>(k)] = Entry{};
        }
        Entry& entry = filling.entries[static_cast<std::size_t>(slot)];
        entry.id = ResolveSatellite(system, sent);
        entry.label = LabelOf(entry.id, sent);
        entry.elevation = FieldToInt(fields[base + 1]);
        entry.azimuth = FieldToInt(fields[base + 2]);
        entry.snr = FieldToInt(fields[base + 3]);
        filling.count = std::max(filling.count, static_cast<int>(slot) + 1);
    }

    if (number != total || cycle->seen != total) {
        return false;
    }
    cycle->completeList = 1 - cycle->completeList;
    cycle->seen = 0;
    completed_ = true;
    return true;
}

void TalkerCycles::Interrupt() {
    for (int i = 0; i < cycleCount_; ++i) {
        cycles_[static_cast<std::size_t>(i)].seen = 0;
    }
}

void TalkerCycles::Compose(ReceiverState& state) {
    const int gp = state.gpListSeen ? state.InViewSlotsToRead() : 0;
    const auto gpBegin = state.inViewPrns.begin();
    if (!completed_ && gp == composedGpCount_ &&
        std::equal(gpBegin, gpBegin + gp, composedGp_.begin())) {
        return;
    }
    completed_ = false;
    composedGpCount_ = gp;
    std::copy(gpBegin, gpBegin + gp, composedGp_.begin());

    SatelliteSet listed;
    for (int i = 0; i < gp; ++i) {
        listed.Insert(state.GpSatellite(state.inViewPrns[static_cast<std::size_t>(i)]));
    }
    const int room = kShownSlots - gp;

    // The entries of the cycles in their order, sorted by system (a counting sort: stable).
    std::array<int, kConstellations + 1> start{};
    for (int k = 0; k < cycleCount_; ++k) {
        const List& list = cycles_[static_cast<std::size_t>(order_[k])].complete();
        for (int i = 0; i < list.count; ++i) {
            ++start[static_cast<std::size_t>(list.entries[i].id.system) + 1];
        }
    }
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::array<const Entry*, kCycles * kCycleSlots> sorted;
    std::array<int, kConstellations> next{};
    std::copy(start.begin(), start.end() - 1, next.begin());
    for (int k = 0; k < cycleCount_; ++k) {
        const List& list = cycles_[static_cast<std::size_t>(order_[k])].complete();
        for (int i = 0; i < list.count; ++i) {
            const Entry& entry = list.entries[static_cast<std::size_t>(i)];
            sorted[static_cast<std::size_t>(next[static_cast<std::size_t>(entry.id.system)]++)] =
                &entry;
        }
    }

    int count = 0;
    for (int i = 0; i < start[kConstellations] && count < room; ++i) {
        const Entry& entry = *sorted[static_cast<std::size_t>(i)];
        if (!listed.Insert(entry.id)) {
            continue;
        }
        if (SatelliteRecord* record = state.FindRecord(entry.id)) {
            record->elevation = entry.elevation;
            record->azimuth = entry.azimuth;
            record->snr = entry.snr;
        }
        state.moreInView[static_cast<std::size_t>(count++)] = {entry.id, entry.label};
    }
    state.moreInViewCount = count;
}

}  // namespace pathlux
