#include "tools/sim/options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "tools/sim/faults.h"
#include "tools/sim/line_speed.h"

namespace pathlux::sim {
namespace {

// A finite decimal number filling the whole text.
bool ParseReal(const std::string& text, double lo, double hi, double& value) {
    double v = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end || !std::isfinite(v) || v < lo || v > hi) {
        return false;
    }
    value = v;
    return true;
}

template <typename Int>
bool ParseInt(const std::string& text, Int lo, Int hi, Int& value) {
    Int v = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end || text.empty() || v < lo || v > hi) {
        return false;
    }
    value = v;
    return true;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr std::string_view kValueOptions[] = {
    "--link", "--device", "--duration", "--speed", "--seed",          "--start",
    "--lat",  "--lon",    "--alt",      "--fault", "--fault-percent", "--replay",
    "--rate", "--count",  "--talkers",  "--nmea",  "--baud",
};

struct Named {
    std::string_view name;
    int value;
};
constexpr Named kTalkerNames[] = {{"gp", static_cast<int>(Talkers::kGps)},
                                  {"gnss", static_cast<int>(Talkers::kGnss)}};
constexpr Named kNmeaNames[] = {{"4.0", static_cast<int>(NmeaVersion::k40)},
                                {"4.10", static_cast<int>(NmeaVersion::k410)},
                                {"4.11", static_cast<int>(NmeaVersion::k411)}};

template <typename Enum, std::size_t N>
bool ParseName(const std::string& text, const Named (&names)[N], Enum& value) {
    for (const Named& n : names) {
        if (text == n.name) {
            value = static_cast<Enum>(n.value);
            return true;
        }
    }
    return false;
}

}  // namespace

const char* const kUsage =
    "usage: pathlux-sim [options]\n"
    "A simulated GPS receiver (Nemerix NS1030 style NMEA output) on a pseudo-terminal.\n"
    "Prints the device path as the first line on standard output, then sends NMEA sentences\n"
    "every second and obeys $PNMRX111 (restart), $PNMRX108 (output list) and $PNMRX103\n"
    "(output rates). Powers on as after a warm restart. Runs until SIGINT or SIGTERM, or\n"
    "for --duration seconds. SIGUSR1 unplugs it: the pseudo-terminal is closed and a new one\n"
    "is made (the --link symlink follows it).\n"
    "Writes one JSON line per event to standard error:\n"
    "  {\"rx\":\"$PNMRX111,COLD*40\",\"accepted\":true}   a line received, or\n"
    "  {\"rx\":\"...\",\"accepted\":false,\"reason\":\"bad checksum\"}\n"
    "  {\"restart\":\"cold\"}                             a restart obeyed\n"
    "  "
    "{\"fix\":\"3D\",\"after\":42,\"lat\":\"4807.0380\",\"ns\":\"N\",\"lon\":\"01131.0000\",\"ew\":"
    "\"E\",\n"
    "   \"alt\":\"545.4\"}   the fix mode changed, \"after\" simulated seconds since the last\n"
    "   restart (the first 2D or 3D fix after a restart gives the TTFF)\n"
    "  {\"sent\":{\"lines\":L,\"bytes\":B,\"drops\":D}}   when the output ends (--count, the\n"
    "   end of a replay, or a stop): lines and bytes written, and how many times output that\n"
    "   the reader had not taken by the next second was dropped\n"
    "  {\"replugged\":\"/dev/pts/N\"}                     after SIGUSR1, the new device\n"
    "options:\n"
    "  --link PATH       also make PATH a symlink to the pseudo-terminal\n"
    "  --device PATH     write to an existing device (a serial port, a file) instead;\n"
    "                    commands are read back only from a terminal\n"
    "  --baud N          the line speed (default 9600; 1200 to 921600). On a pseudo-\n"
    "                    terminal a reader set to another speed gets garbage, as on a\n"
    "                    real line, and what it sends is garbled too\n"
    "  --duration S      stop after S wall-clock seconds\n"
    "  --speed X         run the clock X times faster (0 < X <= 1000)\n"
    "  --seed N          seed of the noise, the start times and the faults (default 1)\n"
    "  --start TIME      UTC of the first second, YYYY-MM-DDTHH:MM:SS (default now)\n"
    "  --lat DEG --lon DEG --alt M   the place (default 48.1173 11.516667 545.4)\n"
    "  --talkers gp|gnss the GPS receiver's GP sentences (default), or a receiver of\n"
    "                    GPS, GLONASS, Galileo and BeiDou: GN RMC/GGA/GLL/VTG/ZDA, one\n"
    "                    GNGSA per system, GSV per system (GP, GL, GA, GB)\n"
    "  --nmea 4.0|4.10|4.11  with --talkers gnss, the NMEA version (default 4.10): 4.0\n"
    "                    numbers Galileo 301-336 and BeiDou 401-463 and sends no system\n"
    "                    ids; 4.10 adds the GSA system id; 4.11 sends a GSV cycle per\n"
    "                    signal with its id (GPS L5 and Galileo E5a too)\n"
    "  --fault LIST      comma-separated faults: noise, control, split, checksum,\n"
    "                    missing, long, flood (may be given more than once)\n"
    "  --fault-percent P chance of each fault per line (default 20)\n"
    "  --replay LOG      send a captured log instead of simulating (lines starting\n"
    "                    with # are skipped; bare LF becomes CR LF); a capture saved\n"
    "                    by the window sends its bytes received, exactly\n"
    "  --rate N          replayed lines per second (default 8)\n"
    "  --loop            replay the log again and again\n"
    "  --count N         send N seconds of output (N replayed lines), then stay silent\n"
    "                    with the link open\n"
    "  --help            this text\n";

