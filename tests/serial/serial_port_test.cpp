#include "serial/serial_port.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>

#include "platform/errors.h"
#include "tests/support/faulty_os.h"
#include "tests/support/pty.h"

namespace pathlux {
namespace {

using namespace platform;
using test::FaultyOs;

// Reaches the device under the port, to set what the port's own operations never set.
class RawPort : public CSerialPort {
  public:
    CommHandle handle() const { return portHandle_; }
};

// One port through its life, on a device that keeps all settings as a UART does (a pty has no
// parity): each step's result and the code it leaves in lastError.
TEST(serial_port_test, each_operation_returns_and_keeps_its_code) {
    FaultyOs os;
    ScopedOs scoped(os);
    os.HoldAllSettings();
    test::Pty pty;
    RawPort port;
    char byte = 0;
    std::uint32_t count = 99;
    const struct {
        const char* legend;
        std::function<std::int64_t()> step;
        std::int64_t expected;
        ErrorCode error;
    } steps[] = {
        {"closed: close", [&] { return port.Close(); }, 0, 0},
        {"closed: wait", [&] { return port.WaitForEvent(nullptr, 0); }, 6, 6},
        {"closed: baud rate", [&] { return port.GetBaudRate(); }, -1, 6},
        {"closed: read, count cleared",
         [&] { return port.Read(&byte, 1, &count, nullptr, 0) + count; }, 6, 6},
        {"null text", [&] { return port.WriteText(nullptr, &count, nullptr, 0); }, E_INVALIDARG,
         E_INVALIDARG},
        {"no last event, error left", [&] { return port.TakeLastEvent(); }, CSerialPort::kNoEvent,
         E_INVALIDARG},
        {"open", [&] { return port.Open(pty.name(), 2048, 2048); }, 0, 0},
        {"9600 baud", [&] { return port.GetBaudRate(); }, 9600, 0},
        {"8 data bits", [&] { return port.GetDataBits(); }, 8, 0},
        {"no parity", [&] { return port.GetParity(); }, NOPARITY, 0},
        {"one stop bit", [&] { return port.GetStopBits(); }, ONESTOPBIT, 0},
        {"no flow control", [&] { return port.GetFlowControl(); }, CSerialPort::kFlowNone, 0},
        {"default event mask", [&] { return port.GetEventMask(); }, 0xC1, 0},
        {"reads do not wait", [&] { return port.Read(&byte, 1, nullptr, nullptr, 100); }, 0, 0},
        {"a wait ends as 1460, never 258", [&] { return port.WaitForEvent(nullptr, 20); }, 1460,
         1460},
        {"hardware flow", [&] { return port.SetFlowControl(CSerialPort::kFlowHardware); }, 0, 0},
        {"reads back", [&] { return port.GetFlowControl(); }, CSerialPort::kFlowHardware, 0},
        {"software flow", [&] { return port.SetFlowControl(CSerialPort::kFlowSoftware); }, 0, 0},
        {"flow control 3", [&] { return port.SetFlowControl(3); }, E_INVALIDARG, E_INVALIDARG},
        {"read mode 2", [&] { return port.SetReadMode(2); }, E_INVALIDARG, E_INVALIDARG},
        {"data bits beyond a byte", [&] { return port.Configure(9600, 264, 0, 0); }, 87, 87},
        {"parity beyond a byte", [&] { return port.Configure(9600, 8, 256, 0); }, 87, 87},
        {"invalid modes changed no flow", [&] { return port.GetFlowControl(); },
         CSerialPort::kFlowSoftware, 0},
        {"nor the read mode", [&] { return port.Read(&byte, 1, nullptr, nullptr, 100); }, 0, 0},
        {"even parity", [&] { return port.Configure(4800, 7, EVENPARITY, TWOSTOPBITS); }, 0, 0},
        {"reads back", [&] { return port.GetParity(); }, EVENPARITY, 0},
        {"parity checking off",
         [&] {
             Dcb dcb;
             GetCommState(port.handle(), dcb);
             dcb.flags &= ~DCB_PARITY;
             return SetCommState(port.handle(), dcb);
         },
         true, 0},
        {"parity reads 0 while checking is off", [&] { return port.GetParity(); }, NOPARITY, 0},
        {"event character", [&] { return port.SetEventCharacter('\r', false); }, 0, 0},
        {"reads back", [&] { return port.GetEventCharacter(); }, '\r', 0},
        {"without joining the mask", [&] { return port.GetEventMask(); }, 0xC1, 0},
        {"joining it", [&] { return port.SetEventCharacter('\n', true); }, 0, 0},
        {"with it", [&] { return port.GetEventMask(); }, 0xC3, 0},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.legend);
        EXPECT_EQ(s.step(), s.expected);
        EXPECT_EQ(port.lastError(), s.error);
    }
}

TEST(serial_port_test, failed_default_setting_is_reported_and_leaves_the_port_open) {
    FaultyOs os;
    ScopedOs scoped(os);
    os.Fail(FaultyOs::Call::kTcSetAttr, EIO, 1);  // the open's raw mode passes, Configure fails
    test::Pty pty;
    CSerialPort port;
    EXPECT_EQ(port.Open(pty.name(), 0, 0), 31) << "not hidden by the steps after it";
    EXPECT_TRUE(port.isOpen());
}

// What an open tried and why it failed, and what a probe of the same port says, keeping nothing
// open.
TEST(serial_port_test, open_failures_and_probes_say_what_was_tried_and_why) {
    test::Pty held;
    CSerialPort holder;
    ASSERT_EQ(holder.Open(held.name(), 0, 0), 0);
    test::Pty other;
    const int fdsBefore = test::CountOpenFds();
    const struct {
        const char* legend;
        CSerialPort* port;  // a fresh one when null
        std::u16string name;
        ErrorCode expected;
        std::string path;
        std::string reason;
        int probe;
    } rows[] = {
        {"missing device", nullptr, u"/dev/pathlux-no-such-port", 2, "/dev/pathlux-no-such-port",
         "No such file or directory", CSerialPort::kProbeNoSuchPort},
        {"held by another open", nullptr, held.name(), 5, held.path(), "Device or resource busy",
         CSerialPort::kProbeInUse},
        {"not a terminal", nullptr, u"/dev/null", 1, "/dev/null", "Inappropriate ioctl for device",
         CSerialPort::kProbeOtherFailure},
        {"unpaired surrogate: no system reason", nullptr, u"\xD800", 123, "", "",
         CSerialPort::kProbeOtherFailure},
        {"already open: the first device kept", &holder, other.name(), 1247, held.path(), "",
         CSerialPort::kProbeAvailable},
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
        EXPECT_EQ(CSerialPort::ProbePort(row.name), row.probe);
        EXPECT_EQ(test::CountOpenFds(), fdsBefore) << "nothing kept open";
    }
    ASSERT_EQ(holder.Write("$", 1, nullptr, nullptr, INFINITE), 0);
    EXPECT_EQ(held.Receive(1), "$");
    EXPECT_EQ(holder.Close(), 0);
    EXPECT_EQ(CSerialPort::ProbePort(held.name()), CSerialPort::kProbeAvailable) << "closed";
}

}  // namespace
}  // namespace pathlux
