#include "platform/comm.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>
#include <optional>

#include "platform/errors.h"
#include "platform/os.h"
#include "platform/sync.h"

namespace pathlux::platform {

// A read-ahead that takes in a second of a 38400-baud line at once.
constexpr std::size_t kReadAheadBytes = 4096;

class Comm {
  public:
    int fd = -1;
    int epollFd = -1;
    int cancelFd = -1;
    // Counts the event characters that reads found among bytes new from the device, so that a
    // read that took them before the port-event wait did still wakes it.
    int flagFd = -1;
    std::atomic<std::uint32_t> eventMask{0};
    // Edge-triggered polling reports a hang-up only once; later waits must still fail.
    std::atomic<bool> hungUp{false};
    // Whether the device is in the epoll set; only the one thread that waits touches it.
    bool watched = false;

    // The driver's settings that termios has no place for, and its error counters; the window's
    // thread and the watcher both reach them.
    std::mutex mutex;
    Dcb extra;
    CommTimeouts timeouts;
    std::optional<serial_icounter_struct> errorsSeen;  // by ClearCommError
    std::optional<serial_icounter_struct> eventsSeen;  // by WaitCommEvent

    // Bytes the device gave beyond what a read asked for, as the original driver's receive queue
    // holds them: without it every 100-byte read of a fast stream would be a system call. Readers
    // use it under readMutex, and so does the port-event wait when it looks for the event
    // character; otherwise the wait only asks whether anything is in it.
    std::mutex readMutex;
    std::array<std::uint8_t, kReadAheadBytes> ahead{};
    std::size_t aheadStart = 0;
    std::atomic<std::size_t> aheadSize{0};
};

namespace {

constexpr std::size_t kMaxComNumber = 255;

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

template <typename Call>
auto RetryOnInterrupt(Call call) {
    decltype(call()) result;
    do {
        result = call();
    } while (result == -1 && errno == EINTR);
    return result;
}

bool FailWithErrno() {
    SetLastErrorFromErrno(errno);
    return false;
}

bool Fail(std::uint32_t error) {
    SetLastError(error);
    return false;
}

// A time limit in milliseconds, INFINITE for none.
class Deadline {
  public:
    explicit Deadline(std::uint32_t ms) : infinite_(ms == INFINITE) {
        if (!infinite_) {
            end_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        }
    }

    // For poll and epoll_wait: -1 for no limit, else the rest rounded up, so that a wait never
    // turns into a spin of zero-length waits.
    int RemainingMs() const {
        if (infinite_) {
            return -1;
        }
        const auto rest =
            std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
        return static_cast<int>(std::clamp<std::int64_t>(rest.count(), 0, INT_MAX));
    }

    bool Expired() const { return !infinite_ && RemainingMs() == 0; }

  private:
    bool infinite_;
    std::chrono::steady_clock::time_point end_;
};

// "COMn:" with n from 1 to kMaxComNumber written without leading zeros; 0 for any other name.
std::size_t ComNumber(std::u16string_view name) {
    constexpr std::u16string_view kPrefix = u"COM";
    if (name.size() < kPrefix.size() + 2 || name.substr(0, kPrefix.size()) != kPrefix ||
        name.back() != u':') {
        return 0;
    }
    const std::u16string_view digits =
        name.substr(kPrefix.size(), name.size() - kPrefix.size() - 1);
    if (digits.size() > 3 || digits.front() == u'0') {
        return 0;
    }
    std::size_t n = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9') {
            return 0;
        }
        n = n * 10 + static_cast<std::size_t>(c - u'0');
    }
    return n <= kMaxComNumber ? n : 0;
}

// UTF-16 to UTF-8; nullopt for an unpaired surrogate or a zero character.
std::optional<std::string> ToUtf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c == 0 || (c >= 0xDC00 && c <= 0xDFFF)) {
            return std::nullopt;
        }
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                return std::nullopt;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::optional<serial_icounter_struct> ReadCounters(int fd) {
    serial_icounter_struct counters{};
    if (RetryOnInterrupt([&] { return CurrentOs().Ioctl(fd, TIOCGICOUNT, &counters); }) != 0) {
        return std::nullopt;
    }
    return counters;
}

std::uint32_t NewLineErrors(const serial_icounter_struct& before,
                            const serial_icounter_struct& now) {
    std::uint32_t errors = 0;
    if (now.buf_overrun != before.buf_overrun) {
        errors |= CE_RXOVER;
    }
    if (now.overrun != before.overrun) {
        errors |= CE_OVERRUN;
    }
    if (now.parity != before.parity) {
        errors |= CE_RXPARITY;
    }
    if (now.frame != before.frame) {
        errors |= CE_FRAME;
    }
    if (now.brk != before.brk) {
        errors |= CE_BREAK;
    }
    return errors;
}

