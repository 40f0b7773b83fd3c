// The port list's devices from fake /dev and /sys trees.
#include "platform/serial_devices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace pathlux::platform {
namespace {

namespace fs = std::filesystem;

// A file of the tree: "name" is a device node (any file will do), "name=text" a file with that
// text, "name->target" a symlink.
void Make(const fs::path& root, const std::string& entry) {
    const std::size_t arrow = entry.find("->");
    const std::size_t equals = entry.find('=');
    const fs::path path = root / entry.substr(0, std::min(arrow, equals));
    fs::create_directories(path.parent_path());
    if (arrow != std::string::npos) {
        fs::create_symlink(entry.substr(arrow + 2), path);
    } else {
        std::ofstream(path) << (equals != std::string::npos ? entry.substr(equals + 1) : "");
    }
}

TEST(serial_devices_test, ListsThePresentDevicesInAStableOrder) {
    const struct {
        const char* legend;
        std::vector<std::string> dev;
        std::vector<std::string> sys;
        // shown, then the path under the dev root
        std::vector<std::pair<std::string, std::string>> expected;
    } cases[] = {
        {"nothing present", {}, {}, {}},
        {"USB, ACM and rfcomm in number order, other names left out",
         {"ttyUSB10", "ttyUSB2", "ttyACM0", "rfcomm1", "ttyUSB", "ttyUSB1x", "tty0", "ttyAMA0"},
         {},
         {{"ttyUSB2", "ttyUSB2"},
          {"ttyUSB10", "ttyUSB10"},
          {"ttyACM0", "ttyACM0"},
          {"rfcomm1", "rfcomm1"}}},
        {"by-id first by a readable name; the device it names does not show twice",
         {"ttyUSB0", "ttyACM0",
          "serial/by-id/usb-u-blox_AG_-_www.u-blox.com_u-blox_7_-_GPS_GNSS_Receiver-if00->"
          "../../ttyACM0",
          "serial/by-id/usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0->"
          "../../ttyUSB0"},
         {},
         {{"Prolific Technology Inc. USB-Serial Controller",
           "serial/by-id/usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0"},
          {"u-blox AG - www.u-blox.com u-blox 7 - GPS GNSS Receiver",
           "serial/by-id/usb-u-blox_AG_-_www.u-blox.com_u-blox_7_-_GPS_GNSS_Receiver-if00"}}},
        {"two interfaces of one device keep their full names; a link to no device is left out",
         {"ttyUSB0", "ttyUSB1", "serial/by-id/usb-FTDI_Dual-if00-port0->../../ttyUSB0",
          "serial/by-id/usb-FTDI_Dual-if01-port0->../../ttyUSB1",
          "serial/by-id/usb-Gone-if00->../../ttyUSB9"},
         {},
         {{"usb-FTDI_Dual-if00-port0", "serial/by-id/usb-FTDI_Dual-if00-port0"},
          {"usb-FTDI_Dual-if01-port0", "serial/by-id/usb-FTDI_Dual-if01-port0"}}},
        {"ttyS only with a UART type other than 0, after the others",
         {"ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyS10", "ttyUSB0"},
         {"class/tty/ttyS0/type=4\n", "class/tty/ttyS1/type=0\n", "class/tty/ttyS2/type=junk",
          "class/tty/ttyS10/type=1\n"},
         {{"ttyUSB0", "ttyUSB0"}, {"ttyS0", "ttyS0"}, {"ttyS10", "ttyS10"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        const fs::path root = fs::path(::testing::TempDir()) / "serial_devices_test";
        fs::remove_all(root);
        for (const std::string& entry : c.dev) {
            Make(root / "dev", entry);
        }
        for (const std::string& entry : c.sys) {
            Make(root / "sys", entry);
        }
        const std::vector<SerialDevice> devices =
            ListSerialDevices((root / "dev").string(), (root / "sys").string());
        std::vector<std::pair<std::string, std::string>> got;
        for (const SerialDevice& device : devices) {
            got.emplace_back(device.shown, fs::path(device.path).lexically_relative(root / "dev"));
            EXPECT_EQ(device.tip.rfind(device.path, 0), 0u) << "the tip starts with the path";
        }
        EXPECT_EQ(got, c.expected);
        fs::remove_all(root);
    }
}

}  // namespace
}  // namespace pathlux::platform
