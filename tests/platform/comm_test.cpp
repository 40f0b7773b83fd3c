#include "platform/comm.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <numeric>
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

using Call = test::FaultyOs::Call;

constexpr CommTimeouts kReturnAtOnce{MAXDWORD, 0, 0, 0, 0};
// Reads wait for their whole size: the pseudo-terminal hands bytes on a moment after they are sent.
constexpr CommTimeouts kWaitForAll{};

// A device opened on the slave side of a fresh pseudo-terminal, with the mask of the port, and
// system calls that a test can make fail. The driver's error counters are made up from the open
// on: a pseudo-terminal has none.
class comm_test : public testing::Test {
  protected:
    void SetUp() override {
        os.SetCounters(counters);
        port = OpenComm(pty.name());
        ASSERT_NE(port, nullptr);
        SetCommMask(port, EV_RXCHAR | EV_BREAK | EV_ERR);
    }
    ~comm_test() override { CloseHandle(port); }

    test::FaultyOs os;
    ScopedOs scoped{os};
    test::Pty pty;
    CommHandle port = nullptr;
    serial_icounter_struct counters{};
};

TEST_F(comm_test, resolves_port_names_to_device_paths) {
    setenv("PATHLUX_COM7", "/dev/pts/99", 1);
    setenv("PATHLUX_COM9", "", 1);
    const struct {
        const char* legend;
        std::u16string name;
        std::string expected;
    } rows[] = {
        {"mapped through the environment", u"COM7:", "/dev/pts/99"},
        {"empty mapping is no mapping", u"COM9:", "/dev/ttyS8"},
        {"last number", u"COM255:", "/dev/ttyS254"},
        {"number too large is a path", u"COM256:", "COM256:"},
        {"leading zero is a path", u"COM01:", "COM01:"},
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
TEST_F(comm_test, system_call_failures_are_mapped_and_interruptions_retried) {
    const struct {
        const char* legend;
        Call call;
        int errnum;
        std::uint32_t expected;
    } rows[] = {
        {"open interrupted", Call::kOpen, EINTR, ERROR_SUCCESS},
        {"event wait interrupted", Call::kEpollWait, EINTR, ERROR_SUCCESS},
        {"read interrupted", Call::kRead, EINTR, ERROR_SUCCESS},
        {"open: busy", Call::kOpen, EBUSY, ERROR_ACCESS_DENIED},
        {"lock held", Call::kFlock, EWOULDBLOCK, ERROR_ACCESS_DENIED},
        {"settings after the exclusive mode", Call::kTcSetAttr, EIO, ERROR_GEN_FAILURE},
        {"read: device gone", Call::kRead, ENXIO, ERROR_DEVICE_NOT_CONNECTED},
        {"purge: i/o error", Call::kTcFlush, EIO, ERROR_GEN_FAILURE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        test::Pty device;
        const int fdsBefore = test::CountOpenFds();
        os.Fail(row.call, row.errnum);
        const CommHandle opened = OpenComm(device.name());
        device.Send("$");
        std::uint32_t value = 0;
        char byte = 0;
        const bool succeeded =
            opened != nullptr && SetCommMask(opened, EV_RXCHAR) &&
            WaitCommEvent(opened, value, 5000) && ReadFile(opened, &byte, 1, value, 5000) &&
            WriteFile(opened, "$", 1, value, 5000) && PurgeComm(opened, PURGE_RXCLEAR);
        EXPECT_EQ(succeeded ? ERROR_SUCCESS : GetLastError(), row.expected);
        CloseHandle(opened);
        EXPECT_EQ(test::CountOpenFds(), fdsBefore) << "nothing left open";
        EXPECT_FALSE(device.Exclusive()) << "nor locked against a later open";
    }
}

// Line settings go to the device and read back from it whole. A block termios cannot hold, or
// one the device takes only part of (a pseudo-terminal has no data-bit size or parity), is refused
// and changes nothing; one row after another, each must also clear what the one before it set.
TEST_F(comm_test, line_settings_read_back_and_refused_ones_change_nothing) {
    const std::uint32_t kDefault = DefaultDcb().flags;
    const struct {
        const char* legend;
        std::uint32_t baud;
        std::uint8_t byteSize, parity, stopBits;
        std::uint32_t flags;
        bool taken;
    } rows[] = {
        {"pty: 7 data bits", 4800, 7, NOPARITY, ONESTOPBIT, kDefault, false},
        {"unknown baud rate", 12345, 8, NOPARITY, ONESTOPBIT, kDefault, false},
        {"four data bits", 9600, 4, NOPARITY, ONESTOPBIT, kDefault, false},
        {"parity code 5", 9600, 8, 5, ONESTOPBIT, kDefault, false},
        {"one and a half stop bits", 9600, 8, NOPARITY, ONE5STOPBITS, kDefault, false},
        {"4800 7E2 checked", 4800, 7, EVENPARITY, TWOSTOPBITS, kDefault | DCB_PARITY, true},
        {"115200 8O1", 115200, 8, ODDPARITY, ONESTOPBIT, kDefault | DCB_PARITY, true},
        {"space parity, not checked", 9600, 5, SPACEPARITY, ONESTOPBIT, kDefault, true},
        {"hardware flow", 9600, 8, NOPARITY, ONESTOPBIT, 0x202D, true},
        {"software flow", 9600, 8, NOPARITY, ONESTOPBIT, 0x0301, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        Dcb before;
        ASSERT_TRUE(GetCommState(port, before));
        Dcb dcb = before;
        std::tie(dcb.BaudRate, dcb.ByteSize, dcb.Parity, dcb.StopBits, dcb.flags, dcb.EvtChar) =
            std::tuple(row.baud, row.byteSize, row.parity, row.stopBits, row.flags, '\n');
        EXPECT_EQ(SetCommState(port, dcb), row.taken);
        Dcb after;
        ASSERT_TRUE(GetCommState(port, after));
        EXPECT_EQ(std::memcmp(&after, row.taken ? &dcb : &before, sizeof after), 0);
        os.HoldAllSettings();  // the first row on the pseudo-terminal, the rest on a UART
    }
}

TEST_F(comm_test, reads_tell_empty_from_hang_up_and_keep_their_bound) {
    ASSERT_TRUE(SetCommTimeouts(port, kReturnAtOnce));
    char buffer[16];
    std::uint32_t count = 99;
    EXPECT_TRUE(ReadFile(port, buffer, sizeof buffer, count, INFINITE)) << "empty";
    EXPECT_EQ(count, 0u);

    // Reads that wait for their whole size give up at their bound with what arrived.
    ASSERT_TRUE(SetCommTimeouts(port, kWaitForAll));
    pty.Send("abc");
    EXPECT_FALSE(ReadFile(port, buffer, 4, count, 20));
    EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);
    EXPECT_EQ(std::string(buffer, count), "abc");

    // A hang-up fails every later read and wait: the device reports it only once.
    pty.CloseMaster();
    EXPECT_FALSE(ReadFile(port, buffer, sizeof buffer, count, INFINITE));
    EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    std::uint32_t events = 0;
    for (int i = 0; i < 2; ++i) {
        // Bounded, so that a forgotten hang-up fails here instead of waiting for ever.
        EXPECT_FALSE(WaitCommEvent(port, events, 5000));
        EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    }
}

// Short reads are served from what one system call read ahead: in order, nothing lost, and what
// is read ahead still counts as unread for the port-event wait and the purge.
TEST_F(comm_test, short_reads_share_a_read_ahead) {
    ASSERT_TRUE(SetCommTimeouts(port, kWaitForAll));
    std::string sent(3000, '\0');
    std::iota(sent.begin(), sent.end(), '\0');  // every byte value, in turn
    pty.Send(sent);
    const int readsBefore = os.Calls(Call::kRead);
    std::string got;
    char chunk[100];
    std::uint32_t count = 0;
    while (got.size() < sent.size()) {
        ASSERT_TRUE(ReadFile(port, chunk, sizeof chunk, count, 5000));
        got.append(chunk, count);
    }
    EXPECT_EQ(got, sent);
    EXPECT_LE(os.Calls(Call::kRead) - readsBefore, 10) << "not one a chunk";

    pty.Send("abcdef");
    ASSERT_TRUE(ReadFile(port, chunk, 2, count, 5000));
    std::uint32_t events = 0;
    EXPECT_TRUE(WaitCommEvent(port, events, 0)) << "the first wait sees bytes read ahead";
    EXPECT_EQ(events, EV_RXCHAR);
    ASSERT_TRUE(PurgeComm(port, PURGE_RXCLEAR));
    ASSERT_TRUE(SetCommTimeouts(port, kReturnAtOnce));
    ASSERT_TRUE(ReadFile(port, chunk, sizeof chunk, count, INFINITE));
    EXPECT_EQ(count, 0u) << "the purge takes what was read ahead";
}

// Nobody reads the other side: the line fills up and the write gives up, after the stall limit or
// the caller's bound when that is shorter, and counts what it wrote.
TEST_F(comm_test, write_stalls_end) {
    const std::string lots(1 << 20, 'x');
    std::uint32_t count = 0;
    os.Fail(Call::kPoll, ETIMEDOUT);
    EXPECT_FALSE(WriteFile(port, lots.data(), lots.size(), count, INFINITE));
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_GT(count, 0u);
    os.Fail(Call::kPoll, ETIMEDOUT);
    EXPECT_FALSE(WriteFile(port, lots.data(), lots.size(), count, 50));
    EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);
}

TEST_F(comm_test, port_event_wait_reports_each_arrival_once) {
    std::uint32_t events = 0;
    EXPECT_FALSE(WaitCommEvent(port, events, 0)) << "quiet line";
    EXPECT_EQ(GetLastError(), WAIT_TIMEOUT);

    pty.Send("$GP");
    EXPECT_TRUE(WaitCommEvent(port, events, INFINITE));
    EXPECT_EQ(events, EV_RXCHAR);
    EXPECT_FALSE(WaitCommEvent(port, events, 0)) << "unread bytes do not report again";

    pty.Send("RMC");
    EXPECT_TRUE(WaitCommEvent(port, events, INFINITE)) << "new bytes do, though unread";
    EXPECT_EQ(events, EV_RXCHAR);
    ASSERT_TRUE(PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR));
    EXPECT_FALSE(WaitCommEvent(port, events, 0)) << "purged bytes are no arrival";

    // A cancel ends the wait in progress, or the next one when none is.
    ASSERT_TRUE(CancelCommWait(port));
    EXPECT_TRUE(WaitCommEvent(port, events, INFINITE));
    EXPECT_EQ(events, 0u);
    std::thread canceller([&] { CancelCommWait(port); });
    EXPECT_TRUE(WaitCommEvent(port, events, INFINITE));
    EXPECT_EQ(events, 0u);
    canceller.join();

    // A break the driver counted comes with the next arrival, as an event and a line error.
    ++counters.brk;
    os.SetCounters(counters);
    pty.Send("x");
    ASSERT_TRUE(WaitCommEvent(port, events, INFINITE));
    EXPECT_EQ(events, EV_RXCHAR | EV_BREAK);
    std::uint32_t errors = 0;
    ASSERT_TRUE(ClearCommError(port, errors));
    EXPECT_EQ(errors, CE_BREAK);

    ASSERT_TRUE(SetCommMask(port, 0));
    EXPECT_FALSE(WaitCommEvent(port, events, INFINITE)) << "an empty mask never waits";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// The event character among new bytes is an event: seen by the wait, which reads the bytes ahead,
// or by a read that took them from the device before the wait did.
TEST_F(comm_test, event_character_arrival_is_an_event) {
    Dcb dcb;
    ASSERT_TRUE(GetCommState(port, dcb));
    dcb.EvtChar = '\n';
    ASSERT_TRUE(SetCommState(port, dcb));
    ASSERT_TRUE(SetCommMask(port, EV_RXCHAR | EV_RXFLAG));
    std::uint32_t events = 0;
    pty.Send("$GP");
    EXPECT_TRUE(WaitCommEvent(port, events, INFINITE));
    EXPECT_EQ(events, EV_RXCHAR) << "not among these bytes";
    pty.Send("RMC\r\n");
    EXPECT_TRUE(WaitCommEvent(port, events, INFINITE));
    EXPECT_EQ(events, EV_RXCHAR | EV_RXFLAG);

    ASSERT_TRUE(SetCommTimeouts(port, kWaitForAll));
    char buffer[16];
    std::uint32_t count = 0;
    ASSERT_TRUE(ReadFile(port, buffer, 8, count, 5000));
    EXPECT_EQ(std::string(buffer, count), "$GPRMC\r\n") << "bytes read ahead kept";
    pty.Send("x\n");
    ASSERT_TRUE(ReadFile(port, buffer, 2, count, 5000));
    EXPECT_TRUE(WaitCommEvent(port, events, 0)) << "the read took it first";
    EXPECT_EQ(events, EV_RXFLAG);
}

}  // namespace
}  // namespace pathlux::platform
