#include "nmea/receiver_state.h"

#include <algorithm>
#include <utility>

namespace pathlux {

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

int ReceiverState::InViewSlotsToRead() const {
    return std::clamp(inViewCount, 0, kInViewSlots);
}

}  // namespace pathlux
