// GSV and GSA: the satellites in view, their records and which of them the fix uses.
#include <algorithm>
#include <array>
#include <limits>

#include "nmea/interpreter.h"

namespace pathlux {
namespace {

// Field numbers count the head as field 1.
constexpr int kGsvTotal = 2;
constexpr int kGsvNumber = 3;
constexpr int kGsvInView = 4;
constexpr int kGsvFirstPrn = 5;  // then elevation, azimuth, SNR; four fields per satellite
constexpr int kGsvSatsPerMessage = 4;

constexpr int kGsaFixMode = 3;
constexpr int kGsaFirstPrn = 4;
constexpr int kGsaLastPrn = 15;
constexpr int kGsaSystemId = 19;  // NMEA 4.10, after VDOP

// What a GSV message of a receiver of several systems carries beyond its satellites: since NMEA
// 4.11 a signal id follows the last one.
struct GsvLayout {
    int satellites = 0;
    std::int32_t signal = 0;  // 0: none given
};

GsvLayout LayoutOf(const SentenceFields& fields) {
    const int count = fields.CountToStar();
    const int after = std::max(count - (kGsvFirstPrn - 1), 0);
    GsvLayout layout;
    layout.satellites = std::min(after / kGsvSatsPerMessage, kGsvSatsPerMessage);
    if (after % kGsvSatsPerMessage == 1) {
        layout.signal = FieldToInt(fields[count]);
    }
    return layout;
}

// The systems whose marks a GSA of this system replaces: a GPS GSA (talker GP or system id 1)
// lists the SBAS and QZSS satellites the receiver numbers as GPS too.
unsigned FamilyOf(Constellation system) {
    const auto bit = [](Constellation s) { return 1u << static_cast<int>(s); };
    if (system == Constellation::kGps) {
        return bit(Constellation::kGps) | bit(Constellation::kSbas) | bit(Constellation::kQzss);
    }
    return bit(system);
}

constexpr unsigned kAllSystems = (1u << kConstellations) - 1;

}  // namespace

void NmeaInterpreter::HandleGsv(const SentenceFields& fields, Talker talker) {
    if (!state_.multiSystem) {
        TakeGpListMessage(fields);
        return;
    }
    const GsvLayout layout = LayoutOf(fields);
    const std::optional<Constellation> system = SystemOfTalker(talker);
    // A GP cycle of the L1 signal is the GP list; GP's other signals are cycles like the other
    // talkers', so that a satellite shows once, with its L1 signal.
    if (talker == Talker::kGp && IsL1Signal(system, layout.signal)) {
        TakeGpListMessage(fields);
        return;
    }
    if (cycles_.Take(talker, layout.signal, system, fields, layout.satellites)) {
        cycles_.Compose(state_);
        Redraw();
    }
}

void NmeaInterpreter::TakeGpListMessage(const SentenceFields& fields) {
    const std::int32_t total = FieldToInt(fields[kGsvTotal]);
    const std::int32_t number = FieldToInt(fields[kGsvNumber]);
    state_.inViewCount = FieldToInt(fields[kGsvInView]);
    state_.gpListSeen = true;

    if (number == 1) {
        gsvMessagesSeen_ = 1;
    } else if (gsvMessagesSeen_ < std::numeric_limits<std::int32_t>::max()) {
        ++gsvMessagesSeen_;
    }
    if (state_.inViewCount == 0) {
        state_.inViewCount = 12;
    }

    for (int j = 0; j < kGsvSatsPerMessage; ++j) {
        // 64-bit: a message number near the 32-bit limits must not overflow the slot arithmetic.
        const std::int64_t slot = (static_cast<std::int64_t>(number) - 1) * kGsvSatsPerMessage + j;
        if (slot >= state_.inViewCount) {
            break;
        }
        // Message numbers below 1 or above 13 point outside the list: nothing is stored for them.
        if (slot < 0 || slot >= kInViewSlots) {
            continue;
        }
        const int base = kGsvFirstPrn + kGsvSatsPerMessage * j;
        const std::int32_t prn = FieldToInt(fields[base]);
        state_.inViewPrns[static_cast<std::size_t>(slot)] = prn;
        if (SatelliteRecord* record = state_.FindRecord(state_.GpSatellite(prn))) {
            record->elevation = FieldToInt(fields[base + 1]);
            record->azimuth = FieldToInt(fields[base + 2]);
            record->snr = FieldToInt(fields[base + 3]);
        }
    }

    if (number == total && gsvMessagesSeen_ == total) {
        if (state_.multiSystem) {
            cycles_.Compose(state_);
        }
        Redraw();
        gsvMessagesSeen_ = 0;
    }
}

void NmeaInterpreter::Redraw() {
    display_.RedrawSkyPlot();
    display_.RedrawSignalBars();
}

void NmeaInterpreter::HandleGsa(const SentenceFields& fields, Talker talker) {
    gsvMessagesSeen_ = 0;
    cycles_.Interrupt();
    if (state_.multiSystem) {
        MarkUsedBySystem(fields, talker);
    } else {
        ClearUsed(Constellation::kGps);
        ClearUsed(Constellation::kSbas);
        for (int k = kGsaFirstPrn; k <= kGsaLastPrn; ++k) {
            if (SatelliteRecord* record = state_.FindRecord(FieldToInt(fields[k]))) {
                record->used = 1;
            }
        }
    }
    ShowFixStatus(fields);
}

// A receiver sends one GSA per system and fix: each replaces the marks of its own system only,
// so that the last of them does not wipe the others'. The system is the system id's (NMEA 4.10)
// or the talker's; a GN GSA without system id (NMEA 4.0) is of the systems of the satellites it
// lists. One without a fix that lists none says that no satellite is used.
void NmeaInterpreter::MarkUsedBySystem(const SentenceFields& fields, Talker talker) {
    std::optional<Constellation> system = SystemOfId(FieldToInt(fields[kGsaSystemId]));
    if (!system.has_value()) {
        system = SystemOfTalker(talker);
    }
    unsigned replaced = system.has_value() ? FamilyOf(*system) : 0;
    std::array<SatelliteId, kGsaLastPrn - kGsaFirstPrn + 1> listed{};
    int count = 0;
    for (int k = kGsaFirstPrn; k <= kGsaLastPrn; ++k) {
        const SatelliteId id = ResolveSatellite(system, FieldToInt(fields[k]));
        if (id.valid()) {
            listed[static_cast<std::size_t>(count++)] = id;
            replaced |= 1u << static_cast<int>(id.system);
        }
    }
    const std::int32_t mode = FieldToInt(fields[kGsaFixMode]);
    if (count == 0 && mode != 2 && mode != 3) {
        replaced = kAllSystems;
    }
    // Only systems that have marks need clearing.
    replaced &= markedSystems_;
    for (int s = 0; s < kConstellations; ++s) {
        if ((replaced & (1u << s)) != 0) {
            ClearUsed(static_cast<Constellation>(s));
        }
    }
    for (int i = 0; i < count; ++i) {
        const SatelliteId id = listed[static_cast<std::size_t>(i)];
        if (SatelliteRecord* record = state_.FindRecord(id)) {
            record->used = 1;
            markedSystems_ |= 1u << static_cast<int>(id.system);
        }
    }
}

void NmeaInterpreter::ClearUsed(Constellation system) {
    const auto clear = [](auto&& records) {
        for (SatelliteRecord& record : records) {
            record.used = 0;
        }
    };
    if (system == Constellation::kGps) {
        clear(state_.gpsSats);
    } else if (system == Constellation::kSbas) {
        clear(state_.sbasSats);
    }
    clear(state_.MoreRecordsOf(system));
}

}  // namespace pathlux
