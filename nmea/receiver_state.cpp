#include "nmea/receiver_state.h"

#include <algorithm>
#include <utility>

namespace pathlux {
namespace {

// Where each system's records lie in moreSats.
struct MoreRange {
    std::int32_t first;
    std::int32_t count;
    std::int32_t offset;
};
constexpr MoreRange kMoreRanges[] = {
    {0, 0, 0},                                  // GPS: gpsSats only
    {kSbasPrnLast + 1, 158 - kSbasPrnLast, 0},  // SBAS above sbasSats
    {1, 32, 20},                                // GLONASS
    {1, 36, 52},                                // Galileo
    {1, 63, 88},                                // BeiDou
    {1, 10, 151},                               // QZSS
    {1, 14, 161},                               // NavIC
};
static_assert(std::size(kMoreRanges) == kConstellations);
static_assert(kMoreRanges[6].offset + kMoreRanges[6].count == kMoreRecords);

}  // namespace

SatelliteRecord* ReceiverState::FindRecord(std::int32_t prn) {
    return const_cast<SatelliteRecord*>(std::as_const(*this).FindRecord(prn));
}

const SatelliteRecord* ReceiverState::FindRecord(std::int32_t prn) const {
    if (prn >= kGpsPrnFirst && prn <= kGpsPrnLast) {
        return &gpsSats[prn - kGpsPrnFirst];
    }
    if (IsSbasPrn(prn)) {
        return &sbasSats[prn - kSbasPrnFirst];
    }
    return nullptr;
}

const SatelliteRecord& ReceiverState::RecordOrZero(std::int32_t prn) const {
    static const SatelliteRecord kNone{};
    const SatelliteRecord* record = FindRecord(prn);
    return record != nullptr ? *record : kNone;
}

SatelliteRecord* ReceiverState::FindRecord(SatelliteId id) {
    return const_cast<SatelliteRecord*>(std::as_const(*this).FindRecord(id));
}

const SatelliteRecord* ReceiverState::FindRecord(SatelliteId id) const {
    if (id.system == Constellation::kGps) {
        return id.number >= kGpsPrnFirst && id.number <= kGpsPrnLast ? FindRecord(id.number)
                                                                     : nullptr;
    }
    if (id.system == Constellation::kSbas && IsSbasPrn(id.number)) {
        return FindRecord(id.number);
    }
    const MoreRange& range = kMoreRanges[static_cast<int>(id.system)];
    const std::int32_t index = id.number - range.first;
    if (index < 0 || index >= range.count) {
        return nullptr;
    }
    return &moreSats[static_cast<std::size_t>(range.offset + index)];
}

std::span<SatelliteRecord> ReceiverState::MoreRecordsOf(Constellation system) {
    const MoreRange& range = kMoreRanges[static_cast<int>(system)];
    return std::span(moreSats).subspan(static_cast<std::size_t>(range.offset),
                                       static_cast<std::size_t>(range.count));
}

SatelliteId ReceiverState::GpSatellite(std::int32_t number) const {
    if (multiSystem) {
        return ResolveSatellite(Constellation::kGps, number);
    }
    if (number >= kGpsPrnFirst && number <= kGpsPrnLast) {
        return {Constellation::kGps, number};
    }
    if (IsSbasPrn(number)) {
        return {Constellation::kSbas, number};
    }
    return {};
}

int ReceiverState::InViewSlotsToRead() const {
    return std::clamp(inViewCount, 0, kInViewSlots);
}

int ReceiverState::GpShownCount() const {
    return !multiSystem || gpListSeen || moreInViewCount == 0 ? InViewSlotsToRead() : 0;
}

int ReceiverState::ShownCount() const {
    const int gp = GpShownCount();
    return gp + std::clamp(moreInViewCount, 0, kShownSlots - gp);
}

ShownSatellite ReceiverState::Shown(int i) const {
    static const SatelliteRecord kNone{};
    ShownSatellite shown;
    const int gp = GpShownCount();
    if (i < gp) {
        shown.label = inViewPrns[static_cast<std::size_t>(i)];
        shown.id = GpSatellite(shown.label);
        // Other systems' satellites go by their own numbers, wherever they were listed.
        if (shown.id.system != Constellation::kGps && shown.id.system != Constellation::kSbas) {
            shown.label = shown.id.number;
        }
    } else {
        const ShownEntry& entry = moreInView[static_cast<std::size_t>(i - gp)];
        shown.label = entry.label;
        shown.id = entry.id;
    }
    const SatelliteRecord* record = shown.id.valid() ? FindRecord(shown.id) : nullptr;
    shown.record = record != nullptr ? record : &kNone;
    return shown;
}

}  // namespace pathlux
