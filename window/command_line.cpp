#include "window/command_line.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string_view>

#include "window/auto_speed.h"

namespace pathlux {
namespace {

// Qt's options, with one dash or two: those that take the next argument, and flags. A name
// followed by "=" carries its value (-style=fusion).
constexpr std::string_view kQtValueOptions[] = {
    "platform",
    "platformpluginpath",
    "platformtheme",
    "plugin",
    "qwindowgeometry",
    "geometry",
    "qwindowtitle",
    "title",
    "qwindowicon",
    "icon",
    "display",
    "session",
    "name",
    "style",
    "stylesheet",
};
constexpr std::string_view kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
constexpr std::string_view kQtEqualsOptions[] = {"qmljsdebugger", "style", "stylesheet"};

constexpr int kMaxListedCom = 16;

template <std::size_t N>
bool Among(const std::string_view (&names)[N], std::string_view name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// How many arguments a Qt option takes in all (1 or 2), or 0 when arg is not one of Qt's.
int QtOptionLength(std::string_view arg) {
    if (!arg.starts_with('-')) {
        return 0;
    }
    arg.remove_prefix(arg.starts_with("--") ? 2 : 1);
    if (const std::size_t equals = arg.find('='); equals != std::string_view::npos) {
        return Among(kQtEqualsOptions, arg.substr(0, equals)) ? 1 : 0;
    }
    if (Among(kQtFlags, arg)) {
        return 1;
    }
    return Among(kQtValueOptions, arg) ? 2 : 0;
}

// "COMn" or "COMn:" of the list (1 to 16) is "COMn:"; a path (anything with a "/") is itself.
std::optional<Text> PortOf(std::string_view value) {
    if (value.find('/') != std::string_view::npos) {
        return Text(value.begin(), value.end());
    }
    if (value.ends_with(':')) {
        value.remove_suffix(1);
    }
    int n = 0;
    const char* end = value.data() + value.size();
    if (!value.starts_with("COM") || value.size() < 4 || value[3] == '0') {
        return std::nullopt;
    }
    const auto [ptr, ec] = std::from_chars(value.data() + 3, end, n);
    if (ec != std::errc() || ptr != end || n < 1 || n > kMaxListedCom) {
        return std::nullopt;
    }
    return u"COM" + Text(value.begin() + 3, value.end()) + u":";
}

std::string SpeedList() {
    std::string list;
    for (const std::uint32_t baud : kLineSpeeds) {
        list +=
            std::to_string(baud) + (baud == kLineSpeeds[std::size(kLineSpeeds) - 1] ? " " : ", ");
    }
    return list + "or auto";
}

CommandLine Error(std::string text) {
    CommandLine line;
    line.action = CommandLine::Action::kError;
    line.error = std::move(text);
    return line;
}

}  // namespace

const char* const kCommandLineUsage =
    "usage: pathlux [--port DEVICE|COMn] [--baud N|auto] [--open] [--record FILE]\n"
    "The monitor window for a GPS receiver on a serial port.\n"
    "  --port DEVICE|COMn  select the port: a device such as /dev/ttyUSB0 or\n"
    "                      /dev/serial/by-id/..., or COM1 to COM16 of the list\n"
    "                      (COMn is $PATHLUX_COMn, else /dev/ttyS{n-1})\n"
    "  --baud N|auto       line speed: 4800 to 921600 (default 9600), or auto: try the\n"
    "                      speeds in turn until whole sentences arrive\n"
    "  --open              open the port at start\n"
    "  --record FILE       capture every byte received and every command sent to FILE,\n"
    "                      from the port's opening (read it back with pathlux-replay FILE\n"
    "                      or pathlux-sim --replay FILE)\n"
    "  --help              this text\n"
    "  --version           the version\n"
    "Qt's own options (-platform, -style, ...) work as in any Qt program.\n"
    "The window's context menu (right click) has the speed and the capture too.\n";

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    StartOptions& options = line.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (const int qt = QtOptionLength(arg); qt > 0) {
            i += static_cast<std::size_t>(qt - 1);
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            line.action = CommandLine::Action::kHelp;
            return line;
        }
        if (arg == "--version") {
            line.action = CommandLine::Action::kVersion;
            return line;
        }
        if (arg == "--open") {
            options.open = true;
            continue;
        }
        // "--name value" or "--name=value".
        std::string_view name = arg;
        std::optional<std::string_view> value;
        if (const std::size_t equals = arg.find('='); arg.starts_with("--") && equals != arg.npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
        }
        if (name != "--port" && name != "--baud" && name != "--record") {
            if (arg.starts_with('-')) {
                return Error("unknown option " + std::string(arg));
            }
            return Error("unexpected argument " + std::string(arg) +
                         " (a device is given with --port)");
        }
        if (!value) {
            if (i + 1 == args.size()) {
                return Error(std::string(name) + " needs a value");
            }
            value = args[++i];
        }
        if (name == "--port") {
            options.port = PortOf(*value);
            if (!options.port) {
                return Error(
                    "--port takes a device path such as /dev/ttyUSB0, or COM1 to COM16, "
                    "not \"" +
                    std::string(*value) + "\"");
            }
        } else if (name == "--baud") {
            std::uint32_t baud = 0;
            const char* end = value->data() + value->size();
            const auto [ptr, ec] = std::from_chars(value->data(), end, baud);
            options.automatic = *value == "auto";
            if (options.automatic) {
                options.baud.reset();
            } else if (ec == std::errc() && ptr == end && IsOfferedSpeed(baud)) {
                options.baud = baud;
            } else {
                return Error("--baud takes " + SpeedList() + ", not \"" + std::string(*value) +
                             "\"");
            }
        } else if (value->empty()) {
            return Error("--record needs a file name");
        } else {
            options.record = *value;
        }
    }
    return line;
}

}  // namespace pathlux