// Bytes waiting to be read, read ahead or still in the device. A device that cannot tell has
// hung up: reading it would fail too.
bool BytesWaiting(const Comm& port) {
    if (port.aheadSize.load(std::memory_order_relaxed) > 0) {
        return true;
    }
    int waiting = 0;
    if (RetryOnInterrupt([&] { return CurrentOs().Ioctl(port.fd, FIONREAD, &waiting); }) != 0) {
        return false;
    }
    return waiting > 0;
}

// read(2) of the device. With EV_RXFLAG in the mask, new bytes are where the event character
// arrives: finding it wakes the port-event wait.
ssize_t ReadDevice(Comm& port, void* into, std::size_t size) {
    Os& os = CurrentOs();
    const ssize_t n = RetryOnInterrupt([&] { return os.Read(port.fd, into, size); });
    if (n <= 0 || (port.eventMask.load(std::memory_order_relaxed) & EV_RXFLAG) == 0) {
        return n;
    }
    char eventChar = 0;
    {
        std::lock_guard lock(port.mutex);
        eventChar = port.extra.EvtChar;
    }
    if (std::memchr(into, static_cast<unsigned char>(eventChar), static_cast<std::size_t>(n)) !=
        nullptr) {
        const std::uint64_t one = 1;
        RetryOnInterrupt([&] { return os.Write(port.flagFd, &one, sizeof one); });
    }
    return n;
}

// Reads from the device onto the end of the read-ahead, which must have room; the caller holds
// readMutex. The result is read(2)'s.
ssize_t FillReadAhead(Comm& port) {
    const std::size_t held = port.aheadSize.load(std::memory_order_relaxed);
    std::memmove(port.ahead.data(), port.ahead.data() + port.aheadStart, held);
    port.aheadStart = 0;
    const ssize_t n = ReadDevice(port, port.ahead.data() + held, kReadAheadBytes - held);
    if (n > 0) {
        port.aheadSize.store(held + static_cast<std::size_t>(n), std::memory_order_relaxed);
    }
    return n;
}

// The port-event wait takes what the device holds into the read-ahead, as far as it has room,
// so that the event character among the new bytes is seen; the readers get them from there.
void ReadAheadForEventCharacter(Comm& port) {
    std::lock_guard lock(port.readMutex);
    for (;;) {
        const std::size_t room = kReadAheadBytes - port.aheadSize.load(std::memory_order_relaxed);
        // Less than the room: the device had no more.
        if (room == 0 || FillReadAhead(port) != static_cast<ssize_t>(room)) {
            return;
        }
    }
}

// EV_RXFLAG when reads found the event character since the last time; clears the count.
std::uint32_t TakeEventCharacter(const Comm& port) {
    std::uint64_t found = 0;
    return CurrentOs().Read(port.flagFd, &found, sizeof found) > 0 ? EV_RXFLAG : 0;
}

// Moves what was read ahead into the caller's buffer; how many bytes that was.
std::uint32_t TakeReadAhead(Comm& port, std::uint8_t* bytes, std::uint32_t size) {
    const std::size_t held = port.aheadSize.load(std::memory_order_relaxed);
    const std::size_t n = std::min<std::size_t>(held, size);
    if (n > 0) {
        std::memcpy(bytes, port.ahead.data() + port.aheadStart, n);
        port.aheadStart += n;
        port.aheadSize.store(held - n, std::memory_order_relaxed);
    }
    return static_cast<std::uint32_t>(n);
}

// The parts of the settings that SetCommState writes.
bool SameLineSettings(const termios& a, const termios& b) {
    constexpr tcflag_t kControl = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    constexpr tcflag_t kInput = INPCK | IXON | IXOFF;
    return cfgetospeed(&a) == cfgetospeed(&b) && cfgetispeed(&a) == cfgetispeed(&b) &&
           (a.c_cflag & kControl) == (b.c_cflag & kControl) &&
           (a.c_iflag & kInput) == (b.c_iflag & kInput) && a.c_cc[VSTART] == b.c_cc[VSTART] &&
           a.c_cc[VSTOP] == b.c_cc[VSTOP];
}

void CloseFd(int fd) {
    if (fd >= 0) {
        CurrentOs().Close(fd);
    }
}

