// The line speed of pathlux-sim (--baud): a receiver talks at one speed, and a reader set to
// another gets garbage, as on a real serial line. A pseudo-terminal keeps the speed each side
// sets, so the simulator can see the reader's.
#pragma once

#include <termios.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace pathlux::sim {

// The speeds --baud takes.
bool IsLineSpeed(std::uint32_t baud);
// termios's constant for one of them, and back (0 for a speed not among them).
speed_t TermiosSpeed(std::uint32_t baud);
std::uint32_t BaudOf(speed_t speed);

// What a reader at readBaud makes of bytes sent at sentBaud. At the same speed, the bytes. At
// another, what a UART sampling at the wrong rate gives: more bytes when the reader is faster
// (a character is cut into several), fewer when it is slower (several merge into one), none of
// them anything like the sentence they came from; never a "$", so that no sentence can start.
class LineGarbler {
  public:
    std::string Pass(std::string_view bytes, std::uint32_t sentBaud, std::uint32_t readBaud);

  private:
    double credit_ = 0;  // of bytes the reader is due, carried from one call to the next
    std::uint32_t noise_ = 0x2545F491;
};

}  // namespace pathlux::sim
