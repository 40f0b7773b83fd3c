#include "tools/ttff/options.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace pathlux::ttff {
namespace {

constexpr double kMaxSeconds = 86400;  // a day: longer waits are a typing mistake
constexpr int kMaxRuns = 100000;

std::optional<double> ParseReal(std::string_view text) {
    double v = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

std::optional<long long> ParseWhole(std::string_view text) {
    long long v = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return v;
}

std::optional<Millis> ParseSeconds(const std::string& text, double least) {
    const std::optional<double> s = ParseReal(text);
    if (!s || *s < least || *s > kMaxSeconds) {
        return std::nullopt;
    }
    return Millis(static_cast<std::int64_t>(std::llround(*s * 1000)));
}

// "LAT,LON,METRES" in degrees and metres.
std::optional<NearPlace> ParseNear(const std::string& text) {
    const std::size_t a = text.find(',');
    const std::size_t b = a == std::string::npos ? a : text.find(',', a + 1);
    if (b == std::string::npos) {
        return std::nullopt;
    }
    const auto lat = ParseReal(std::string_view(text).substr(0, a));
    const auto lon = ParseReal(std::string_view(text).substr(a + 1, b - a - 1));
    const auto metres = ParseReal(std::string_view(text).substr(b + 1));
    if (!lat || !lon || !metres || std::fabs(*lat) > 90 || std::fabs(*lon) > 180 || *metres <= 0) {
        return std::nullopt;
    }
    return NearPlace{*lat, *lon, *metres};
}

// "COMn" as the port list names it becomes the port name "COMn:"; anything else is a path.
std::string PortName(const std::string& text) {
    if (text.size() > 3 && text.starts_with("COM") &&
        text.find_first_not_of("0123456789", 3) == std::string::npos) {
        return text + ':';
    }
    return text;
}

}  // namespace

const char* const kToolUsage =
    "usage: pathlux-ttff --port DEVICE|COMn --restart cold|warm|hot|factory --runs N\n"
    "                    [--baud N] [--timeout S] [--settle S] [--until 2d|3d]\n"
    "                    [--near LAT,LON,METRES] [--csv FILE] [--json] [--plot FILE.png]\n"
    "Measures the time to first fix of a GPS receiver over a series of restarts.\n"
    "Each run waits until the receiver's fix mode has stayed the same for --settle seconds\n"
    "(a held fix, no fix, or silence), sends the restart command, and times from the end of\n"
    "that write to the read that brought the first GSA with a 2D fix (2D or 3D) and with a 3D\n"
    "fix, and with --near to the first fixed GGA position within METRES of the place. Times\n"
    "are taken on the monotonic clock; the receiver's own UTC of each is shown beside it. A fix\n"
    "counts only after the receiver showed that it restarted (no fix, or its version sentence).\n"
    "A run that does not reach a target within --timeout counts as a failure for it.\n"
    "Prints a line per run and the statistics at the end (min, median, mean, 90th percentile,\n"
    "max, standard deviation of the sample). Ctrl-C stops and prints the runs done.\n"
    "options:\n"
    "  --port DEVICE|COMn  the receiver's serial device (COMn: $PATHLUX_COMn or /dev/ttyS{n-1})\n"
    "  --baud N            line speed (default 9600), 8 data bits, no parity, 1 stop bit\n"
    "  --restart KIND      cold, warm, hot or factory\n"
    "  --runs N            how many restarts\n"
    "  --timeout S         longest wait for a run's targets (default 180)\n"
    "  --settle S          how long the fix mode must hold before each restart (default 3)\n"
    "  --until 2d|3d       end a run at its first fix of this kind (default 3d)\n"
    "  --near LAT,LON,M    also wait for a position within M metres of LAT,LON (degrees)\n"
    "  --csv FILE          write one row per run to FILE\n"
    "  --json              write one JSON object per run and a summary to standard output\n"
    "                      (the lines and the table then go to standard error)\n"
    "  --plot FILE.png     draw the runs of each target with median and 90th percentile\n"
    "exit codes:\n"
    "  0 every run reached every target, 1 some run failed, 2 bad usage, 3 the port could not\n"
    "  be opened or was lost (the runs done are printed), 4 an output file could not be\n"
    "  written, 130 interrupted (the runs done are printed)\n";

std::string ParseToolOptions(const std::vector<std::string>& args, ToolOptions& options) {
    bool haveRestart = false;
    bool haveRuns = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            return {};
        }
        if (name == "--json") {
            options.json = true;
            continue;
        }
        if (!name.starts_with("--")) {
            return "unexpected argument " + name;
        }
        if (i + 1 >= args.size()) {
            return name + " needs a value";
        }
        const std::string& value = args[++i];
        const std::string bad = "bad value for " + name + ": " + value;
        if (value.empty()) {
            return bad;
        }
        if (name == "--port") {
            options.port = PortName(value);
        } else if (name == "--baud") {
            const auto baud = ParseWhole(value);
            if (!baud || *baud <= 0 || *baud > 4000000) {
                return bad;
            }
            options.baud = static_cast<std::uint32_t>(*baud);
        } else if (name == "--restart") {
            const auto kind = ParseRestartName(value);
            if (!kind) {
                return bad;
            }
            options.bench.restart = *kind;
            haveRestart = true;
        } else if (name == "--runs") {
            const auto runs = ParseWhole(value);
            if (!runs || *runs < 1 || *runs > kMaxRuns) {
                return bad;
            }
            options.bench.runs = static_cast<int>(*runs);
            haveRuns = true;
        } else if (name == "--timeout") {
            const auto timeout = ParseSeconds(value, 0.001);
            if (!timeout) {
                return bad;
            }
            options.bench.timeout = *timeout;
        } else if (name == "--settle") {
            const auto settle = ParseSeconds(value, 0);
            if (!settle) {
                return bad;
            }
            options.bench.settle = *settle;
        } else if (name == "--until") {
            if (value != "2d" && value != "3d") {
                return bad;
            }
            options.bench.until3d = value == "3d";
        } else if (name == "--near") {
            const auto near = ParseNear(value);
            if (!near) {
                return bad;
            }
            options.bench.near = near;
        } else if (name == "--csv") {
            options.csv = value;
        } else if (name == "--plot") {
            options.plot = value;
        } else {
            return "unknown option " + name;
        }
    }
    if (options.port.empty()) {
        return "--port is required";
    }
    if (!haveRestart) {
        return "--restart is required";
    }
    if (!haveRuns) {
        return "--runs is required";
    }
    return {};
}

}  // namespace pathlux::ttff