std::optional<std::int64_t> ParseUtc(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, n = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &s, &n) != 6 ||
        (static_cast<std::size_t>(n) != text.size() &&
         text.substr(static_cast<std::size_t>(n)) != "Z")) {
        return std::nullopt;
    }
    constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y < 1980 || mo < 1 || mo > 12 || d < 1 || d > kDaysInMonth[mo - 1] ||
        (mo == 2 && d == 29 && !leap) || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0) {
        return std::nullopt;
    }
    return DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 +
           h * 3600 + mi * 60 + s;
}

std::string ParseOptions(const std::vector<std::string>& args, SimOptions& options) {
    bool nmeaGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--loop") {
            options.loop = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            return "unexpected argument " + arg;
        }
        if (std::find(std::begin(kValueOptions), std::end(kValueOptions), arg) ==
            std::end(kValueOptions)) {
            return "unknown option " + arg;
        }
        if (i + 1 >= args.size()) {
            return arg + " needs a value";
        }
        const std::string& value = args[++i];
        bool ok = true;
        if (arg == "--link") {
            options.link = value;
            ok = !value.empty();
        } else if (arg == "--device") {
            options.device = value;
            ok = !value.empty();
        } else if (arg == "--baud") {
            ok = ParseInt<std::uint32_t>(value, 1, UINT32_MAX, options.baud) &&
                 IsLineSpeed(options.baud);
        } else if (arg == "--duration") {
            ok = ParseReal(value, 0.001, 1e9, options.duration);
        } else if (arg == "--speed") {
            ok = ParseReal(value, 0, kMaxSpeed, options.speed) && options.speed > 0;
        } else if (arg == "--seed") {
            ok = ParseInt<std::uint32_t>(value, 0, UINT32_MAX, options.seed);
        } else if (arg == "--start") {
            options.startUtc = ParseUtc(value);
            ok = options.startUtc.has_value();
        } else if (arg == "--lat") {
            ok = ParseReal(value, -90, 90, options.place.latitudeDeg);
        } else if (arg == "--lon") {
            ok = ParseReal(value, -180, 180, options.place.longitudeDeg);
        } else if (arg == "--alt") {
            ok = ParseReal(value, -1000, 20000, options.place.altitudeM);
        } else if (arg == "--fault") {
            ok = ParseFaults(value, options.faults);
        } else if (arg == "--fault-percent") {
            ok = ParseInt(value, 0, 100, options.faultPercent);
        } else if (arg == "--replay") {
            options.replay = value;
            ok = !value.empty();
        } else if (arg == "--rate") {
            ok = ParseReal(value, 0.01, 10000, options.rate);
        } else if (arg == "--count") {
            ok = ParseInt<std::uint64_t>(value, 1, UINT64_MAX, options.count);
        } else if (arg == "--talkers") {
            ok = ParseName(value, kTalkerNames, options.talkers);
        } else if (arg == "--nmea") {
            ok = ParseName(value, kNmeaNames, options.nmea);
            nmeaGiven = true;
        }
        if (!ok) {
            return "bad value for " + arg + ": " + value;
        }
    }
    if (!options.link.empty() && !options.device.empty()) {
        return "--link and --device cannot be used together";
    }
    if (nmeaGiven && options.talkers != Talkers::kGnss) {
        return "--nmea needs --talkers gnss";
    }
    return {};
}

}  // namespace pathlux::sim
