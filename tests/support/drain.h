// Everything waiting at a port, read as the window reads it: 100-byte chunks, non-blocking,
// until a read finds nothing (or fails).
#pragma once

#include <string>

#include "serial/serial_port.h"

namespace pathlux::test {

inline std::string Drain(CSerialPort& port) {
    std::string out;
    char chunk[100];
    std::uint32_t count = 0;
    while (port.Read(chunk, sizeof chunk, &count, nullptr, platform::INFINITE) == 0 && count > 0) {
        out.append(chunk, count);
    }
    return out;
}

}  // namespace pathlux::test
