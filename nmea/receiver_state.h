// What is kept from the receiver for the displays: satellite records, the in-view list, the
// 3D flag, the bar chart scale, the position and the TTFF count.
#pragma once

#include <array>
#include <cstdint>

namespace pathlux {

struct SatelliteRecord {
    std::int32_t snr = 0;        // dB-Hz as sent, 0 when none
    std::int32_t elevation = 0;  // degrees as sent
    std::int32_t azimuth = 0;    // degrees as sent
    std::int32_t used = 0;       // 1 when the last GSA listed it
};

constexpr int kGpsPrnFirst = 1;
constexpr int kGpsPrnLast = 32;
constexpr int kSbasPrnFirst = 120;
constexpr int kSbasPrnLast = 138;
constexpr int kInViewSlots = 52;

constexpr bool IsSbasPrn(std::int32_t prn) {
    return prn >= kSbasPrnFirst && prn <= kSbasPrnLast;
}

struct ReceiverState {
    std::int32_t latitude = 0;   // 1/10000 arc-minute, negative south
    std::int32_t longitude = 0;  // 1/10000 arc-minute, negative west
    std::int32_t ttffSeconds = 0;
    std::array<SatelliteRecord, kGpsPrnLast - kGpsPrnFirst + 1> gpsSats{};
    std::array<SatelliteRecord, kSbasPrnLast - kSbasPrnFirst + 1> sbasSats{};
    std::array<std::int32_t, kInViewSlots> inViewPrns{};
    std::int32_t inViewCount = 12;  // as the last GSV gave it, 0 taken as 12; not bounded by 52
    std::int32_t fix3d = 0;
    std::int32_t maxSnr = 20;  // bar chart scale; only the bar chart raises it

    // The record of a GPS or SBAS PRN; null for any other PRN.
    SatelliteRecord* FindRecord(std::int32_t prn);
    const SatelliteRecord* FindRecord(std::int32_t prn) const;

    // The record of a PRN, or a record of zeros for a PRN without one.
    const SatelliteRecord& RecordOrZero(std::int32_t prn) const;

    // How many in-view slots readers may use: inViewCount limited to 0..52.
    int InViewSlotsToRead() const;
};

}  // namespace pathlux
