#include "tools/sim/satellite_output.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "tools/sim/sentence_format.h"

namespace pathlux::sim {
namespace {

constexpr int kSatsPerGsv = 4;

// The systems a receiver of several systems reports one by one; SBAS goes with GPS.
struct SystemOutput {
    GnssSystem system;
    const char* talker;
    int systemId;  // NMEA 4.10
    int signalId;  // NMEA 4.11: the L1-band signal the satellites are listed with
};
constexpr SystemOutput kSystems[] = {
    {GnssSystem::kGps, "GP", 1, 1},      // L1 C/A
    {GnssSystem::kGlonass, "GL", 2, 1},  // G1 C/A
    {GnssSystem::kGalileo, "GA", 3, 7},  // E1 B/C
    {GnssSystem::kBeidou, "GB", 4, 1},   // B1I
};

// A second signal some satellites send, listed in a cycle of its own from NMEA 4.11.
struct SecondSignal {
    GnssSystem system;
    int signalId;
    int snrGain;  // dB over the L1 signal
    bool (*sends)(int prn);
};
constexpr SecondSignal kSecondSignals[] = {
    {GnssSystem::kGps, 8, 3, [](int prn) { return prn % 2 == 0; }},  // L5-Q of the newer blocks
    {GnssSystem::kGalileo, 1, 2, [](int) { return true; }},          // E5a
};

bool InGroup(GnssSystem of, GnssSystem group) {
    return of == group || (group == GnssSystem::kGps && of == GnssSystem::kSbas);
}

int NmeaNumber(const ViewEntry& e, NmeaVersion nmea) {
    const bool own = nmea != NmeaVersion::k40;
    switch (e.system) {
        case GnssSystem::kSbas:
            return e.prn - 87;
        case GnssSystem::kGlonass:
            return 64 + e.prn;
        case GnssSystem::kGalileo:
            return own ? e.prn : 300 + e.prn;
        case GnssSystem::kBeidou:
            return own ? e.prn : 400 + e.prn;
        case GnssSystem::kGps:
            break;
    }
    return e.prn;
}

bool IsUsed(const SecondState& second, const ViewEntry& e) {
    const int key = SatelliteKey(e.system, e.prn);
    return std::find(second.used.begin(), second.used.end(), key) != second.used.end();
}

std::string DopFields(const SecondState& second) {
    if (second.mode == FixMode::kNone) {
        return ",,,";
    }
    return "," + Dop(second.dops.pdop) + "," + Dop(second.dops.hdop) + "," +
           (second.mode == FixMode::k3D ? Dop(second.dops.vdop) : "");
}

// One GSV cycle; signal 0 for none; numbers as a receiver of several systems sends them unless
// no version is given (the GPS receiver's PRNs).
void AppendGsvCycle(const std::string& talker, const std::vector<ViewEntry>& entries, int signalId,
                    std::optional<NmeaVersion> nmea, std::vector<std::string>& out) {
    const int count = static_cast<int>(entries.size());
    const int pages = std::max(1, (count + kSatsPerGsv - 1) / kSatsPerGsv);
    for (int page = 0; page < pages; ++page) {
        std::string p = Printf("$%sGSV,%d,%d,%02d", talker.c_str(), pages, page + 1, count);
        for (int i = page * kSatsPerGsv; i < std::min(count, (page + 1) * kSatsPerGsv); ++i) {
            const ViewEntry& e = entries[static_cast<std::size_t>(i)];
            const int number = nmea.has_value() ? NmeaNumber(e, *nmea) : e.prn;
            p += Printf(",%02d,%02d,%03d,", number, e.elevation, e.azimuth);
            if (e.snr >= 0) {
                p += Printf("%02d", e.snr);
            }
        }
        if (signalId != 0) {
            p += Printf(",%X", signalId);
        }
        out.push_back(std::move(p));
    }
}

}  // namespace

std::vector<std::string> GsaSentences(const SecondState& second, Talkers talkers,
                                      NmeaVersion nmea) {
    const int mode = static_cast<int>(second.mode);
    if (talkers == Talkers::kGps) {
        std::string s = Printf("$GPGSA,A,%d", mode);
        for (int i = 0; i < kMaxUsed; ++i) {
            s += i < static_cast<int>(second.used.size()) ? Printf(",%02d", second.used[i]) : ",";
        }
        return {s + DopFields(second)};
    }
    std::vector<std::string> out;
    for (const SystemOutput& system : kSystems) {
        std::string s = Printf("$GNGSA,A,%d", mode);
        int listed = 0;
        for (const ViewEntry& e : second.inView) {
            if (listed < kMaxUsed && InGroup(e.system, system.system) && IsUsed(second, e)) {
                s += Printf(",%02d", NmeaNumber(e, nmea));
                ++listed;
            }
        }
        for (; listed < kMaxUsed; ++listed) {
            s += ",";
        }
        s += DopFields(second);
        if (nmea != NmeaVersion::k40) {
            s += Printf(",%d", system.systemId);
        }
        out.push_back(std::move(s));
    }
    return out;
}

std::vector<std::string> GsvSentences(const SecondState& second, Talkers talkers,
                                      NmeaVersion nmea) {
    std::vector<std::string> out;
    if (talkers == Talkers::kGps) {
        AppendGsvCycle("GP", second.inView, 0, std::nullopt, out);
        return out;
    }
    const bool signals = nmea == NmeaVersion::k411;
    for (const SystemOutput& system : kSystems) {
        std::vector<ViewEntry> entries;
        std::copy_if(second.inView.begin(), second.inView.end(), std::back_inserter(entries),
                     [&](const ViewEntry& e) { return InGroup(e.system, system.system); });
        AppendGsvCycle(system.talker, entries, signals ? system.signalId : 0, nmea, out);
        if (!signals) {
            continue;
        }
        for (const SecondSignal& extra : kSecondSignals) {
            if (extra.system != system.system) {
                continue;
            }
            std::vector<ViewEntry> sending;
            for (ViewEntry e : entries) {
                if (e.system == extra.system && extra.sends(e.prn)) {
                    e.snr = e.snr >= 0 ? std::min(e.snr + extra.snrGain, 99) : -1;
                    sending.push_back(e);
                }
            }
            AppendGsvCycle(system.talker, sending, extra.signalId, nmea, out);
        }
    }
    return out;
}

}  // namespace pathlux::sim
