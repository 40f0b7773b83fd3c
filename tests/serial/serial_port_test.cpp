#include "serial/serial_port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "platform/errors.h"
#include "tests/support/drain.h"
#include "tests/support/faulty_os.h"
#include "tests/support/pty.h"

namespace pathlux {
namespace {

using platform::INFINITE;
using test::FaultyOs;

// A port opened on the slave side of a fresh pseudo-terminal; the test is the receiver.
struct PtyPort {
    test::Pty pty;
    CSerialPort port;
    ErrorCode opened = port.Open(pty.name(), 2048, 2048);
};

TEST(serial_port_test, open_applies_the_default_settings) {
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    EXPECT_EQ(p.port.GetBaudRate(), 9600);
    EXPECT_EQ(p.port.GetDataBits(), 8);
    EXPECT_EQ(p.port.GetParity(), 0);
    EXPECT_EQ(p.port.GetStopBits(), 0);
    EXPECT_EQ(p.port.GetFlowControl(), CSerialPort::kFlowNone);
    EXPECT_EQ(p.port.GetEventMask(), 0xC1u);
    std::uint32_t count = 99;
    char byte = 0;
    EXPECT_EQ(p.port.Read(&byte, 1, &count, nullptr, INFINITE), 0) << "reads do not block";
    EXPECT_EQ(count, 0u);
}

TEST(serial_port_test, open_failures_say_what_was_tried_and_why) {
    test::Pty held;
    CSerialPort holder;
    ASSERT_EQ(holder.Open(held.name(), 0, 0), 0);
    test::Pty other;
    const struct {
        const char* legend;
        CSerialPort* port;  // a fresh one when null
        std::u16string name;
        ErrorCode expected;
        std::string path;
        std::string reason;
    } rows[] = {
        {"missing device", nullptr, u"/dev/pathlux-no-such-port", 2, "/dev/pathlux-no-such-port",
         "No such file or directory"},
        {"held by another open", nullptr, held.name(), 5, held.path(), "Device or resource busy"},
        {"not a terminal", nullptr, u"/dev/null", 1, "/dev/null", "Inappropriate ioctl for device"},
        {"unpaired surrogate: no system reason", nullptr, u"\xD800", 123, "", ""},
        {"already open: the first device kept", &holder, other.name(), 1247, held.path(), ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        CSerialPort fresh;
        CSerialPort& port = row.port != nullptr ? *row.port : fresh;
        EXPECT_EQ(port.Open(row.name, 0, 0), row.expected);
        EXPECT_EQ(port.lastError(), row.expected);
        EXPECT_EQ(port.isOpen(), row.port != nullptr);
        EXPECT_EQ(port.lastOpenPath(), row.path);
        EXPECT_EQ(port.lastSystemError(), row.reason);
    }
    ASSERT_EQ(holder.Write("$", 1, nullptr, nullptr, INFINITE), 0);
    EXPECT_EQ(held.Receive(1), "$");
}

TEST(serial_port_test, failed_default_setting_is_reported_and_leaves_the_port_open) {
    FaultyOs os;
    platform::ScopedOs scoped(os);
    os.Fail(FaultyOs::Call::kTcSetAttr, EIO, 1);  // the open's raw mode passes, Configure fails
    PtyPort p;
    EXPECT_EQ(p.opened, 31) << "not hidden by the steps after it";
    EXPECT_TRUE(p.port.isOpen());
}

TEST(serial_port_test, modes_read_back_and_invalid_ones_change_nothing) {
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    const struct {
        const char* legend;
        std::function<ErrorCode()> call;
        ErrorCode expected;
        std::int32_t flow;  // what GetFlowControl reads after
    } rows[] = {
        {"hardware flow", [&] { return p.port.SetFlowControl(CSerialPort::kFlowHardware); }, 0,
         CSerialPort::kFlowHardware},
        {"no flow", [&] { return p.port.SetFlowControl(CSerialPort::kFlowNone); }, 0,
         CSerialPort::kFlowNone},
        {"software flow", [&] { return p.port.SetFlowControl(CSerialPort::kFlowSoftware); }, 0,
         CSerialPort::kFlowSoftware},
        {"flow control 3", [&] { return p.port.SetFlowControl(3); }, E_INVALIDARG,
         CSerialPort::kFlowSoftware},
        {"flow control -1", [&] { return p.port.SetFlowControl(-1); }, E_INVALIDARG,
         CSerialPort::kFlowSoftware},
        {"read mode 2", [&] { return p.port.SetReadMode(2); }, E_INVALIDARG,
         CSerialPort::kFlowSoftware},
        {"data bits beyond a byte", [&] { return p.port.Configure(9600, 264, 0, 0); }, 87,
         CSerialPort::kFlowSoftware},
        {"parity beyond a byte", [&] { return p.port.Configure(9600, 8, 256, 0); }, 87,
         CSerialPort::kFlowSoftware},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(row.call(), row.expected);
        EXPECT_EQ(p.port.lastError(), row.expected);
        EXPECT_EQ(p.port.GetFlowControl(), row.flow);
        EXPECT_EQ(p.port.GetDataBits(), 8);
        std::uint32_t count = 99;
        char byte = 0;
        // Still non-blocking: a blocking read of an empty line would never return.
        EXPECT_EQ(p.port.Read(&byte, 1, &count, nullptr, INFINITE), 0);
    }
}

// Reaches the device under the port, to set what the port's own operations never set.
class RawPort : public CSerialPort {
  public:
    platform::CommHandle handle() const { return portHandle_; }
};

TEST(serial_port_test, parity_reads_0_while_checking_is_off) {
    FaultyOs os;
    platform::ScopedOs scoped(os);
    os.HoldAllSettings();  // as a UART would; a pty has no parity
    test::Pty pty;
    RawPort port;
    ASSERT_EQ(port.Open(pty.name(), 0, 0), 0);
    ASSERT_EQ(port.Configure(4800, 7, platform::EVENPARITY, platform::TWOSTOPBITS), 0);
    EXPECT_EQ(port.GetParity(), platform::EVENPARITY);
    platform::Dcb dcb;
    ASSERT_TRUE(platform::GetCommState(port.handle(), dcb));
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
    EXPECT_EQ(p.port.GetEventMask(), 0xC3u);
    p.pty.Send("$GPGGA\r\n");
    EXPECT_EQ(p.port.WaitForEvent(nullptr, 5000), 0);
    EXPECT_EQ(p.port.TakeLastEvent(), platform::EV_RXCHAR | platform::EV_RXFLAG);
}

TEST(serial_port_test, receiver_log_arrives_byte_exact_both_ways) {
    std::ifstream file(std::string(PATHLUX_LOG_DIR) + "/garmin25lp.log", std::ios::binary);
    const std::string log = (std::ostringstream() << file.rdbuf()).str();
    ASSERT_GT(log.size(), 1000u);
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    p.pty.Send(log);
    std::string received;
    while (received.size() < log.size()) {
        ASSERT_EQ(p.port.WaitForEvent(nullptr, 5000), 0);
        EXPECT_EQ(p.port.TakeLastEvent(), platform::EV_RXCHAR);
        received += test::Drain(p.port);
    }
    EXPECT_EQ(received, log);

    std::uint32_t written = 0;
    ASSERT_EQ(p.port.Write(log.data(), log.size(), &written, nullptr, INFINITE), 0);
    EXPECT_EQ(written, log.size());
    EXPECT_EQ(p.pty.Receive(log.size()), log);
    EXPECT_EQ(p.port.WriteText("$PNMRX111,COLD*2C\r\n", nullptr, nullptr, INFINITE), 0);
    EXPECT_EQ(p.pty.Receive(19), "$PNMRX111,COLD*2C\r\n");
}

TEST(serial_port_test, event_wait_completion) {
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
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

// One row per kind of result; every operation checks the handle the same way.
TEST(serial_port_test, closed_port_gives_invalid_handle) {
    CSerialPort port;
    char byte = 0;
    std::uint32_t count = 99;
    const struct {
        const char* legend;
        std::function<std::int64_t()> call;
        std::int64_t expected;
        ErrorCode error;
    } rows[] = {
        {"close", [&] { return port.Close(); }, 0, 0},
        {"configure", [&] { return port.Configure(9600, 8, 0, 0); }, 6, 6},
        {"wait", [&] { return port.WaitForEvent(nullptr, 0); }, 6, 6},
        {"baud rate", [&] { return port.GetBaudRate(); }, -1, 6},
        {"event mask", [&] { return port.GetEventMask(); }, 0, 6},
        {"read, count cleared", [&] { return port.Read(&byte, 1, &count, nullptr, 0) + count; }, 6,
         6},
        {"line errors", [&] { return port.TakeLineErrors(); }, 0, 6},
        {"modem line, through the platform", [&] { return port.IsCtsOn(); }, false, 6},
        {"null text", [&] { return port.WriteText(nullptr, &count, nullptr, 0); }, E_INVALIDARG,
         E_INVALIDARG},
        {"last event leaves the error", [&] { return port.TakeLastEvent(); }, CSerialPort::kNoEvent,
         E_INVALIDARG},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(row.call(), row.expected);
        EXPECT_EQ(port.lastError(), row.error);
    }
}

TEST(serial_port_test, probe_tells_free_held_and_missing_ports_and_close_frees_them) {
    test::Pty free;
    test::Pty held;
    CSerialPort holder;
    ASSERT_EQ(holder.Open(held.name(), 0, 0), 0);
    const int fdsBefore = test::CountOpenFds();
    {
        CSerialPort closed;
        ASSERT_EQ(closed.Open(free.name(), 0, 0), 0);
        EXPECT_EQ(closed.Close(), 0);
        ASSERT_EQ(closed.Open(free.name(), 0, 0), 0) << "reopens";
    }  // destruction closes: the port is free again below
    const struct {
        const char* legend;
        std::u16string name;
        int expected;
    } rows[] = {
        {"free port", free.name(), CSerialPort::kProbeAvailable},
        {"held port", held.name(), CSerialPort::kProbeInUse},
        {"missing port", u"/dev/pathlux-no-such-port", CSerialPort::kProbeNoSuchPort},
        {"not a port", u"/dev/null", CSerialPort::kProbeOtherFailure},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.legend);
        EXPECT_EQ(CSerialPort::ProbePort(row.name), row.expected);
        EXPECT_EQ(test::CountOpenFds(), fdsBefore) << "the probe keeps nothing open";
    }
    EXPECT_EQ(holder.lastError(), 0) << "the probe does not touch a port object";
}

// The platform's own error reaches the caller (the mapping itself is the platform's).
TEST(serial_port_test, platform_failures_reach_the_caller) {
    PtyPort p;
    ASSERT_EQ(p.opened, 0);
    EXPECT_EQ(p.port.TakeLineErrors(), 0u);
    EXPECT_EQ(p.port.lastError(), 1) << "a pseudo-terminal keeps no error counts";
    FaultyOs os;
    platform::ScopedOs scoped(os);
    os.Fail(FaultyOs::Call::kRead, ENXIO);
    char chunk[100];
    EXPECT_EQ(p.port.Read(chunk, sizeof chunk, nullptr, nullptr, INFINITE), 1167);
    os.Fail(FaultyOs::Call::kTcGetAttr, EACCES);
    EXPECT_EQ(p.port.SetFlowControl(0), 5);
    EXPECT_EQ(p.port.lastError(), 5);
}

}  // namespace
}  // namespace pathlux
