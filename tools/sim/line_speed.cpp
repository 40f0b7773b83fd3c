#include "tools/sim/line_speed.h"

#include <algorithm>

namespace pathlux::sim {
namespace {

struct LineSpeed {
    std::uint32_t baud;
    speed_t speed;
};
constexpr LineSpeed kLineSpeeds[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};
// A byte cut at the widest ratio still gives only a few, as a UART resynchronises on the edges.
constexpr double kMaxBytesPerByte = 4;

}  // namespace

bool IsLineSpeed(std::uint32_t baud) {
    return TermiosSpeed(baud) != B0;
}

speed_t TermiosSpeed(std::uint32_t baud) {
    for (const LineSpeed& s : kLineSpeeds) {
        if (s.baud == baud) {
            return s.speed;
        }
    }
    return B0;
}

std::uint32_t BaudOf(speed_t speed) {
    for (const LineSpeed& s : kLineSpeeds) {
        if (s.speed == speed) {
            return s.baud;
        }
    }
    return 0;
}

std::string LineGarbler::Pass(std::string_view bytes, std::uint32_t sentBaud,
                              std::uint32_t readBaud) {
    if (sentBaud == readBaud || sentBaud == 0 || readBaud == 0) {
        return std::string(bytes);
    }
    const double ratio =
        std::min(static_cast<double>(readBaud) / static_cast<double>(sentBaud), kMaxBytesPerByte);
    std::string out;
    for (const char c : bytes) {
        credit_ += ratio;
        while (credit_ >= 1) {
            credit_ -= 1;
            // xorshift noise mixed with the byte sent: the same stream garbles alike each run.
            noise_ ^= noise_ << 13;
            noise_ ^= noise_ >> 17;
            noise_ ^= noise_ << 5;
            char garbled =
                static_cast<char>((static_cast<std::uint8_t>(c) * 0x9D) ^ (noise_ >> 24));
            if (garbled == '$') {
                garbled = static_cast<char>(0xA4);
            }
            out += garbled;
        }
    }
    return out;
}

}  // namespace pathlux::sim
