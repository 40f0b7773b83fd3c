// The GSV cycles of a receiver of several systems beside the GP list: one cycle per talker and
// signal, the latest complete one of each kept, and the satellites the charts show after the GP
// list composed from them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "nmea/constellation.h"
#include "nmea/fields.h"
#include "nmea/receiver_state.h"

namespace pathlux {

class TalkerCycles {
  public:
    // Talker and signal pairs kept; a receiver sends a few signals of a few systems.
    static constexpr int kCycles = 16;
    static constexpr int kCycleSlots = kInViewSlots;

    // One GSV message: its talker, its signal id (0 for none), the system its numbers are read
    // in (none: by the extended numbering) and how many satellites it carries. Counts the
    // messages of a cycle as the GP list does (message 1 starts it; it completes when the last
    // message arrives and every one from 1 on was counted). True when it completed a cycle.
    bool Take(Talker talker, std::int32_t signal, std::optional<Constellation> system,
              const SentenceFields& fields, int satellites);

    // Every cycle in progress is abandoned (a GSA ends them, as it ends the GP list's).
    void Interrupt();

    // Writes the latest complete cycles into the state: the satellites not in the GP list, each
    // once, by system (GPS, SBAS, GLONASS, Galileo, BeiDou, QZSS, NavIC), within a system by
    // talker and then L1 signals first; and their records, from the first signal listing them.
    // Nothing to do when no cycle completed and the GP list names the same satellites as the
    // last time.
    void Compose(ReceiverState& state);

  private:
    struct Entry {
        SatelliteId id;
        std::int32_t label = 0;
        std::int32_t elevation = 0;
        std::int32_t azimuth = 0;
        std::int32_t snr = 0;
    };
    struct List {
        std::array<Entry, kCycleSlots> entries{};
        int count = 0;
    };
    struct Cycle {
        Talker talker = Talker::kGp;
        std::int32_t signal = 0;
        int order = 0;  // by talker, then L1 signals first, then signal id
        std::int32_t seen = 0;
        std::array<List, 2> lists;
        int completeList = 0;  // the other one is filling

        List& filling() { return lists[static_cast<std::size_t>(1 - completeList)]; }
        const List& complete() const { return lists[static_cast<std::size_t>(completeList)]; }
    };
    Cycle* Find(Talker talker, std::int32_t signal, std::optional<Constellation> system);

    std::array<Cycle, kCycles> cycles_{};
    int cycleCount_ = 0;
    std::array<int, kCycles> order_{};  // of the cycles by their order
    // What the last composition was made of, beside the complete cycles.
    bool completed_ = false;  // a cycle completed since
    std::array<std::int32_t, kInViewSlots> composedGp_{};
    int composedGpCount_ = -1;
};

}  // namespace pathlux
