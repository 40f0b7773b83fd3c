// Serial devices over termios, with the original platform's calls and structures: the device
// control block, time-outs, event mask and port-event wait, line errors, modem status, purge.
// A failed call returns false (or nullptr) and leaves its error in GetLastError().
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pathlux::platform {

// The device control block, 28 bytes as on the original platform.
struct Dcb {
    std::uint32_t DCBlength = sizeof(Dcb);
    std::uint32_t BaudRate = 0;
    std::uint32_t flags = 0;  // the DCB_* bits below
    std::uint16_t wReserved = 0;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    std::uint16_t wReserved1 = 0;
};
static_assert(sizeof(Dcb) == 28, "the control block keeps the platform's layout");

constexpr std::uint32_t DCB_BINARY = 0x0001;
constexpr std::uint32_t DCB_PARITY = 0x0002;
constexpr std::uint32_t DCB_OUTX_CTS_FLOW = 0x0004;
constexpr std::uint32_t DCB_OUTX_DSR_FLOW = 0x0008;
constexpr std::uint32_t DCB_DTR_CONTROL_SHIFT = 4;
constexpr std::uint32_t DCB_OUTX = 0x0100;
constexpr std::uint32_t DCB_INX = 0x0200;
constexpr std::uint32_t DCB_RTS_CONTROL_SHIFT = 12;
constexpr std::uint32_t DTR_CONTROL_ENABLE = 1;
constexpr std::uint32_t DTR_CONTROL_HANDSHAKE = 2;
constexpr std::uint32_t RTS_CONTROL_ENABLE = 1;
constexpr std::uint32_t RTS_CONTROL_HANDSHAKE = 2;

constexpr std::uint8_t NOPARITY = 0;
constexpr std::uint8_t ODDPARITY = 1;
constexpr std::uint8_t EVENPARITY = 2;
constexpr std::uint8_t MARKPARITY = 3;
constexpr std::uint8_t SPACEPARITY = 4;
constexpr std::uint8_t ONESTOPBIT = 0;
constexpr std::uint8_t ONE5STOPBITS = 1;
constexpr std::uint8_t TWOSTOPBITS = 2;

struct CommTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;
};

// ReadIntervalTimeout with the read totals 0: a read returns at once with what has arrived.
constexpr std::uint32_t MAXDWORD = 0xFFFFFFFF;

// Port events.
constexpr std::uint32_t EV_RXCHAR = 0x0001;
constexpr std::uint32_t EV_RXFLAG = 0x0002;
constexpr std::uint32_t EV_BREAK = 0x0040;
constexpr std::uint32_t EV_ERR = 0x0080;

// Line error flags.
constexpr std::uint32_t CE_RXOVER = 0x0001;
constexpr std::uint32_t CE_OVERRUN = 0x0002;
constexpr std::uint32_t CE_RXPARITY = 0x0004;
constexpr std::uint32_t CE_FRAME = 0x0008;
constexpr std::uint32_t CE_BREAK = 0x0010;

constexpr std::uint32_t PURGE_TXABORT = 0x0001;
constexpr std::uint32_t PURGE_RXABORT = 0x0002;
constexpr std::uint32_t PURGE_TXCLEAR = 0x0004;
constexpr std::uint32_t PURGE_RXCLEAR = 0x0008;

constexpr std::uint32_t CLRIR = 11;

constexpr std::uint32_t MS_CTS_ON = 0x0010;
constexpr std::uint32_t MS_DSR_ON = 0x0020;
constexpr std::uint32_t MS_RING_ON = 0x0040;
constexpr std::uint32_t MS_RLSD_ON = 0x0080;

// A write that the line accepts no byte of for this long (output held by flow control, or a
// pseudo-terminal nobody reads) fails with ERROR_TIMEOUT instead of hanging its caller.
constexpr std::uint32_t kWriteStallMs = 2000;

class Comm;
using CommHandle = Comm*;

// The device path of a port name: "COMn:" (n from 1 to 255) is the environment variable
// PATHLUX_COMn when set and not empty, else /dev/ttyS{n-1}; any other name is a path itself.
// Empty when the name cannot be a path (an unpaired surrogate or a zero character).
std::string CommDevicePath(std::u16string_view name);

// Opens the device for reading and writing, exclusively (a port held by another open, even one
// of root, gives ERROR_ACCESS_DENIED), without becoming its controlling terminal, in raw mode.
// Anything but a terminal device gives ERROR_INVALID_FUNCTION.
CommHandle OpenComm(std::u16string_view name);
bool CloseHandle(CommHandle port);

bool GetCommState(CommHandle port, Dcb& dcb);
// Baud rates of termios only, 5 to 8 data bits, parity codes 0 to 4, stop bits 0 or 2, and only
// what the device can hold (a pseudo-terminal: 8 data bits, no parity); anything else gives
// ERROR_INVALID_PARAMETER and changes nothing.
bool SetCommState(CommHandle port, const Dcb& dcb);
bool GetCommTimeouts(CommHandle port, CommTimeouts& timeouts);
bool SetCommTimeouts(CommHandle port, const CommTimeouts& timeouts);
bool SetCommMask(CommHandle port, std::uint32_t mask);
bool GetCommMask(CommHandle port, std::uint32_t& mask);

// Blocks until an event of the mask occurs and reports it: EV_RXCHAR once per arrival of new
// bytes (bytes left unread do not report again), EV_RXFLAG when the control block's EvtChar is
// among new bytes (the wait reads them ahead to see it; a read that took them first reports it
// too), EV_BREAK and EV_ERR where the device counts them. Returns true with events 0 when
// cancelled, false with WAIT_TIMEOUT after waitMs (INFINITE: no limit), with
// ERROR_DEVICE_NOT_CONNECTED once the device has hung up, and with ERROR_INVALID_PARAMETER for an
// empty mask.
bool WaitCommEvent(CommHandle port, std::uint32_t& events, std::uint32_t waitMs);
// Ends the port-event wait in progress, or the next one when none is (closing the device would
// not wake it).
bool CancelCommWait(CommHandle port);

// Clears the queues named by PURGE_TXCLEAR and PURGE_RXCLEAR; the abort flags have nothing to
// abort, as every call completes before it returns.
bool PurgeComm(CommHandle port, std::uint32_t flags);
// Only CLRIR, which succeeds and does nothing: there is no infrared mode to leave.
bool EscapeCommFunction(CommHandle port, std::uint32_t function);
// The CE_* flags of the line errors counted by the driver since the last call (each reported
// once). Fails where the device keeps no counters (pseudo-terminals: ERROR_INVALID_FUNCTION).
bool ClearCommError(CommHandle port, std::uint32_t& errors);
bool GetCommModemStatus(CommHandle port, std::uint32_t& status);

// Reads up to size bytes. With ReadIntervalTimeout MAXDWORD it returns at once with what has
// arrived (count 0 when nothing has); otherwise it waits for size bytes, at most waitMs
// (WAIT_TIMEOUT, count keeps what arrived). A hung-up device gives ERROR_DEVICE_NOT_CONNECTED.
bool ReadFile(CommHandle port, void* buffer, std::uint32_t size, std::uint32_t& count,
              std::uint32_t waitMs);
// Writes all size bytes, waiting while the line is full: at most waitMs (WAIT_TIMEOUT) and at
// most kWriteStallMs without progress (ERROR_TIMEOUT); count keeps what was written.
bool WriteFile(CommHandle port, const void* bytes, std::uint32_t size, std::uint32_t& count,
               std::uint32_t waitMs);

}  // namespace pathlux::platform