void ApplyRaw(termios& t) {
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    // VMIN 1 with O_NONBLOCK: an empty read gives EAGAIN, so that 0 can only mean a hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

Dcb DefaultExtra() {
    Dcb dcb;
    dcb.flags = DCB_BINARY | (DTR_CONTROL_ENABLE << DCB_DTR_CONTROL_SHIFT) |
                (RTS_CONTROL_ENABLE << DCB_RTS_CONTROL_SHIFT);
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    return dcb;
}

}  // namespace

std::string CommDevicePath(std::u16string_view name) {
    if (const std::size_t n = ComNumber(name); n != 0) {
        const std::string variable = "PATHLUX_COM" + std::to_string(n);
        const char* mapped = std::getenv(variable.c_str());
        if (mapped != nullptr && *mapped != '\0') {
            return mapped;
        }
        return "/dev/ttyS" + std::to_string(n - 1);
    }
    return ToUtf8(name).value_or("");
}

CommHandle OpenComm(std::u16string_view name) {
    const std::string path = CommDevicePath(name);
    if (path.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    Os& os = CurrentOs();
    auto* port = new (std::nothrow) Comm;
    if (port == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    bool exclusive = false;
    const auto fail = [&](int errnum) -> CommHandle {
        // On a pseudo-terminal the mode outlives the descriptor while the master is open, and
        // every later open but root's would be refused.
        if (exclusive) {
            os.Ioctl(port->fd, TIOCNXCL, nullptr);
        }
        CloseFd(port->flagFd);
        CloseFd(port->cancelFd);
        CloseFd(port->epollFd);
        CloseFd(port->fd);
        delete port;
        SetLastErrorFromErrno(errnum);
        return nullptr;
    };
    port->fd = RetryOnInterrupt(
        [&] { return os.Open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
    if (port->fd < 0) {
        return fail(errno);
    }
    // TIOCEXCL does not stop root, so an advisory lock tells a held port. Nothing of the device
    // is changed before the lock is ours.
    if (RetryOnInterrupt([&] { return os.Flock(port->fd, LOCK_EX | LOCK_NB); }) != 0) {
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    }
    termios settings{};
    if (os.TcGetAttr(port->fd, &settings) != 0) {
        return fail(errno);
    }
    if (RetryOnInterrupt([&] { return os.Ioctl(port->fd, TIOCEXCL, nullptr); }) != 0) {
        return fail(errno);
    }
    exclusive = true;
    ApplyRaw(settings);
    if (RetryOnInterrupt([&] { return os.TcSetAttr(port->fd, &settings); }) != 0) {
        return fail(errno);
    }
    port->epollFd = os.EpollCreate();
    if (port->epollFd < 0) {
        return fail(errno);
    }
    for (int* wakeFd : {&port->cancelFd, &port->flagFd}) {
        *wakeFd = os.EventFd();
        if (*wakeFd < 0) {
            return fail(errno);
        }
        epoll_event wake{};
        wake.events = EPOLLIN;
        wake.data.fd = *wakeFd;
        if (os.EpollCtl(port->epollFd, EPOLL_CTL_ADD, *wakeFd, &wake) != 0) {
            return fail(errno);
        }
    }
    port->extra = DefaultExtra();
    port->errorsSeen = port->eventsSeen = ReadCounters(port->fd);
    return port;
}

bool CloseHandle(CommHandle port) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    Os& os = CurrentOs();
    // The exclusive flag outlives the descriptor on some drivers; leave the device reopenable.
    os.Ioctl(port->fd, TIOCNXCL, nullptr);
    CloseFd(port->flagFd);
    CloseFd(port->cancelFd);
    CloseFd(port->epollFd);
    CloseFd(port->fd);
    delete port;
    return true;
}

bool GetCommState(CommHandle port, Dcb& dcb) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    termios t{};
    if (CurrentOs().TcGetAttr(port->fd, &t) != 0) {
        return FailWithErrno();
    }
    {
        std::lock_guard lock(port->mutex);
        dcb = port->extra;
    }
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
    return true;
}

bool SetCommState(CommHandle port, const Dcb& dcb) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::optional<speed_t> speed = SpeedOf(dcb.BaudRate);
    if (!speed || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        (dcb.StopBits != ONESTOPBIT && dcb.StopBits != TWOSTOPBITS)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Os& os = CurrentOs();
    termios t{};
    if (os.TcGetAttr(port->fd, &t) != 0) {
        return FailWithErrno();
    }
    const termios before = t;
    cfsetispeed(&t, *speed);
    cfsetospeed(&t, *speed);
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

bool SetCommMask(CommHandle port, std::uint32_t mask) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    port->eventMask.store(mask, std::memory_order_relaxed);
    return true;
}

bool GetCommMask(CommHandle port, std::uint32_t& mask) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    mask = port->eventMask.load(std::memory_order_relaxed);
    return true;
}

bool WaitCommEvent(CommHandle port, std::uint32_t& events, std::uint32_t waitMs) {
    events = 0;
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::uint32_t mask = port->eventMask.load(std::memory_order_relaxed);
    if (mask == 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Os& os = CurrentOs();
    // The device joins the wait at the first wait, not at open: the settings made after open wake
    // its readers, and such a stale wake-up coinciding with the first bytes would report them
    // twice. Bytes that came before the first wait are reported at once.
    if (!port->watched) {
        // Edge-triggered: one report per arrival, none for bytes that merely sit unread.
        epoll_event device{};
        device.events = EPOLLIN | EPOLLET;
        device.data.fd = port->fd;
        if (os.EpollCtl(port->epollFd, EPOLL_CTL_ADD, port->fd, &device) != 0) {
            return FailWithErrno();
        }
        port->watched = true;
        // Bytes read ahead before the first wait came before it too.
        if ((mask & EV_RXCHAR) != 0 && port->aheadSize.load(std::memory_order_relaxed) > 0) {
            events = (EV_RXCHAR | TakeEventCharacter(*port)) & mask;
            return true;
        }
    }
    const Deadline deadline(waitMs);
    while (!port->hungUp.load(std::memory_order_relaxed)) {
        epoll_event ready[3];
        const int n = os.EpollWait(port->epollFd, ready, static_cast<int>(std::size(ready)),
                                   deadline.RemainingMs());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return FailWithErrno();
        }
        if (n == 0) {
            return Fail(WAIT_TIMEOUT);
        }
        std::uint32_t deviceReady = 0;
        bool flagReady = false;
        for (int i = 0; i < n; ++i) {
            if (ready[i].data.fd == port->cancelFd) {
                std::uint64_t count = 0;
                os.Read(port->cancelFd, &count, sizeof count);
                return true;  // cancelled: no event
            }
            if (ready[i].data.fd == port->flagFd) {
                flagReady = true;
            } else {
                deviceReady |= ready[i].events;
            }
        }
        if ((deviceReady & (EPOLLHUP | EPOLLERR)) != 0) {
            port->hungUp.store(true, std::memory_order_relaxed);
        }
        if ((mask & EV_RXFLAG) != 0 && (deviceReady & EPOLLIN) != 0) {
            ReadAheadForEventCharacter(*port);
        }
        // Also taken when the mask no longer asks for it: a count left behind would wake every
        // later wait at once.
        if ((mask & EV_RXFLAG) != 0 || flagReady) {
            events |= TakeEventCharacter(*port);
        }
        if ((mask & EV_RXCHAR) != 0 && (deviceReady & EPOLLIN) != 0 && BytesWaiting(*port)) {
            events |= EV_RXCHAR;
        }
        if ((mask & (EV_BREAK | EV_ERR)) != 0) {
            std::lock_guard lock(port->mutex);
            const std::optional<serial_icounter_struct> now = ReadCounters(port->fd);
            if (now && port->eventsSeen) {
                const std::uint32_t errors = NewLineErrors(*port->eventsSeen, *now);
                if ((errors & CE_BREAK) != 0) {
                    events |= EV_BREAK;
                }
                if ((errors & ~CE_BREAK) != 0) {
                    events |= EV_ERR;
                }
            }
            if (now) {
                port->eventsSeen = now;
            }
        }
        events &= mask;
        if (events != 0) {
            return true;  // bytes that came with a hang-up are still reported
        }
    }
    return Fail(ERROR_DEVICE_NOT_CONNECTED);
}

bool CancelCommWait(CommHandle port) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const std::uint64_t one = 1;
    if (RetryOnInterrupt([&] { return CurrentOs().Write(port->cancelFd, &one, sizeof one); }) < 0) {
        return FailWithErrno();
    }
    return true;
}

