// The device control block and termios, as plain functions of plain structures: what
// SetCommState writes to a device and GetCommState reads back, testable without one.
#pragma once

#include <termios.h>

#include <cstdint>

#include "platform/comm.h"

namespace pathlux::platform {

// Writes the block's line settings into t: speed, data bits, parity, stop bits, parity check,
// RTS/CTS and XON/XOFF flow control and the XON/XOFF characters; the rest of t stays.
// ERROR_SUCCESS, or ERROR_INVALID_PARAMETER with t unchanged for a baud rate termios lacks, data
// bits outside 5 to 8, a parity code above 4, or stop bits other than one or two.
std::uint32_t ApplyDcb(const Dcb& dcb, termios& t);
// ApplyDcb's check alone.
std::uint32_t CheckDcb(const Dcb& dcb);

// The block of a device whose settings are t: the line settings from t, and from kept what
// termios has no place for (DTR and RTS control, CTS and DSR flow, the event character, the
// limits). An unknown speed reads as baud rate 0.
Dcb DcbFromTermios(const termios& t, const Dcb& kept);

// Whether a and b agree in everything that ApplyDcb writes: a device may take part of a request.
bool SameLineSettings(const termios& a, const termios& b);

// Raw mode, with the receiver on and the modem lines ignored.
void MakeRaw(termios& t);

// The block of a port just opened, before any SetCommState: binary mode, DTR and RTS on.
Dcb DefaultDcb();

}  // namespace pathlux::platform
