// The serial devices present on this machine, for the port list: USB and Bluetooth serial
// devices, and the built-in UARTs that have hardware behind them.
#pragma once

#include <string>
#include <vector>

namespace pathlux::platform {

struct SerialDevice {
    std::string shown;  // what the list shows
    std::string path;   // what is opened
    std::string tip;    // the device path, and for a by-id name the device it points at
};

// In this order, each group sorted (numbers as numbers, ttyUSB2 before ttyUSB10):
// - devRoot/serial/by-id/*, shown by a readable name ("usb-u-blox_AG_GPS-if00" is
//   "u-blox AG GPS") and opened by that path, which stays the same across replugs;
// - devRoot/ttyUSB*, ttyACM* and rfcomm* that no by-id name points at, shown by their name;
// - devRoot/ttySn whose UART the kernel knows: sysRoot/class/tty/ttySn/type holds a type other
//   than 0 (PORT_UNKNOWN). The kernel makes ttyS nodes for ports that may not exist; only those
//   it found a UART at have a type, and looking there opens nothing.
// The roots are parameters so that a test can pass a tree of its own.
std::vector<SerialDevice> ListSerialDevices(const std::string& devRoot = "/dev",
                                            const std::string& sysRoot = "/sys");

}  // namespace pathlux::platform