bool PurgeComm(CommHandle port, std::uint32_t flags) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if ((flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR)) != 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const bool tx = (flags & PURGE_TXCLEAR) != 0;
    const bool rx = (flags & PURGE_RXCLEAR) != 0;
    if (!tx && !rx) {
        return true;
    }
    const int queue = tx && rx ? TCIOFLUSH : (tx ? TCOFLUSH : TCIFLUSH);
    if (rx) {
        std::lock_guard lock(port->readMutex);
        port->aheadSize.store(0, std::memory_order_relaxed);
    }
    if (RetryOnInterrupt([&] { return CurrentOs().TcFlush(port->fd, queue); }) != 0) {
        return FailWithErrno();
    }
    return true;
}

bool EscapeCommFunction(CommHandle port, std::uint32_t function) {
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    return function == CLRIR ? true : Fail(ERROR_INVALID_PARAMETER);
}

bool ClearCommError(CommHandle port, std::uint32_t& errors) {
    errors = 0;
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    std::lock_guard lock(port->mutex);
    const std::optional<serial_icounter_struct> now = ReadCounters(port->fd);
    if (!now) {
        return FailWithErrno();
    }
    if (port->errorsSeen) {
        errors = NewLineErrors(*port->errorsSeen, *now);
    }
    port->errorsSeen = now;
    return true;
}

