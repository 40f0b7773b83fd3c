#include "platform/serial_devices.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string_view>
#include <system_error>

namespace pathlux::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHotplugPrefixes[] = {"ttyUSB", "ttyACM", "rfcomm"};
constexpr std::string_view kUartPrefix = "ttyS";
constexpr int kPortUnknown = 0;

// The number after prefix when name is prefix and digits only, else -1.
long NumberAfter(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || name.size() == prefix.size() ||
        name.size() - prefix.size() > 6) {
        return -1;
    }
    long n = 0;
    for (const char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9') {
            return -1;
        }
        n = n * 10 + (c - '0');
    }
    return n;
}

// Names in dir, sorted by their number, that are prefix and a number.
std::vector<std::string> NumberedEntries(const fs::path& dir, std::string_view prefix) {
    std::map<long, std::string> found;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        if (const long n = NumberAfter(name, prefix); n >= 0) {
            found.emplace(n, name);
        }
    }
    std::vector<std::string> names;
    for (auto& [n, name] : found) {
        names.push_back(std::move(name));
    }
    return names;
}

// "usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0" is
// "Prolific Technology Inc. USB-Serial Controller": no bus, no interface, blanks for underscores.
std::string ReadableName(std::string_view id) {
    std::string_view name = id;
    if (name.starts_with("usb-")) {
        name.remove_prefix(4);
    }
    if (const std::size_t port = name.rfind("-port");
        port != std::string_view::npos && NumberAfter(name.substr(port + 1), "port") >= 0) {
        name = name.substr(0, port);
    }
    if (const std::size_t iface = name.rfind("-if");
        iface != std::string_view::npos && NumberAfter(name.substr(iface + 1), "if") >= 0) {
        name = name.substr(0, iface);
    }
    std::string readable(name.empty() ? id : name);
    std::replace(readable.begin(), readable.end(), '_', ' ');
    return readable;
}

// Whether sysfs has a UART type other than PORT_UNKNOWN for the port.
bool HasUart(const fs::path& sysRoot, const std::string& name) {
    std::ifstream type(sysRoot / "class" / "tty" / name / "type");
    int value = kPortUnknown;
    return static_cast<bool>(type >> value) && value != kPortUnknown;
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const std::string& devRoot,
                                            const std::string& sysRoot) {
    const fs::path dev(devRoot);
    std::vector<SerialDevice> devices;
    std::set<fs::path> named;  // the devices a by-id name stands for

    const fs::path byId = dev / "serial" / "by-id";
    std::vector<std::pair<fs::path, fs::path>> links;  // the link and the device it names
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(byId, error)) {
        // udev's links are relative ("../../ttyUSB0"); one whose device is gone is left out.
        const fs::path target = fs::read_symlink(entry.path(), error);
        const fs::path device = (entry.path().parent_path() / target).lexically_normal();
        if (!error && fs::exists(device, error)) {
            links.emplace_back(entry.path(), device);
        }
    }
    std::sort(links.begin(), links.end());
    std::map<std::string, int> shownCount;
    for (const auto& [link, device] : links) {
        ++shownCount[ReadableName(link.filename().string())];
    }
    for (const auto& [link, device] : links) {
        const std::string id = link.filename().string();
        std::string shown = ReadableName(id);
        // Two interfaces of one device read alike: they keep their full names.
        if (shownCount[shown] > 1) {
            shown = id;
        }
        named.insert(device);
        devices.push_back(
            {std::move(shown), link.string(), link.string() + " -> " + device.string()});
    }

    for (const std::string_view prefix : kHotplugPrefixes) {
        for (const std::string& name : NumberedEntries(dev, prefix)) {
            if (named.count((dev / name).lexically_normal()) == 0) {
                const std::string path = (dev / name).string();
                devices.push_back({name, path, path});
            }
        }
    }
    for (const std::string& name : NumberedEntries(dev, kUartPrefix)) {
        if (HasUart(sysRoot, name)) {
            const std::string path = (dev / name).string();
            devices.push_back({name, path, path});
        }
    }
    return devices;
}

}  // namespace pathlux::platform
