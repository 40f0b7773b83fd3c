#include "serial/serial_port.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "platform/errors.h"
#include "tests/support/faulty_os.h"
#include "tests/support/pty.h"

namespace pathlux {
namespace {

using platform::INFINITE;
using test::FaultyOs;

constexpr std::uint32_t kReadChunk = 100;

// A port opened on the slave side of a fresh pseudo-terminal; the test is the receiver.
struct PtyPort {
    test::Pty pty;
    CSerialPort port;
    ErrorCode opened = port.Open(pty.name(), 2048, 2048);
};

// Reaches the device under the port, to set what the port's own operations never set.
class RawPort : public CSerialPort {
  public:
    platform::CommHandle handle() const { return portHandle_; }
};

std::string ReadLog(const char* name) {
    std::ifstream file(std::string(PATHLUX_LOG_DIR) + "/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// Everything waiting at the port, read as the window reads it: 100-byte chunks, non-blocking.
std::string Drain(CSerialPort& port) {
    std::string out;
    char chunk[kReadChunk];
    std::uint32_t count = 0;
    do {
        if (port.Read(chunk, kReadChunk, &count, nullptr, INFINITE) != 0) {
            break;
        }
        out.append(chunk, count);
    } while (count > 0);
    return out;
}

TEST(serial_port_test, open_applies_the_default_settings) {
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    EXPECT_TRUE(p.port.isOpen());
    struct Row {
        const char* legend;
        std::int64_t got;
        std::int64_t expected;
    };
    const Row rows[] = {
        {"baud rate", p.port.GetBaudRate(), 9600},
        {"data bits", p.port.GetDataBits(), 8},
        {"parity", p.port.GetParity(), 0},
        {"stop bits", p.port.GetStopBits(), 0},
        {"flow control", p.port.GetFlowControl(), CSerialPort::kFlowNone},
        {"event mask", p.port.GetEventMask(), 0xC1},
        {"event character", p.port.GetEventCharacter(), 0},
        {"last error", p.port.lastError(), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(row.got, row.expected);
    }
}

TEST(serial_port_test, open_failures_say_what_was_tried_and_why) {
    test::Pty held;
    CSerialPort holder;
    ASSERT_EQ(holder.Open(held.name(), 0, 0), 0);
    struct Row {
        const char* legend;
        std::u16string name;
        ErrorCode expected;
        std::string path;
        std::string reason;
    };
    const Row rows[] = {
        {"missing device", u"/dev/pathlux-no-such-port", 2, "/dev/pathlux-no-such-port",
         "No such file or directory"},
        {"held by another open", held.name(), 5, held.path(), "Device or resource busy"},
        {"not a terminal", u"/dev/null", 1, "/dev/null", "Inappropriate ioctl for device"},
        {"unpaired surrogate: no system reason", u"\xD800", 123, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        CSerialPort port;
        EXPECT_EQ(port.Open(row.name, 0, 0), row.expected);
        EXPECT_EQ(port.lastError(), row.expected);
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(port.lastOpenPath(), row.path);
        EXPECT_EQ(port.lastSystemError(), row.reason);
    }
}

TEST(serial_port_test, second_open_keeps_the_first) {
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    test::Pty other;
    EXPECT_EQ(p.port.Open(other.name(), 0, 0), 1247);
    EXPECT_EQ(p.port.lastError(), 1247);
    ASSERT_EQ(p.port.Write("$", 1, nullptr, nullptr, INFINITE), 0);
    EXPECT_EQ(p.pty.Receive(1), "$") << "still the first device";
}

TEST(serial_port_test, com_names_resolve_through_the_environment) {
    test::Pty pty;
    setenv("PATHLUX_COM8", pty.path().c_str(), 1);
    CSerialPort port;
    EXPECT_EQ(port.Open(u"COM8:", 2048, 2048), 0);
    EXPECT_EQ(port.lastOpenPath(), pty.path());
    EXPECT_EQ(CSerialPort::DevicePath(u"COM8:"), pty.path());
    unsetenv("PATHLUX_COM8");
    EXPECT_EQ(CSerialPort::DevicePath(u"COM8:"), "/dev/ttyS7");
}

TEST(serial_port_test, invalid_modes_change_nothing) {
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    ASSERT_EQ(p.port.SetFlowControl(CSerialPort::kFlowSoftware), 0);
    struct Row {
        const char* legend;
        std::function<ErrorCode()> call;
    };
    const Row rows[] = {
        {"flow control 3", [&] { return p.port.SetFlowControl(3); }},
        {"flow control -1", [&] { return p.port.SetFlowControl(-1); }},
        {"read mode 2", [&] { return p.port.SetReadMode(2); }},
        {"read mode -1", [&] { return p.port.SetReadMode(-1); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(row.call(), E_INVALIDARG);
        EXPECT_EQ(p.port.lastError(), E_INVALIDARG);
        EXPECT_EQ(p.port.GetFlowControl(), CSerialPort::kFlowSoftware);
        std::uint32_t count = 99;
        char byte = 0;
        // Still non-blocking: a blocking read of an empty line would never return.
        EXPECT_EQ(p.port.Read(&byte, 1, &count, nullptr, INFINITE), 0);
        EXPECT_EQ(count, 0u);
    }
}

TEST(serial_port_test, flow_control_modes_read_back) {
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    struct Row {
        const char* legend;
        std::int32_t mode;
    };
    const Row rows[] = {
        {"hardware", CSerialPort::kFlowHardware},
        {"software", CSerialPort::kFlowSoftware},
        {"none", CSerialPort::kFlowNone},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(p.port.SetFlowControl(row.mode), 0);
        EXPECT_EQ(p.port.GetFlowControl(), row.mode);
    }
}

TEST(serial_port_test, line_settings_read_back) {
    FaultyOs os;
    platform::ScopedOs scoped(os);
    os.HoldAllSettings();  // as a UART would; a pty has no parity or data-bit size
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    struct Row {
        const char* legend;
        std::uint32_t baud, bits, parity, stop;
        ErrorCode expected;
    };
    const Row rows[] = {
        {"4800 7E1", 4800, 7, 2, 0, 0},
        {"19200 8O2", 19200, 8, 1, 2, 0},
        {"mark parity", 9600, 8, 3, 0, 0},
        {"space parity", 9600, 8, 4, 0, 0},
        {"9600 8N1", 9600, 8, 0, 0, 0},
        {"baud rate the driver refuses", 12345, 8, 0, 0, 87},
        {"data bits beyond a byte", 9600, 264, 0, 0, 87},
        {"parity beyond a byte", 9600, 8, 256, 0, 87},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        const std::int32_t baudBefore = p.port.GetBaudRate();
        EXPECT_EQ(p.port.Configure(row.baud, row.bits, row.parity, row.stop), row.expected);
        const bool taken = row.expected == 0;
        EXPECT_EQ(p.port.GetBaudRate(), taken ? static_cast<std::int32_t>(row.baud) : baudBefore);
        if (taken) {
            EXPECT_EQ(p.port.GetDataBits(), static_cast<std::int32_t>(row.bits));
            EXPECT_EQ(p.port.GetParity(), static_cast<std::int32_t>(row.parity));
            EXPECT_EQ(p.port.GetStopBits(), static_cast<std::int32_t>(row.stop));
        }
    }
}

TEST(serial_port_test, parity_reads_0_while_checking_is_off) {
    FaultyOs os;
    platform::ScopedOs scoped(os);
    os.HoldAllSettings();
    test::Pty pty;
    RawPort port;
    ASSERT_EQ(port.Open(pty.name(), 0, 0), 0);
    platform::Dcb dcb;
    ASSERT_TRUE(platform::GetCommState(port.handle(), dcb));
    dcb.Parity = platform::EVENPARITY;
    dcb.flags &= ~platform::DCB_PARITY;
    ASSERT_TRUE(platform::SetCommState(port.handle(), dcb)) << platform::GetLastError();
    EXPECT_EQ(port.GetParity(), 0);
}

TEST(serial_port_test, event_character_joins_the_mask_on_request) {
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    EXPECT_EQ(p.port.SetEventCharacter('\r', false), 0);
    EXPECT_EQ(p.port.GetEventCharacter(), '\r');
    EXPECT_EQ(p.port.GetEventMask(), 0xC1u);
    EXPECT_EQ(p.port.SetEventCharacter('\n', true), 0);
    EXPECT_EQ(p.port.GetEventCharacter(), '\n');
    EXPECT_EQ(p.port.GetEventMask(), 0xC3u);
    p.pty.Send("$GPGGA\r\n");
    EXPECT_EQ(p.port.WaitForEvent(nullptr, 5000), 0);
    EXPECT_EQ(p.port.TakeLastEvent(), platform::EV_RXCHAR | platform::EV_RXFLAG);
}

TEST(serial_port_test, receiver_log_arrives_byte_exact_both_ways) {
    const std::string log = ReadLog("garmin25lp.log");
    ASSERT_GT(log.size(), 1000u);
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    p.pty.Send(log);
    std::string received;
    while (received.size() < log.size()) {
        std::uint32_t events = 0;
        ASSERT_EQ(p.port.WaitForEvent(nullptr, 5000), 0);
        events = p.port.TakeLastEvent();
        EXPECT_EQ(events, platform::EV_RXCHAR);
        received += Drain(p.port);
    }
    EXPECT_EQ(received, log);

    std::uint32_t written = 0;
    EXPECT_EQ(p.port.Write(log.data(), static_cast<std::uint32_t>(log.size()), &written, nullptr,
                           INFINITE),
              0);
    EXPECT_EQ(written, log.size());
    EXPECT_EQ(p.pty.Receive(log.size()), log);
    EXPECT_EQ(p.port.WriteText("$PNMRX111,COLD*2C\r\n", nullptr, nullptr, INFINITE), 0);
    EXPECT_EQ(p.pty.Receive(19), "$PNMRX111,COLD*2C\r\n");
}

TEST(serial_port_test, empty_read_and_purge) {
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    char chunk[kReadChunk];
    std::uint32_t count = 99;
    EXPECT_EQ(p.port.Read(chunk, kReadChunk, &count, nullptr, INFINITE), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(p.port.Read(chunk, kReadChunk, nullptr, nullptr, INFINITE), 0) << "no count output";

    p.pty.Send("$GPGSV,3,1,12*7A\r");
    ASSERT_EQ(p.port.WaitForEvent(nullptr, 5000), 0);
    EXPECT_EQ(p.port.PurgeBuffers(), 0);
    EXPECT_EQ(Drain(p.port), "");
}

TEST(serial_port_test, event_wait_completion) {
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    EXPECT_EQ(p.port.TakeLastEvent(), CSerialPort::kNoEvent);
    EXPECT_EQ(p.port.WaitForEvent(nullptr, 20), 1460) << "a time-out is 1460, never 258";
    EXPECT_EQ(p.port.lastError(), 1460);
    EXPECT_EQ(p.port.TakeLastEvent(), CSerialPort::kNoEvent);

    // With the caller's record the caller's event tells the completion.
    Overlapped record;
    record.hEvent = platform::CreateEvent();
    p.pty.Send("x");
    EXPECT_EQ(p.port.WaitForEvent(&record, 0), 0);
    EXPECT_EQ(platform::WaitForSingleObject(record.hEvent, 0), platform::WAIT_OBJECT_0);
    EXPECT_EQ(p.port.TakeLastEvent(), platform::EV_RXCHAR);
    EXPECT_EQ(p.port.TakeLastEvent(), CSerialPort::kNoEvent);
    platform::CloseHandle(record.hEvent);
}

TEST(serial_port_test, closed_port_gives_invalid_handle) {
    CSerialPort port;
    char byte = 0;
    std::uint32_t count = 99;
    struct Row {
        const char* legend;
        std::function<std::int64_t()> call;
        std::int64_t expected;
        ErrorCode error;
    };
    const Row rows[] = {
        {"close", [&] { return port.Close(); }, 0, 0},
        {"configure", [&] { return port.Configure(9600, 8, 0, 0); }, 6, 6},
        {"event character", [&] { return port.SetEventCharacter('x', true); }, 6, 6},
        {"event mask", [&] { return port.SetEventMask(1); }, 6, 6},
        {"wait", [&] { return port.WaitForEvent(nullptr, 0); }, 6, 6},
        {"flow control", [&] { return port.SetFlowControl(0); }, 6, 6},
        {"read mode", [&] { return port.SetReadMode(0); }, 6, 6},
        {"baud rate", [&] { return port.GetBaudRate(); }, -1, 6},
        {"data bits", [&] { return port.GetDataBits(); }, -1, 6},
        {"parity", [&] { return port.GetParity(); }, -1, 6},
        {"stop bits", [&] { return port.GetStopBits(); }, -1, 6},
        {"get flow control", [&] { return port.GetFlowControl(); }, -1, 6},
        {"get event mask", [&] { return port.GetEventMask(); }, 0, 6},
        {"get event character", [&] { return port.GetEventCharacter(); }, 0, 6},
        {"write", [&] { return port.Write(&byte, 1, &count, nullptr, 0) + count; }, 6, 6},
        {"write text", [&] { return port.WriteText("x", &count, nullptr, 0) + count; }, 6, 6},
        {"read", [&] { return port.Read(&byte, 1, &count, nullptr, 0) + count; }, 6, 6},
        {"purge", [&] { return port.PurgeBuffers(); }, 6, 6},
        {"line errors", [&] { return port.TakeLineErrors(); }, 0, 6},
        {"clear to send", [&] { return port.IsCtsOn(); }, false, 6},
        {"data set ready", [&] { return port.IsDsrOn(); }, false, 6},
        {"ring", [&] { return port.IsRingOn(); }, false, 6},
        {"carrier", [&] { return port.IsCarrierOn(); }, false, 6},
        {"null text", [&] { return port.WriteText(nullptr, &count, nullptr, 0); }, E_INVALIDARG,
         E_INVALIDARG},
        {"last event", [&] { return port.TakeLastEvent(); }, CSerialPort::kNoEvent, E_INVALIDARG},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(row.call(), row.expected);
        EXPECT_EQ(port.lastError(), row.error);
    }
}

TEST(serial_port_test, probe_tells_free_held_and_missing_ports) {
    test::Pty free;
    test::Pty held;
    CSerialPort holder;
    ASSERT_EQ(holder.Open(held.name(), 0, 0), 0);
    const int fdsBefore = test::CountOpenFds();
    struct Row {
        const char* legend;
        std::u16string name;
        int expected;
    };
    const Row rows[] = {
        {"free port", free.name(), CSerialPort::kProbeAvailable},
        {"free port, again: the probe kept nothing", free.name(), CSerialPort::kProbeAvailable},
        {"held port", held.name(), CSerialPort::kProbeInUse},
        {"missing port", u"/dev/pathlux-no-such-port", CSerialPort::kProbeNoSuchPort},
        {"not a port", u"/dev/null", CSerialPort::kProbeOtherFailure},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(CSerialPort::ProbePort(row.name), row.expected);
        EXPECT_EQ(test::CountOpenFds(), fdsBefore);
    }
    EXPECT_EQ(holder.lastError(), 0) << "the probe does not touch a port object";
}

TEST(serial_port_test, system_call_failures_reach_the_caller) {
    struct Row {
        const char* legend;
        FaultyOs::Call call;
        int errnum;
        std::function<ErrorCode(CSerialPort&)> operation;
        ErrorCode expected;
    };
    char chunk[kReadChunk];
    const auto read = [&](CSerialPort& port) {
        return port.Read(chunk, kReadChunk, nullptr, nullptr, INFINITE);
    };
    const auto write = [](CSerialPort& port) {
        return port.Write("$", 1, nullptr, nullptr, INFINITE);
    };
    const Row rows[] = {
        {"read interrupted", FaultyOs::Call::kRead, EINTR, read, 0},
        {"read: i/o error", FaultyOs::Call::kRead, EIO, read, 31},
        {"read: device gone", FaultyOs::Call::kRead, ENXIO, read, 1167},
        {"write interrupted", FaultyOs::Call::kWrite, EINTR, write, 0},
        {"write: i/o error", FaultyOs::Call::kWrite, EIO, write, 31},
        {"purge: i/o error", FaultyOs::Call::kTcFlush, EIO,
         [](CSerialPort& port) { return port.PurgeBuffers(); }, 31},
        {"settings: busy", FaultyOs::Call::kTcSetAttr, EBUSY,
         [](CSerialPort& port) { return port.Configure(9600, 8, 0, 0); }, 5},
        {"settings: access", FaultyOs::Call::kTcGetAttr, EACCES,
         [](CSerialPort& port) { return port.SetFlowControl(0); }, 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        PtyPort p;
        ASSERT_EQ(p.opened, 0);
        FaultyOs os;
        platform::ScopedOs scoped(os);
        os.Fail(row.call, row.errnum);
        EXPECT_EQ(row.operation(p.port), row.expected);
        EXPECT_EQ(p.port.lastError(), row.expected);
    }
}

TEST(serial_port_test, failed_default_setting_is_reported_and_leaves_the_port_open) {
    FaultyOs os;
    platform::ScopedOs scoped(os);
    os.Fail(FaultyOs::Call::kTcSetAttr, EIO, 1);  // the open's raw mode passes, Configure fails
    PtyPort p;
    EXPECT_EQ(p.opened, 31) << "not hidden by the steps after it";
    EXPECT_TRUE(p.port.isOpen());
}

TEST(serial_port_test, line_errors_are_taken_once_and_need_counters) {
    PtyPort plain;
    ASSERT_EQ(plain.opened, 0);
    EXPECT_EQ(plain.port.TakeLineErrors(), 0u);
    EXPECT_EQ(plain.port.lastError(), 1) << "a pty keeps no error counts";
    EXPECT_FALSE(plain.port.IsCtsOn());
    EXPECT_EQ(plain.port.lastError(), 1) << "nor modem lines";

    FaultyOs os;
    platform::ScopedOs scoped(os);
    serial_icounter_struct counters{};
    os.SetCounters(counters);
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    counters.overrun = 2;
    counters.brk = 1;
    os.SetCounters(counters);
    EXPECT_EQ(p.port.TakeLineErrors(), platform::CE_OVERRUN | platform::CE_BREAK);
    EXPECT_EQ(p.port.TakeLineErrors(), 0u) << "each reported once";
    EXPECT_EQ(p.port.lastError(), 0);
}

TEST(serial_port_test, close_releases_the_device) {
    test::Pty pty;
    const int fdsBefore = test::CountOpenFds();
    {
        CSerialPort port;
        ASSERT_EQ(port.Open(pty.name(), 0, 0), 0);
        EXPECT_EQ(port.Close(), 0);
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(port.Close(), 0) << "closing a closed port";
        EXPECT_EQ(test::CountOpenFds(), fdsBefore);
        ASSERT_EQ(port.Open(pty.name(), 0, 0), 0) << "reopens";
    }
    EXPECT_EQ(test::CountOpenFds(), fdsBefore) << "destruction closes";
}

}  // namespace
}  // namespace pathlux
