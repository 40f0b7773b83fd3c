// CSerialPort: one serial port device; every operation returns a platform error code and keeps it
// in lastError().
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/comm.h"
#include "platform/sync.h"

namespace pathlux {

// 0, a platform error number, or E_INVALIDARG.
using ErrorCode = std::int32_t;

constexpr ErrorCode E_INVALIDARG = static_cast<ErrorCode>(0x80070057u);

// A completion record: all zero except the event that is signalled when the operation completes.
struct Overlapped {
    std::uintptr_t Internal = 0;
    std::uintptr_t InternalHigh = 0;
    std::uint32_t Offset = 0;
    std::uint32_t OffsetHigh = 0;
    platform::Handle hEvent = nullptr;
};

class CSerialPort {
  public:
    static constexpr std::uint32_t kNoEvent = 0xFFFFFFFF;
    // EV_RXCHAR, EV_BREAK, EV_ERR.
    static constexpr std::uint32_t kDefaultEventMask = 0xC1;

    static constexpr std::int32_t kFlowNone = 0;
    static constexpr std::int32_t kFlowHardware = 1;
    static constexpr std::int32_t kFlowSoftware = 2;
    static constexpr std::int32_t kReadNonBlocking = 0;
    static constexpr std::int32_t kReadBlocking = 1;

    // ProbePort results.
    static constexpr int kProbeAvailable = 0;
    static constexpr int kProbeNoSuchPort = 1;
    static constexpr int kProbeInUse = 2;
    static constexpr int kProbeOtherFailure = -1;

    CSerialPort() = default;
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // The two queue sizes are accepted and not applied: the kernel sizes a terminal's queues.
    virtual ErrorCode Open(std::u16string_view portName, std::uint32_t inQueueSize,
                           std::uint32_t outQueueSize);
    virtual ErrorCode Close();
    // Values that do not fit the control block's byte fields are refused like any the driver
    // refuses (ERROR_INVALID_PARAMETER), instead of being cut to their low byte.
    virtual ErrorCode Configure(std::uint32_t baudRate, std::uint32_t dataBits,
                                std::uint32_t parity, std::uint32_t stopBits);
    virtual ErrorCode SetEventCharacter(char character, bool addToMask);
    virtual ErrorCode SetEventMask(std::uint32_t mask);
    // Without a record, waits at most timeoutMs (platform::INFINITE: no limit); ERROR_TIMEOUT when
    // that passes. With one, waits until an event and then signals the record's event.
    virtual ErrorCode WaitForEvent(Overlapped* record, std::uint32_t timeoutMs);
    virtual ErrorCode SetFlowControl(std::int32_t mode);
    virtual ErrorCode SetReadMode(std::int32_t mode);
    virtual std::int32_t GetBaudRate();
    virtual std::int32_t GetDataBits();
    virtual std::int32_t GetParity();
    virtual std::int32_t GetStopBits();
    virtual std::int32_t GetFlowControl();
    virtual std::uint32_t GetEventMask();
    virtual char GetEventCharacter();
    virtual ErrorCode WriteText(const char* text, std::uint32_t* count, Overlapped* record,
                                std::uint32_t timeoutMs);
    virtual ErrorCode Write(const void* bytes, std::uint32_t size, std::uint32_t* count,
                            Overlapped* record, std::uint32_t timeoutMs);
    virtual ErrorCode Read(void* buffer, std::uint32_t size, std::uint32_t* count,
                           Overlapped* record, std::uint32_t timeoutMs);

    // Whether the port can be opened now: kProbeAvailable, kProbeNoSuchPort, kProbeInUse or
    // kProbeOtherFailure. Keeps nothing open.
    static int ProbePort(std::u16string_view portName);
    // The device a port name stands for ("COM3:" is $PATHLUX_COM3 or /dev/ttyS2), for showing to
    // the user; empty when the name cannot be a path.
    static std::string DevicePath(std::u16string_view portName);

    ErrorCode PurgeBuffers();
    // The events of the last completed wait, kNoEvent when none is stored; clears it.
    std::uint32_t TakeLastEvent();
    // The CE_* line error flags, each reported once; 0 when the device keeps no error counts.
    std::uint32_t TakeLineErrors();
    bool IsCtsOn();
    bool IsDsrOn();
    bool IsRingOn();
    bool IsCarrierOn();

    ErrorCode lastError() const { return lastError_.load(std::memory_order_relaxed); }
    bool isOpen() const { return portHandle_ != nullptr; }
    // The device path the last Open tried, and the system's reason when it failed there (empty
    // when it succeeded or failed for a reason of its own, such as a bad name).
    const std::string& lastOpenPath() const { return lastOpenPath_; }
    const std::string& lastSystemError() const { return lastSystemError_; }

  protected:
    // Stores the error and returns it.
    ErrorCode Fail(ErrorCode error);
    ErrorCode FailWithLastError();
    // The start of an operation on the open port: lastError cleared, then ERROR_INVALID_HANDLE
    // (stored) when the port is not open, else 0.
    ErrorCode Begin();
    // 0 for a platform call that succeeded, else its error, stored. A success never returns
    // lastError: the watcher may have stored its own failure there meanwhile.
    ErrorCode Outcome(bool succeeded);
    // What Read and Write share: the count, the open check, the platform call and the
    // completion event of the caller's record or the port's own.
    template <class PlatformCall>
    ErrorCode Transfer(std::uint32_t* count, Overlapped* record, std::uint32_t timeoutMs,
                       PlatformCall call);
    bool ModemLineOn(std::uint32_t line);

    // Both threads of a watched port write lastError_, and the watcher stores lastEvent_ while
    // the window's thread may take it.
    std::atomic<ErrorCode> lastError_{0};
    platform::CommHandle portHandle_ = nullptr;
    std::atomic<std::uint32_t> lastEvent_{kNoEvent};
    platform::Handle ioEvent_ = nullptr;

  private:
    // Begin, then the device control block.
    ErrorCode BeginWithState(platform::Dcb& dcb);

    std::string lastOpenPath_;
    std::string lastSystemError_;
};

}  // namespace pathlux
