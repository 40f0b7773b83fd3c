#include "platform/comm.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "platform/comm_settings.h"
#include "platform/errors.h"
#include "platform/sync.h"
#include "tests/support/faulty_os.h"
#include "tests/support/pty.h"

namespace pathlux::platform {
namespace {

using test::FaultyOs;

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
    struct Row {
        const char* legend;
        std::u16string name;
        std::string expected;
    };
    const Row rows[] = {
        {"first port", u"COM1:", "/dev/ttyS0"},
        {"sixteenth port", u"COM16:", "/dev/ttyS15"},
        {"mapped through the environment", u"COM7:", "/dev/pts/99"},
        {"empty mapping is no mapping", u"COM9:", "/dev/ttyS8"},
        {"last number", u"COM255:", "/dev/ttyS254"},
        {"number 0 is a path", u"COM0:", "COM0:"},
        {"number too large is a path", u"COM256:", "COM256:"},
        {"leading zero is a path", u"COM01:", "COM01:"},
        {"no colon is a path", u"COM3", "COM3"},
        {"lower case is a path", u"com3:", "com3:"},
        {"plain path", u"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"non-ASCII path in UTF-8", u"/dev/gps\u00e9", "/dev/gps\xc3\xa9"},
        {"unpaired surrogate", std::u16string(u"/dev/") + char16_t(0xD800), ""},
        {"zero character", std::u16string(u"/dev/a\0b", 8), ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(CommDevicePath(row.name), row.expected);
    }
    unsetenv("PATHLUX_COM7");
    unsetenv("PATHLUX_COM9");
}

TEST(comm_test, open_failures_give_platform_errors) {
    test::Pty held;
    const CommHandle holder = OpenComm(held.name());
    ASSERT_NE(holder, nullptr);
    struct Row {
        const char* legend;
        std::u16string name;
        std::uint32_t expected;
    };
    const Row rows[] = {
        {"missing device", u"/dev/pathlux-no-such-port", ERROR_FILE_NOT_FOUND},
        {"held by another open", held.name(), ERROR_ACCESS_DENIED},
        {"not a terminal", u"/dev/null", ERROR_INVALID_FUNCTION},
        {"bad name", std::u16string(1, char16_t(0xDC00)), ERROR_INVALID_NAME},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(OpenComm(row.name), nullptr);
        EXPECT_EQ(GetLastError(), row.expected);
    }
    CloseHandle(holder);
    const CommHandle again = OpenComm(held.name());
    EXPECT_NE(again, nullptr) << "closing releases the port";
    CloseHandle(again);
}

TEST(comm_test, system_call_failures_are_mapped_and_interruptions_retried) {
    struct Row {
        const char* legend;
        FaultyOs::Call call;
        int errnum;
        std::uint32_t expected;  // ERROR_SUCCESS: the open and a port-event wait go through
    };
    const Row rows[] = {
        {"open interrupted", FaultyOs::Call::kOpen, EINTR, ERROR_SUCCESS},
        {"lock interrupted", FaultyOs::Call::kFlock, EINTR, ERROR_SUCCESS},
        {"settings interrupted", FaultyOs::Call::kTcSetAttr, EINTR, ERROR_SUCCESS},
        {"event wait interrupted", FaultyOs::Call::kEpollWait, EINTR, ERROR_SUCCESS},
        {"open: no device", FaultyOs::Call::kOpen, ENOENT, ERROR_FILE_NOT_FOUND},
        {"open: busy", FaultyOs::Call::kOpen, EBUSY, ERROR_ACCESS_DENIED},
        {"open: permission", FaultyOs::Call::kOpen, EACCES, ERROR_ACCESS_DENIED},
        {"open: i/o error", FaultyOs::Call::kOpen, EIO, ERROR_GEN_FAILURE},
        {"lock held", FaultyOs::Call::kFlock, EWOULDBLOCK, ERROR_ACCESS_DENIED},
        {"settings: i/o error", FaultyOs::Call::kTcSetAttr, EIO, ERROR_GEN_FAILURE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        test::Pty pty;
        const int fdsBefore = test::CountOpenFds();
        FaultyOs os;
        ScopedOs scoped(os);
        os.Fail(row.call, row.errnum);
        const CommHandle port = OpenComm(pty.name());
        if (row.expected == ERROR_SUCCESS) {
            ASSERT_NE(port, nullptr);
            ASSERT_TRUE(SetCommMask(port, EV_RXCHAR));
            pty.Send("$");
            std::uint32_t events = 0;
            EXPECT_TRUE(WaitCommEvent(port, events, 5000));
            EXPECT_EQ(events, EV_RXCHAR);
            EXPECT_EQ(os.Calls(row.call), 2) << "the interrupted call was made again";
            CloseHandle(port);
        } else {
            EXPECT_EQ(port, nullptr);
            EXPECT_EQ(GetLastError(), row.expected);
        }
        EXPECT_EQ(test::CountOpenFds(), fdsBefore) << "nothing left open";
        EXPECT_FALSE(pty.Exclusive()) << "nor locked against a later open";
    }
}

// One termios for all rows, as on a device: each row must clear what the one before it set.
TEST(comm_test, line_settings_map_to_termios_and_back) {
    struct Row {
        const char* legend;
        std::uint32_t baud;
        std::uint8_t byteSize;
        std::uint8_t parity;
        std::uint8_t stopBits;
        std::uint32_t flags;
        speed_t speed;
        tcflag_t control;  // data bits, parity, stop bits and RTS/CTS of c_cflag
        tcflag_t input;    // parity check and XON/XOFF of c_iflag
    };
    constexpr std::uint32_t kDefault =
        DCB_BINARY | (1u << DCB_DTR_CONTROL_SHIFT) | (1u << DCB_RTS_CONTROL_SHIFT);
    const Row rows[] = {
        {"9600 8N1", 9600, 8, NOPARITY, ONESTOPBIT, kDefault, B9600, CS8, 0},
        {"4800 7E2 checked", 4800, 7, EVENPARITY, TWOSTOPBITS, kDefault | DCB_PARITY, B4800,
         CS7 | PARENB | CSTOPB, INPCK},
        {"115200 8O1", 115200, 8, ODDPARITY, ONESTOPBIT, kDefault | DCB_PARITY, B115200,
         CS8 | PARENB | PARODD, INPCK},
        {"mark parity", 9600, 8, MARKPARITY, ONESTOPBIT, kDefault | DCB_PARITY, B9600,
         CS8 | PARENB | PARODD | CMSPAR, INPCK},
        {"space parity, not checked", 9600, 5, SPACEPARITY, ONESTOPBIT, kDefault, B9600,
         CS5 | PARENB | CMSPAR, 0},
        {"hardware flow", 9600, 8, NOPARITY, ONESTOPBIT, 0x202D, B9600, CS8 | CRTSCTS, 0},
        {"software flow", 9600, 8, NOPARITY, ONESTOPBIT, 0x0301, B9600, CS8, IXON | IXOFF},
    };
    constexpr tcflag_t kControl = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    constexpr tcflag_t kInput = INPCK | IXON | IXOFF;
    termios t{};
    MakeRaw(t);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        Dcb in = DefaultDcb();
        in.BaudRate = row.baud;
        in.ByteSize = row.byteSize;
        in.Parity = row.parity;
        in.StopBits = row.stopBits;
        in.flags = row.flags;
        in.EvtChar = '\n';
        ASSERT_EQ(ApplyDcb(in, t), ERROR_SUCCESS);
        EXPECT_EQ(cfgetispeed(&t), row.speed);
        EXPECT_EQ(cfgetospeed(&t), row.speed);
        EXPECT_EQ(t.c_cflag & kControl, row.control);
        EXPECT_EQ(t.c_iflag & kInput, row.input);

        // Back: what termios holds comes from it, the rest from what the port keeps.
        Dcb kept = in;
        kept.BaudRate = 1;
        kept.ByteSize = kept.Parity = kept.StopBits = 0xEE;
        kept.flags &= ~(DCB_PARITY | DCB_OUTX | DCB_INX);
        const Dcb back = DcbFromTermios(t, kept);
        EXPECT_EQ(back.DCBlength, 28u);
        EXPECT_EQ(back.BaudRate, row.baud);
        EXPECT_EQ(back.ByteSize, row.byteSize);
        EXPECT_EQ(back.Parity, row.parity);
        EXPECT_EQ(back.StopBits, row.stopBits);
        EXPECT_EQ(back.flags, row.flags);
        EXPECT_EQ(back.EvtChar, '\n');
    }
}

TEST(comm_test, settings_termios_cannot_hold_are_refused) {
    struct Row {
        const char* legend;
        std::uint32_t baud;
        std::uint8_t byteSize;
        std::uint8_t parity;
        std::uint8_t stopBits;
    };
    const Row rows[] = {
        {"unknown baud rate", 12345, 8, NOPARITY, ONESTOPBIT},
        {"four data bits", 9600, 4, NOPARITY, ONESTOPBIT},
        {"nine data bits", 9600, 9, NOPARITY, ONESTOPBIT},
        {"parity code 5", 9600, 8, 5, ONESTOPBIT},
        {"one and a half stop bits", 9600, 8, NOPARITY, ONE5STOPBITS},
        {"stop-bit code 3", 9600, 8, NOPARITY, 3},
    };
    termios t{};
    MakeRaw(t);
    Dcb valid = DefaultDcb();
    valid.BaudRate = 9600;
    valid.ByteSize = 8;
    ASSERT_EQ(ApplyDcb(valid, t), ERROR_SUCCESS);
    const termios before = t;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        Dcb dcb = valid;
        dcb.BaudRate = row.baud;
        dcb.ByteSize = row.byteSize;
        dcb.Parity = row.parity;
        dcb.StopBits = row.stopBits;
        EXPECT_EQ(ApplyDcb(dcb, t), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(t.c_cflag, before.c_cflag);
        EXPECT_EQ(t.c_iflag, before.c_iflag);
        EXPECT_EQ(cfgetispeed(&t), cfgetispeed(&before));
        EXPECT_EQ(cfgetospeed(&t), cfgetospeed(&before));
    }
}

// The device holds the line settings, the port the rest of the block (FaultyOs keeps a UART's
// whole settings).
TEST(comm_test, line_settings_read_back_through_the_device) {
    test::FaultyOs os;
    ScopedOs scoped(os);
    os.HoldAllSettings();
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    Dcb dcb;
    ASSERT_TRUE(GetCommState(open.port, dcb));
    dcb.BaudRate = 4800;
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    dcb.flags = 0x202D | DCB_PARITY;
    dcb.EvtChar = '\n';
    ASSERT_TRUE(SetCommState(open.port, dcb));
    Dcb back;
    ASSERT_TRUE(GetCommState(open.port, back));
    EXPECT_EQ(back.DCBlength, 28u);
    EXPECT_EQ(back.BaudRate, 4800u);
    EXPECT_EQ(back.ByteSize, 7);
    EXPECT_EQ(back.Parity, EVENPARITY);
    EXPECT_EQ(back.StopBits, TWOSTOPBITS);
    EXPECT_EQ(back.flags, 0x202Du | DCB_PARITY);
    EXPECT_EQ(back.EvtChar, '\n');
}

// A device that keeps only part of a request refuses the whole and is put back as it was.
TEST(comm_test, refused_settings_change_nothing) {
    struct Row {
        const char* legend;
        std::uint8_t byteSize;
        std::uint8_t parity;
    };
    const Row rows[] = {
        {"seven data bits: a pty has no size", 7, NOPARITY},
        {"even parity: a pty has no parity", 8, EVENPARITY},
    };
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    Dcb before;
    ASSERT_TRUE(GetCommState(open.port, before));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        Dcb dcb = before;
        dcb.BaudRate = 9600;
        dcb.ByteSize = row.byteSize;
        dcb.Parity = row.parity;
        dcb.StopBits = ONESTOPBIT;
        EXPECT_FALSE(SetCommState(open.port, dcb));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        Dcb after;
        ASSERT_TRUE(GetCommState(open.port, after));
        EXPECT_EQ(after.BaudRate, before.BaudRate);
        EXPECT_EQ(after.ByteSize, before.ByteSize);
        EXPECT_EQ(after.Parity, before.Parity);
        EXPECT_EQ(after.StopBits, before.StopBits);
    }
}

TEST(comm_test, reads_tell_empty_from_hang_up) {
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    ASSERT_TRUE(SetCommTimeouts(open.port, CommTimeouts{MAXDWORD, 0, 0, 0, 0}));
    char buffer[16];
    std::uint32_t count = 99;
    EXPECT_TRUE(ReadFile(open.port, buffer, sizeof buffer, count, INFINITE)) << "empty";
    EXPECT_EQ(count, 0u);

    open.pty.CloseMaster();
    EXPECT_FALSE(ReadFile(open.port, buffer, sizeof buffer, count, INFINITE));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(count, 0u);
}

TEST(comm_test, blocking_read_waits_for_all_bytes_within_its_bound) {
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    ASSERT_TRUE(SetCommTimeouts(open.port, CommTimeouts{}));
    open.pty.Send("abc");
    char buffer[4];
    std::uint32_t count = 0;
    EXPECT_FALSE(ReadFile(open.port, buffer, 4, count, 20));
    EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);
    EXPECT_EQ(count, 3u) << "what arrived is kept";
    open.pty.Send("d");
    EXPECT_TRUE(ReadFile(open.port, buffer, 1, count, INFINITE));
    EXPECT_EQ(std::string(buffer, count), "d");
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
    EXPECT_LE(os.Calls(FaultyOs::Call::kRead), 10) << "not one a chunk";

