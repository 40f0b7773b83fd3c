#include "platform/comm.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <tuple>

#include "platform/comm_settings.h"
#include "platform/errors.h"
#include "platform/sync.h"
#include "tests/support/faulty_os.h"
#include "tests/support/pty.h"

namespace pathlux::platform {
namespace {

using test::FaultyOs;
using Call = FaultyOs::Call;

constexpr CommTimeouts kReturnAtOnce{MAXDWORD, 0, 0, 0, 0};

// A device opened on the slave side of a fresh pseudo-terminal, with the mask of the port.
struct OpenPty {
    test::Pty pty;
    CommHandle port = OpenComm(pty.name());
    OpenPty() { SetCommMask(port, EV_RXCHAR | EV_BREAK | EV_ERR); }
    ~OpenPty() {
        if (port != nullptr) {
            CloseHandle(port);
        }
    }
};

TEST(comm_test, resolves_port_names_to_device_paths) {
    setenv("PATHLUX_COM7", "/dev/pts/99", 1);
    setenv("PATHLUX_COM9", "", 1);
    const struct {
        const char* legend;
        std::u16string name;
        std::string expected;
    } rows[] = {
        {"first port", u"COM1:", "/dev/ttyS0"},
        {"mapped through the environment", u"COM7:", "/dev/pts/99"},
        {"empty mapping is no mapping", u"COM9:", "/dev/ttyS8"},
        {"last number", u"COM255:", "/dev/ttyS254"},
        {"number 0 is a path", u"COM0:", "COM0:"},
        {"number too large is a path", u"COM256:", "COM256:"},
        {"leading zero is a path", u"COM01:", "COM01:"},
        {"no colon is a path", u"COM3", "COM3"},
        {"lower case is a path", u"com3:", "com3:"},
        {"non-ASCII path in UTF-8", u"/dev/gps\u00e9", "/dev/gps\xc3\xa9"},
        {"unpaired surrogate", std::u16string(u"/dev/") + char16_t(0xD800), ""},
        {"zero character", std::u16string(u"/dev/a\0b", 8), ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(CommDevicePath(row.name), row.expected);
    }
    unsetenv("PATHLUX_COM7");
    unsetenv("PATHLUX_COM9");
}

// Each row fails the first system call of one kind, in the open or in the session after it:
// interruptions are retried, other failures give their platform error, and nothing is left open
// or exclusive.
TEST(comm_test, system_call_failures_are_mapped_and_interruptions_retried) {
    const struct {
        const char* legend;
        Call call;
        int errnum;
        std::uint32_t expected;
    } rows[] = {
        {"open interrupted", Call::kOpen, EINTR, ERROR_SUCCESS},
        {"lock interrupted", Call::kFlock, EINTR, ERROR_SUCCESS},
        {"settings interrupted", Call::kTcSetAttr, EINTR, ERROR_SUCCESS},
        {"event wait interrupted", Call::kEpollWait, EINTR, ERROR_SUCCESS},
        {"read interrupted", Call::kRead, EINTR, ERROR_SUCCESS},
        {"write interrupted", Call::kWrite, EINTR, ERROR_SUCCESS},
        {"open: no device", Call::kOpen, ENOENT, ERROR_FILE_NOT_FOUND},
        {"open: busy", Call::kOpen, EBUSY, ERROR_ACCESS_DENIED},
        {"open: permission", Call::kOpen, EACCES, ERROR_ACCESS_DENIED},
        {"lock held", Call::kFlock, EWOULDBLOCK, ERROR_ACCESS_DENIED},
        {"settings after the exclusive mode", Call::kTcSetAttr, EIO, ERROR_GEN_FAILURE},
        {"read: device gone", Call::kRead, ENXIO, ERROR_DEVICE_NOT_CONNECTED},
        {"write: i/o error", Call::kWrite, EIO, ERROR_GEN_FAILURE},
        {"purge: i/o error", Call::kTcFlush, EIO, ERROR_GEN_FAILURE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        test::Pty pty;
        const int fdsBefore = test::CountOpenFds();
        FaultyOs os;
        ScopedOs scoped(os);
        os.Fail(row.call, row.errnum);
        const CommHandle port = OpenComm(pty.name());
        pty.Send("$");
        std::uint32_t value = 0;
        char byte = 0;
        const bool succeeded =
            port != nullptr && SetCommMask(port, EV_RXCHAR) && WaitCommEvent(port, value, 5000) &&
            ReadFile(port, &byte, 1, value, 5000) && WriteFile(port, "$", 1, value, 5000) &&
            PurgeComm(port, PURGE_RXCLEAR);
        EXPECT_EQ(succeeded ? ERROR_SUCCESS : GetLastError(), row.expected);
        if (port != nullptr) {
            CloseHandle(port);
        }
        EXPECT_EQ(test::CountOpenFds(), fdsBefore) << "nothing left open";
        EXPECT_FALSE(pty.Exclusive()) << "nor locked against a later open";
    }
}

// One termios for all rows, as on a device: each row must clear what the one before it set, and
// a block termios cannot hold changes nothing.
TEST(comm_test, line_settings_map_to_termios_and_back) {
    const std::uint32_t kDefault = DefaultDcb().flags;
    const struct {
        const char* legend;
        std::uint32_t baud;
        std::uint8_t byteSize, parity, stopBits;
        std::uint32_t flags;
        std::uint32_t error;
        speed_t speed;
        tcflag_t control;  // data bits, parity, stop bits and RTS/CTS of c_cflag
        tcflag_t input;    // parity check and XON/XOFF of c_iflag
    } rows[] = {
        {"4800 7E2 checked", 4800, 7, EVENPARITY, TWOSTOPBITS, kDefault | DCB_PARITY, ERROR_SUCCESS,
         B4800, CS7 | PARENB | CSTOPB, INPCK},
        {"unknown baud rate", 12345, 8, NOPARITY, ONESTOPBIT, kDefault, ERROR_INVALID_PARAMETER, 0,
         0, 0},
        {"four data bits", 9600, 4, NOPARITY, ONESTOPBIT, kDefault, ERROR_INVALID_PARAMETER, 0, 0,
         0},
        {"nine data bits", 9600, 9, NOPARITY, ONESTOPBIT, kDefault, ERROR_INVALID_PARAMETER, 0, 0,
         0},
        {"parity code 5", 9600, 8, 5, ONESTOPBIT, kDefault, ERROR_INVALID_PARAMETER, 0, 0, 0},
        {"one and a half stop bits", 9600, 8, NOPARITY, ONE5STOPBITS, kDefault,
         ERROR_INVALID_PARAMETER, 0, 0, 0},
        {"9600 8N1", 9600, 8, NOPARITY, ONESTOPBIT, kDefault, ERROR_SUCCESS, B9600, CS8, 0},
        {"115200 8O1", 115200, 8, ODDPARITY, ONESTOPBIT, kDefault | DCB_PARITY, ERROR_SUCCESS,
         B115200, CS8 | PARENB | PARODD, INPCK},
        {"mark parity", 9600, 8, MARKPARITY, ONESTOPBIT, kDefault | DCB_PARITY, ERROR_SUCCESS,
         B9600, CS8 | PARENB | PARODD | CMSPAR, INPCK},
        {"space parity, not checked", 9600, 5, SPACEPARITY, ONESTOPBIT, kDefault, ERROR_SUCCESS,
         B9600, CS5 | PARENB | CMSPAR, 0},
        {"hardware flow", 9600, 8, NOPARITY, ONESTOPBIT, 0x202D, ERROR_SUCCESS, B9600,
         CS8 | CRTSCTS, 0},
        {"software flow", 9600, 8, NOPARITY, ONESTOPBIT, 0x0301, ERROR_SUCCESS, B9600, CS8,
         IXON | IXOFF},
    };
    constexpr tcflag_t kControl = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    constexpr tcflag_t kInput = INPCK | IXON | IXOFF;
    termios t{};
    MakeRaw(t);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        const termios before = t;
        Dcb in = DefaultDcb();
        in.BaudRate = row.baud;
        in.ByteSize = row.byteSize;
        in.Parity = row.parity;
        in.StopBits = row.stopBits;
        in.flags = row.flags;
        in.EvtChar = '\n';
        ASSERT_EQ(ApplyDcb(in, t), row.error);
        const bool taken = row.error == ERROR_SUCCESS;
        EXPECT_EQ(cfgetispeed(&t), taken ? row.speed : cfgetispeed(&before));
        EXPECT_EQ(cfgetospeed(&t), taken ? row.speed : cfgetospeed(&before));
        EXPECT_EQ(t.c_cflag & kControl, taken ? row.control : before.c_cflag & kControl);
        EXPECT_EQ(t.c_iflag & kInput, taken ? row.input : before.c_iflag & kInput);
        if (taken) {
            // Back: what termios holds comes from it, the rest from what the port keeps.
            Dcb kept = in;
            kept.BaudRate = 1;
            kept.ByteSize = kept.Parity = kept.StopBits = 0xEE;
            kept.flags &= ~(DCB_PARITY | DCB_OUTX | DCB_INX);
            const Dcb back = DcbFromTermios(t, kept);
            EXPECT_EQ(
                std::tuple(back.BaudRate, back.ByteSize, back.Parity, back.StopBits, back.flags,
                           back.EvtChar),
                std::tuple(row.baud, row.byteSize, row.parity, row.stopBits, row.flags, '\n'));
        }
    }
}

// A device that keeps only part of a request (a pseudo-terminal has no data-bit size or parity)
// refuses the whole and is put back as it was; what it keeps reads back.
TEST(comm_test, refused_settings_change_nothing_on_the_device) {
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    Dcb before;
    ASSERT_TRUE(GetCommState(open.port, before));
    Dcb dcb = before;
    dcb.BaudRate = 4800;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.flags |= DCB_PARITY;
    dcb.EvtChar = '\n';
    EXPECT_FALSE(SetCommState(open.port, dcb));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    Dcb after;
    ASSERT_TRUE(GetCommState(open.port, after));
    EXPECT_EQ(after.BaudRate, before.BaudRate);
    EXPECT_EQ(after.ByteSize, before.ByteSize);
    EXPECT_EQ(after.flags, before.flags);
    EXPECT_EQ(after.EvtChar, before.EvtChar);
}

TEST(comm_test, reads_tell_empty_from_hang_up_and_keep_their_bound) {
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    ASSERT_TRUE(SetCommTimeouts(open.port, kReturnAtOnce));
    char buffer[16];
    std::uint32_t count = 99;
    EXPECT_TRUE(ReadFile(open.port, buffer, sizeof buffer, count, INFINITE)) << "empty";
    EXPECT_EQ(count, 0u);

    // Reads that wait for their whole size give up at their bound with what arrived.
    ASSERT_TRUE(SetCommTimeouts(open.port, CommTimeouts{}));
    open.pty.Send("abc");
    EXPECT_FALSE(ReadFile(open.port, buffer, 4, count, 20));
    EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);
    EXPECT_EQ(std::string(buffer, count), "abc");

    // A hang-up fails every later read and wait: the device reports it only once.
    open.pty.CloseMaster();
    EXPECT_FALSE(ReadFile(open.port, buffer, sizeof buffer, count, INFINITE));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(count, 0u);
    std::uint32_t events = 0;
    for (int i = 0; i < 3; ++i) {
        // Bounded, so that a forgotten hang-up fails here instead of waiting for ever.
        EXPECT_FALSE(WaitCommEvent(open.port, events, 5000));
        EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    }
}

// Short reads are served from what one system call read ahead: in order, nothing lost, and what
// is read ahead still counts as unread for the port-event wait and the purge.
TEST(comm_test, short_reads_share_a_read_ahead) {
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    // Reads that wait for their whole size: the pseudo-terminal hands the bytes on a moment
    // after they are sent.
    ASSERT_TRUE(SetCommTimeouts(open.port, CommTimeouts{}));
    std::string sent;
    for (int i = 0; i < 3000; ++i) {
        sent += static_cast<char>('0' + i % 43);
    }
    open.pty.Send(sent);
    FaultyOs os;
    ScopedOs scoped(os);
    std::string got;
    char chunk[100];
    std::uint32_t count = 0;
    while (got.size() < sent.size()) {
        ASSERT_TRUE(ReadFile(open.port, chunk, sizeof chunk, count, 5000));
        got.append(chunk, count);
    }
    EXPECT_EQ(got, sent);
    EXPECT_LE(os.Calls(Call::kRead), 10) << "not one a chunk";

    open.pty.Send("abcdef");
    ASSERT_TRUE(ReadFile(open.port, chunk, 2, count, 5000));
    std::uint32_t events = 0;
    EXPECT_TRUE(WaitCommEvent(open.port, events, 0)) << "the first wait sees bytes read ahead";
    EXPECT_EQ(events, EV_RXCHAR);
    ASSERT_TRUE(PurgeComm(open.port, PURGE_RXCLEAR));
    ASSERT_TRUE(SetCommTimeouts(open.port, kReturnAtOnce));
    ASSERT_TRUE(ReadFile(open.port, chunk, sizeof chunk, count, INFINITE));
    EXPECT_EQ(count, 0u) << "the purge takes what was read ahead";
}

TEST(comm_test, a_purge_does_not_wait_for_a_waiting_read) {
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    ASSERT_TRUE(SetCommTimeouts(open.port, CommTimeouts{}));
    char byte = 0;
    std::uint32_t count = 0;
    bool read = false;
    std::thread reader([&] { read = ReadFile(open.port, &byte, 1, count, 10000); });
    // Only orders the calls: a purge that came first would prove nothing, but fail nothing.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(PurgeComm(open.port, PURGE_RXCLEAR));
    open.pty.Send("x");
    reader.join();
    EXPECT_TRUE(read) << "the read was still waiting when the byte came";
    EXPECT_EQ(byte, 'x');
}

TEST(comm_test, write_stalls_end) {
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    std::uint32_t count = 0;
    // Nobody reads the other side: the line fills up and the write gives up, after the stall
    // limit or the caller's bound when that is shorter, and counts what it wrote.
    FaultyOs os;
    ScopedOs scoped(os);
    const std::string lots(1 << 20, 'x');
    os.Fail(Call::kPoll, ETIMEDOUT);
    EXPECT_FALSE(WriteFile(open.port, lots.data(), lots.size(), count, INFINITE));
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_GT(count, 0u);
    EXPECT_LT(count, lots.size());
    os.Fail(Call::kPoll, ETIMEDOUT);
    EXPECT_FALSE(WriteFile(open.port, lots.data(), lots.size(), count, 50));
    EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);
}

TEST(comm_test, port_event_wait_reports_each_arrival_once) {
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    std::uint32_t events = 0;
    EXPECT_FALSE(WaitCommEvent(open.port, events, 0)) << "quiet line";
    EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);

