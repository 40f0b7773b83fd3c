#include "platform/comm_settings.h"

#include <mutex>
#include <optional>

#include "platform/comm_port.h"
#include "platform/errors.h"
#include "platform/os.h"

namespace pathlux::platform {
namespace {

struct BaudMapping {
    std::uint32_t baud;
    speed_t speed;
};

constexpr BaudMapping kBaudTable[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

std::optional<speed_t> SpeedOf(std::uint32_t baud) {
    for (const BaudMapping& m : kBaudTable) {
        if (m.baud == baud) {
            return m.speed;
        }
    }
    return std::nullopt;
}

std::uint32_t BaudOf(speed_t speed) {
    for (const BaudMapping& m : kBaudTable) {
        if (m.speed == speed) {
            return m.baud;
        }
    }
    return 0;
}

}  // namespace

std::uint32_t CheckDcb(const Dcb& dcb) {
    const bool valid = SpeedOf(dcb.BaudRate) && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 &&
                       dcb.Parity <= SPACEPARITY &&
                       (dcb.StopBits == ONESTOPBIT || dcb.StopBits == TWOSTOPBITS);
    return valid ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

std::uint32_t ApplyDcb(const Dcb& dcb, termios& t) {
    if (const std::uint32_t error = CheckDcb(dcb); error != ERROR_SUCCESS) {
        return error;
    }
    const speed_t speed = *SpeedOf(dcb.BaudRate);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag = (t.c_cflag & ~CSIZE) | kSizes[dcb.ByteSize - 5];
    t.c_cflag &= ~(PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    if (dcb.Parity != NOPARITY) {
        t.c_cflag |= PARENB;
    }
    if (dcb.Parity == ODDPARITY || dcb.Parity == MARKPARITY) {
        t.c_cflag |= PARODD;
    }
    if (dcb.Parity == MARKPARITY || dcb.Parity == SPACEPARITY) {
        t.c_cflag |= CMSPAR;
    }
    if (dcb.StopBits == TWOSTOPBITS) {
        t.c_cflag |= CSTOPB;
    }
    // termios knows one hardware handshake, RTS/CTS; DSR flow and DTR handshake are kept as
    // settings only.
    const std::uint32_t rtsControl = (dcb.flags >> DCB_RTS_CONTROL_SHIFT) & 3;
    if ((dcb.flags & DCB_OUTX_CTS_FLOW) != 0 || rtsControl == RTS_CONTROL_HANDSHAKE) {
        t.c_cflag |= CRTSCTS;
    }
    t.c_iflag &= ~(INPCK | IXON | IXOFF);
    if ((dcb.flags & DCB_PARITY) != 0) {
        t.c_iflag |= INPCK;
    }
    if ((dcb.flags & DCB_OUTX) != 0) {
        t.c_iflag |= IXON;
    }
    if ((dcb.flags & DCB_INX) != 0) {
        t.c_iflag |= IXOFF;
    }
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    return ERROR_SUCCESS;
}

Dcb DcbFromTermios(const termios& t, const Dcb& kept) {
    Dcb dcb = kept;
    dcb.DCBlength = sizeof(Dcb);
    dcb.BaudRate = BaudOf(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
        case CS5:
            dcb.ByteSize = 5;
            break;
        case CS6:
            dcb.ByteSize = 6;
            break;
        case CS7:
            dcb.ByteSize = 7;
            break;
        default:
            dcb.ByteSize = 8;
            break;
    }
    if ((t.c_cflag & PARENB) == 0) {
        dcb.Parity = NOPARITY;
    } else if ((t.c_cflag & CMSPAR) != 0) {
        dcb.Parity = (t.c_cflag & PARODD) != 0 ? MARKPARITY : SPACEPARITY;
    } else {
        dcb.Parity = (t.c_cflag & PARODD) != 0 ? ODDPARITY : EVENPARITY;
    }
    dcb.StopBits = (t.c_cflag & CSTOPB) != 0 ? TWOSTOPBITS : ONESTOPBIT;
    const auto setFlag = [&](std::uint32_t flag, bool on) {
        dcb.flags = on ? (dcb.flags | flag) : (dcb.flags & ~flag);
    };
    setFlag(DCB_PARITY, (t.c_iflag & INPCK) != 0);
    setFlag(DCB_OUTX, (t.c_iflag & IXON) != 0);
    setFlag(DCB_INX, (t.c_iflag & IXOFF) != 0);
    dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    return dcb;
}

bool SameLineSettings(const termios& a, const termios& b) {
    constexpr tcflag_t kControl = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    constexpr tcflag_t kInput = INPCK | IXON | IXOFF;
    return cfgetospeed(&a) == cfgetospeed(&b) && cfgetispeed(&a) == cfgetispeed(&b) &&
           (a.c_cflag & kControl) == (b.c_cflag & kControl) &&
           (a.c_iflag & kInput) == (b.c_iflag & kInput) && a.c_cc[VSTART] == b.c_cc[VSTART] &&
           a.c_cc[VSTOP] == b.c_cc[VSTOP];
}

void MakeRaw(termios& t) {
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    // VMIN 1 with O_NONBLOCK: an empty read gives EAGAIN, so that 0 can only mean a hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

Dcb DefaultDcb() {
    Dcb dcb;
    dcb.flags = DCB_BINARY | (DTR_CONTROL_ENABLE << DCB_DTR_CONTROL_SHIFT) |
                (RTS_CONTROL_ENABLE << DCB_RTS_CONTROL_SHIFT);
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    return dcb;
}

bool GetCommState(CommHandle port, Dcb& dcb) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    termios t{};
    if (CurrentOs().TcGetAttr(port->fd, &t) != 0) {
        return FailWithErrno();
    }
    std::lock_guard lock(port->mutex);
    dcb = DcbFromTermios(t, port->extra);
    return true;
}

bool SetCommState(CommHandle port, const Dcb& dcb) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    // A block termios cannot hold is refused before the device is asked anything.
    if (const std::uint32_t error = CheckDcb(dcb); error != ERROR_SUCCESS) {
        return Fail(error);
    }
    Os& os = CurrentOs();
    termios t{};
    if (os.TcGetAttr(port->fd, &t) != 0) {
        return FailWithErrno();
    }
    const termios before = t;
    ApplyDcb(dcb, t);
    // tcsetattr may take part of a request and report success, or report failure after taking
    // part. A device that keeps only some (a pseudo-terminal has no data-bit size or parity)
    // refuses the whole, as the driver would, and is put back as it was.
    const auto restore = [&] { RetryOnInterrupt([&] { return os.TcSetAttr(port->fd, &before); }); };
    if (RetryOnInterrupt([&] { return os.TcSetAttr(port->fd, &t); }) != 0) {
        const int errnum = errno;
        restore();
        SetLastErrorFromErrno(errnum);
        return false;
    }
    termios taken{};
    if (os.TcGetAttr(port->fd, &taken) != 0) {
        return FailWithErrno();
    }
    if (!SameLineSettings(taken, t)) {
        restore();
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::lock_guard lock(port->mutex);
    port->extra = dcb;
    port->extra.DCBlength = sizeof(Dcb);
    return true;
}

bool GetCommTimeouts(CommHandle port, CommTimeouts& timeouts) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    std::lock_guard lock(port->mutex);
    timeouts = port->timeouts;
    return true;
}

bool SetCommTimeouts(CommHandle port, const CommTimeouts& timeouts) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    std::lock_guard lock(port->mutex);
    port->timeouts = timeouts;
    return true;
}

}  // namespace pathlux::platform
