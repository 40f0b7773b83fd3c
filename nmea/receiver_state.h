// What is kept from the receiver for the displays: satellite records, the in-view list, the
// 3D flag, the bar chart scale, the position and the TTFF count.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "nmea/constellation.h"

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

// The list the charts show holds at most this many satellites, GP part included: the bar chart
// divides its width among them, and a GPS receiver's list can be as long.
constexpr int kShownSlots = kInViewSlots;

// Records beside the GPS and SBAS tables: SBAS 139-158, then GLONASS, Galileo, BeiDou, QZSS and
// NavIC, each by its own numbers.
constexpr int kMoreRecords = (158 - kSbasPrnLast) + 32 + 36 + 63 + 10 + 14;

constexpr bool IsSbasPrn(std::int32_t prn) {
    return prn >= kSbasPrnFirst && prn <= kSbasPrnLast;
}

// One entry of the list the charts show.
struct ShownSatellite {
    std::int32_t label = 0;                   // the number written on the charts
    SatelliteId id;                           // not valid for a number that names no satellite
    const SatelliteRecord* record = nullptr;  // never null: zeros for no satellite
};

// A satellite of the other talkers' cycles, as the list shows it.
struct ShownEntry {
    SatelliteId id;
    std::int32_t label = 0;
};

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

    // Receivers of several systems. Set once a sentence of another talker than GP was read.
    bool multiSystem = false;
    // A GP GSV has written the in-view list, so that it is a receiver's list and not the
    // placeholder of the start.
    bool gpListSeen = false;
    std::array<SatelliteRecord, kMoreRecords> moreSats{};
    // The other talkers' latest complete cycles, after the GP list, in the order shown.
    std::array<ShownEntry, kShownSlots> moreInView{};
    std::int32_t moreInViewCount = 0;

    // The record of a GPS or SBAS PRN; null for any other PRN.
    SatelliteRecord* FindRecord(std::int32_t prn);
    const SatelliteRecord* FindRecord(std::int32_t prn) const;

    // The record of a PRN, or a record of zeros for a PRN without one.
    const SatelliteRecord& RecordOrZero(std::int32_t prn) const;

    // The record of a satellite of any system; null for no satellite.
    SatelliteRecord* FindRecord(SatelliteId id);
    const SatelliteRecord* FindRecord(SatelliteId id) const;

    // The records of one system, SBAS above PRN 138 for SBAS (the rest are sbasSats).
    std::span<SatelliteRecord> MoreRecordsOf(Constellation system);

    // The satellite a GP sentence's number stands for: the one place that decides how GP numbers
    // are read. A GPS receiver's are GPS 1-32 and SBAS 120-138; its other numbers (33-64 or 193,
    // which some GPS receivers send for SBAS and QZSS) stay as they have always been shown: as
    // sent, without data. Once the stream has shown another talker it comes from a receiver of
    // several systems, whose GP numbers follow the NMEA 4.x conventions (33-64 SBAS, 65-96
    // GLONASS, 193-202 QZSS, ...).
    SatelliteId GpSatellite(std::int32_t number) const;

    // How many in-view slots readers may use: inViewCount limited to 0..52.
    int InViewSlotsToRead() const;

    // The list the charts show: the GP list (its first InViewSlotsToRead() entries, unless a
    // receiver of several systems has sent no GP GSV yet), then the other talkers' satellites,
    // at most kShownSlots in all.
    int ShownCount() const;
    ShownSatellite Shown(int i) const;

  private:
    int GpShownCount() const;
};

}  // namespace pathlux