    open.pty.Send("$GP");
    EXPECT_TRUE(WaitCommEvent(open.port, events, INFINITE));
    EXPECT_EQ(events, EV_RXCHAR);
    EXPECT_FALSE(WaitCommEvent(open.port, events, 0)) << "unread bytes do not report again";

    open.pty.Send("RMC");
    EXPECT_TRUE(WaitCommEvent(open.port, events, INFINITE)) << "new bytes do, though unread";
    EXPECT_EQ(events, EV_RXCHAR);
    ASSERT_TRUE(PurgeComm(open.port, PURGE_RXCLEAR | PURGE_TXCLEAR));
    EXPECT_FALSE(WaitCommEvent(open.port, events, 0)) << "purged bytes are no arrival";

    // A cancel ends the wait in progress, or the next one when none is.
    ASSERT_TRUE(CancelCommWait(open.port));
    EXPECT_TRUE(WaitCommEvent(open.port, events, INFINITE));
    EXPECT_EQ(events, 0u);
    std::thread canceller([&] { CancelCommWait(open.port); });
    EXPECT_TRUE(WaitCommEvent(open.port, events, INFINITE));
    EXPECT_EQ(events, 0u);
    canceller.join();

    ASSERT_TRUE(SetCommMask(open.port, 0));
    EXPECT_FALSE(WaitCommEvent(open.port, events, INFINITE)) << "an empty mask never waits";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// The event character among new bytes is an event: seen by the wait, which reads the bytes ahead,
// or by a read that took them from the device before the wait did.
TEST(comm_test, event_character_arrival_is_an_event) {
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    Dcb dcb;
    ASSERT_TRUE(GetCommState(open.port, dcb));
    dcb.EvtChar = '\n';
    ASSERT_TRUE(SetCommState(open.port, dcb));
    ASSERT_TRUE(SetCommMask(open.port, EV_RXFLAG));
    std::uint32_t events = 0;
    open.pty.Send("$GPGGA,1\r\n");
    EXPECT_TRUE(WaitCommEvent(open.port, events, 5000)) << "alone in the mask";
    EXPECT_EQ(events, EV_RXFLAG);

    ASSERT_TRUE(SetCommMask(open.port, EV_RXCHAR | EV_RXFLAG));
    open.pty.Send("$GP");
    EXPECT_TRUE(WaitCommEvent(open.port, events, INFINITE));
    EXPECT_EQ(events, EV_RXCHAR) << "not among these bytes";
    open.pty.Send("RMC\r\n");
    EXPECT_TRUE(WaitCommEvent(open.port, events, INFINITE));
    EXPECT_EQ(events, EV_RXCHAR | EV_RXFLAG);

    ASSERT_TRUE(SetCommTimeouts(open.port, CommTimeouts{}));
    char buffer[32];
    std::uint32_t count = 0;
    ASSERT_TRUE(ReadFile(open.port, buffer, 18, count, 5000));
    EXPECT_EQ(std::string(buffer, count), "$GPGGA,1\r\n$GPRMC\r\n") << "bytes read ahead kept";
    open.pty.Send("x\n");
    ASSERT_TRUE(ReadFile(open.port, buffer, 2, count, 5000));
    EXPECT_TRUE(WaitCommEvent(open.port, events, 0)) << "the read took it first";
    EXPECT_EQ(events, EV_RXFLAG);
}

TEST(comm_test, line_errors_are_reported_once_each_and_modem_lines_read) {
    FaultyOs os;
    ScopedOs scoped(os);
    serial_icounter_struct counters{};
    os.SetCounters(counters);
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    const struct {
        const char* legend;
        int serial_icounter_struct::*counter;
        std::uint32_t error;
        std::uint32_t event;
    } rows[] = {
        {"buffer overrun", &serial_icounter_struct::buf_overrun, CE_RXOVER, EV_ERR},
        {"overrun", &serial_icounter_struct::overrun, CE_OVERRUN, EV_ERR},
        {"parity", &serial_icounter_struct::parity, CE_RXPARITY, EV_ERR},
        {"frame", &serial_icounter_struct::frame, CE_FRAME, EV_ERR},
        {"break", &serial_icounter_struct::brk, CE_BREAK, EV_BREAK},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        ++(counters.*row.counter);
        os.SetCounters(counters);
        open.pty.Send("x");
        std::uint32_t events = 0;
        ASSERT_TRUE(WaitCommEvent(open.port, events, INFINITE));
        EXPECT_EQ(events, EV_RXCHAR | row.event);
        std::uint32_t errors = 0;
        ASSERT_TRUE(ClearCommError(open.port, errors));
        EXPECT_EQ(errors, row.error);
        ASSERT_TRUE(ClearCommError(open.port, errors));
        EXPECT_EQ(errors, 0u) << "reported once";
    }
    os.SetModemLines(TIOCM_CTS | TIOCM_CD | TIOCM_DTR | TIOCM_RTS);
    std::uint32_t status = 0;
    ASSERT_TRUE(GetCommModemStatus(open.port, status));
    EXPECT_EQ(status, MS_CTS_ON | MS_RLSD_ON) << "our own lines have no status bit";
    os.SetModemLines(TIOCM_DSR | TIOCM_RNG);
    ASSERT_TRUE(GetCommModemStatus(open.port, status));
    EXPECT_EQ(status, MS_DSR_ON | MS_RING_ON);
}

}  // namespace
}  // namespace pathlux::platform