    open.pty.Send("abcdef");
    ASSERT_TRUE(ReadFile(open.port, chunk, 2, count, 5000));
    EXPECT_EQ(std::string(chunk, count), "ab");
    std::uint32_t events = 0;
    EXPECT_TRUE(WaitCommEvent(open.port, events, 0)) << "the first wait sees bytes read ahead";
    EXPECT_EQ(events, EV_RXCHAR);
    ASSERT_TRUE(ReadFile(open.port, chunk, 4, count, 5000));
    EXPECT_EQ(std::string(chunk, count), "cdef");
    open.pty.Send("gh");
    ASSERT_TRUE(ReadFile(open.port, chunk, 1, count, 5000));
    ASSERT_TRUE(PurgeComm(open.port, PURGE_RXCLEAR));
    ASSERT_TRUE(SetCommTimeouts(open.port, CommTimeouts{MAXDWORD, 0, 0, 0, 0}));
    ASSERT_TRUE(ReadFile(open.port, chunk, sizeof chunk, count, INFINITE));
    EXPECT_EQ(count, 0u) << "the purge takes what was read ahead";

    // A read as long as the read-ahead goes straight into the caller's buffer.
    const std::string big(5000, 'z');
    open.pty.Send(big);
    std::string whole(5000, '\0');
    ASSERT_TRUE(SetCommTimeouts(open.port, CommTimeouts{}));
    const int before = os.Calls(FaultyOs::Call::kRead);
    ASSERT_TRUE(ReadFile(open.port, whole.data(), 5000, count, 5000));
    EXPECT_EQ(whole, big);
    EXPECT_LE(os.Calls(FaultyOs::Call::kRead) - before, 10);
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

TEST(comm_test, writes_arrive_byte_exact_and_stalls_end) {
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    std::uint32_t count = 0;
    ASSERT_TRUE(WriteFile(open.port, bytes.data(), 256, count, INFINITE));
    EXPECT_EQ(count, 256u);
    EXPECT_EQ(open.pty.Receive(256), bytes);

    // Nobody reads the other side: the line fills up and the write gives up.
    FaultyOs os;
    ScopedOs scoped(os);
    const std::string lots(1 << 20, 'x');
    os.Fail(FaultyOs::Call::kPoll, ETIMEDOUT);
    EXPECT_FALSE(WriteFile(open.port, lots.data(), static_cast<std::uint32_t>(lots.size()), count,
                           INFINITE));
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_GT(count, 0u);
    EXPECT_LT(count, lots.size());
    os.Fail(FaultyOs::Call::kPoll, ETIMEDOUT);
    EXPECT_FALSE(
        WriteFile(open.port, lots.data(), static_cast<std::uint32_t>(lots.size()), count, 50));
    EXPECT_EQ(GetLastError(), WAIT_TIMEOUT) << "the caller's bound, when shorter";
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

    // Purged bytes are no arrival.
    ASSERT_TRUE(PurgeComm(open.port, PURGE_RXCLEAR | PURGE_TXCLEAR));
    char buffer[8];
    std::uint32_t count = 0;
    ASSERT_TRUE(SetCommTimeouts(open.port, CommTimeouts{MAXDWORD, 0, 0, 0, 0}));
    EXPECT_TRUE(ReadFile(open.port, buffer, sizeof buffer, count, INFINITE));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(WaitCommEvent(open.port, events, 0));

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

TEST(comm_test, port_event_wait_is_cancelled_from_another_thread) {
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    ASSERT_TRUE(CancelCommWait(open.port));
    std::uint32_t events = 99;
    EXPECT_TRUE(WaitCommEvent(open.port, events, INFINITE)) << "a cancel before the wait ends it";
    EXPECT_EQ(events, 0u);

    std::thread canceller([&] { CancelCommWait(open.port); });
    EXPECT_TRUE(WaitCommEvent(open.port, events, INFINITE));
    EXPECT_EQ(events, 0u);
    canceller.join();
}

TEST(comm_test, hang_up_ends_every_later_wait) {
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    open.pty.CloseMaster();
    std::uint32_t events = 0;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(WaitCommEvent(open.port, events, INFINITE));
        EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    }
}

TEST(comm_test, line_errors_are_reported_once_each) {
    FaultyOs os;
    ScopedOs scoped(os);
    serial_icounter_struct counters{};
    os.SetCounters(counters);
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    struct Row {
        const char* legend;
        int serial_icounter_struct::*counter;
        std::uint32_t error;
        std::uint32_t event;
    };
    const Row rows[] = {
        {"buffer overrun", &serial_icounter_struct::buf_overrun, CE_RXOVER, EV_ERR},
        {"overrun", &serial_icounter_struct::overrun, CE_OVERRUN, EV_ERR},
        {"parity", &serial_icounter_struct::parity, CE_RXPARITY, EV_ERR},
        {"frame", &serial_icounter_struct::frame, CE_FRAME, EV_ERR},
        {"break", &serial_icounter_struct::brk, CE_BREAK, EV_BREAK},
    };
    for (const Row& row : rows) {
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
}

TEST(comm_test, pseudo_terminal_has_no_counters_or_modem_lines) {
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    std::uint32_t value = 0;
    EXPECT_FALSE(ClearCommError(open.port, value));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    EXPECT_FALSE(GetCommModemStatus(open.port, value));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    EXPECT_TRUE(EscapeCommFunction(open.port, CLRIR));
    EXPECT_FALSE(EscapeCommFunction(open.port, 5));
    EXPECT_FALSE(PurgeComm(open.port, 0x10));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(comm_test, modem_lines_map_to_status_bits) {
    FaultyOs os;
    ScopedOs scoped(os);
    OpenPty open;
    ASSERT_NE(open.port, nullptr);
    struct Row {
        const char* legend;
        int lines;
        std::uint32_t expected;
    };
    const Row rows[] = {
        {"none", 0, 0},
        {"clear to send", TIOCM_CTS, MS_CTS_ON},
        {"data set ready", TIOCM_DSR, MS_DSR_ON},
        {"ring", TIOCM_RNG, MS_RING_ON},
        {"carrier", TIOCM_CD, MS_RLSD_ON},
        {"all, and lines with no status bit",
         TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CD | TIOCM_DTR | TIOCM_RTS, 0xF0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        os.SetModemLines(row.lines);
        std::uint32_t status = 0;
        ASSERT_TRUE(GetCommModemStatus(open.port, status));
        EXPECT_EQ(status, row.expected);
    }
}

TEST(comm_test, null_handle_is_an_invalid_handle_everywhere) {
    Dcb dcb;
    CommTimeouts timeouts;
    std::uint32_t value = 0;
    char byte = 0;
    const bool results[] = {
        GetCommState(nullptr, dcb),
        SetCommState(nullptr, dcb),
        GetCommTimeouts(nullptr, timeouts),
        SetCommTimeouts(nullptr, timeouts),
        SetCommMask(nullptr, 1),
        GetCommMask(nullptr, value),
        WaitCommEvent(nullptr, value, 0),
        CancelCommWait(nullptr),
        PurgeComm(nullptr, 0),
        EscapeCommFunction(nullptr, CLRIR),
        ClearCommError(nullptr, value),
        GetCommModemStatus(nullptr, value),
        ReadFile(nullptr, &byte, 1, value, 0),
        WriteFile(nullptr, &byte, 1, value, 0),
        CloseHandle(CommHandle{nullptr}),
    };
    for (std::size_t i = 0; i < std::size(results); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(results[i]);
    }
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace pathlux::platform