bool GetCommModemStatus(CommHandle port, std::uint32_t& status) {
    status = 0;
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    int lines = 0;
    if (RetryOnInterrupt([&] { return CurrentOs().Ioctl(port->fd, TIOCMGET, &lines); }) != 0) {
        return FailWithErrno();
    }
    constexpr struct {
        int line;
        std::uint32_t status;
    } kLines[] = {
        {TIOCM_CTS, MS_CTS_ON},
        {TIOCM_DSR, MS_DSR_ON},
        {TIOCM_RNG, MS_RING_ON},
        {TIOCM_CD, MS_RLSD_ON},
    };
    for (const auto& l : kLines) {
        if ((lines & l.line) != 0) {
            status |= l.status;
        }
    }
    return true;
}

bool ReadFile(CommHandle port, void* buffer, std::uint32_t size, std::uint32_t& count,
              std::uint32_t waitMs) {
    count = 0;
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (buffer == nullptr && size > 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    bool returnAtOnce = false;
    {
        std::lock_guard lock(port->mutex);
        returnAtOnce = port->timeouts.ReadIntervalTimeout == MAXDWORD;
    }
    Os& os = CurrentOs();
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    const Deadline deadline(waitMs);
    std::unique_lock readLock(port->readMutex);
    while (count < size) {
        count += TakeReadAhead(*port, bytes + count, size - count);
        if (count == size) {
            break;
        }
        // A short read goes through the read-ahead, a long one straight to the caller. The
        // read-ahead is empty here, so bytes keep their order.
        const std::uint32_t wanted = size - count;
        const bool ahead = wanted < kReadAheadBytes;
        const ssize_t n = ahead ? FillReadAhead(*port) : ReadDevice(*port, bytes + count, wanted);
        if (n > 0) {
            count += ahead ? 0 : static_cast<std::uint32_t>(n);
            continue;
        }
        if (n == 0) {
            // End of file on a terminal: the device hung up. What came before it still counts.
            return count > 0 ? true : Fail(ERROR_DEVICE_NOT_CONNECTED);
        }
        if (errno != EAGAIN) {
            return FailWithErrno();
        }
        if (returnAtOnce) {
            return true;
        }
        // Not held while waiting: a purge from another thread must not wait for this read.
        readLock.unlock();
        pollfd wait{port->fd, POLLIN, 0};
        const int ready =
            RetryOnInterrupt([&] { return os.Poll(&wait, 1, deadline.RemainingMs()); });
        if (ready < 0) {
            return FailWithErrno();
        }
        if (ready == 0) {
            return Fail(WAIT_TIMEOUT);
        }
        readLock.lock();
    }
    return true;
}

bool WriteFile(CommHandle port, const void* bytes, std::uint32_t size, std::uint32_t& count,
               std::uint32_t waitMs) {
    count = 0;
    if (port == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (bytes == nullptr && size > 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Os& os = CurrentOs();
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    const Deadline deadline(waitMs);
    while (count < size) {
        const ssize_t n =
            RetryOnInterrupt([&] { return os.Write(port->fd, data + count, size - count); });
        if (n > 0) {
            count += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return FailWithErrno();
        }
        const int rest = deadline.RemainingMs();
        const bool callerLimits = rest >= 0 && rest < static_cast<int>(kWriteStallMs);
        pollfd wait{port->fd, POLLOUT, 0};
        const int ready = RetryOnInterrupt([&] {
            return os.Poll(&wait, 1, callerLimits ? rest : static_cast<int>(kWriteStallMs));
        });
        if (ready < 0) {
            return FailWithErrno();
        }
        if (ready == 0) {
            return Fail(callerLimits ? WAIT_TIMEOUT : ERROR_TIMEOUT);
        }
    }
    return true;
}

}  // namespace pathlux::platform
