#include "serial/serial_port.h"

#include <cstring>
#include <limits>

#include "platform/errors.h"

namespace pathlux {
namespace {

using namespace platform;

constexpr std::uint32_t kBaud = 9600;
constexpr std::uint32_t kDataBits = 8;
constexpr std::uint32_t kPurgeOnClose =
    PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
constexpr std::uint32_t kPurgeBuffers = PURGE_TXCLEAR | PURGE_RXCLEAR;

// The two-bit DTR and RTS control fields of the flags word.
constexpr std::uint32_t kControlField = 3;
constexpr std::uint32_t kDtrControl = kControlField << DCB_DTR_CONTROL_SHIFT;
constexpr std::uint32_t kRtsControl = kControlField << DCB_RTS_CONTROL_SHIFT;
constexpr std::uint32_t kDtrHandshake = DTR_CONTROL_HANDSHAKE << DCB_DTR_CONTROL_SHIFT;
constexpr std::uint32_t kRtsHandshake = RTS_CONTROL_HANDSHAKE << DCB_RTS_CONTROL_SHIFT;

// The flags a flow-control mode owns; every other bit stays as the driver had it. Each mode
// clears them all and sets its own, indexed by mode.
constexpr std::uint32_t kFlowFlags =
    DCB_OUTX_CTS_FLOW | DCB_OUTX_DSR_FLOW | kDtrControl | DCB_OUTX | DCB_INX | kRtsControl;
constexpr std::uint32_t kFlowModeFlags[] = {
    0,                                                                      // none
    DCB_OUTX_CTS_FLOW | DCB_OUTX_DSR_FLOW | kDtrHandshake | kRtsHandshake,  // hardware
    DCB_OUTX | DCB_INX,                                                     // software: XON/XOFF
};
static_assert(std::size(kFlowModeFlags) == CSerialPort::kFlowSoftware + 1);

ErrorCode ToErrorCode(std::uint32_t error) {
    return static_cast<ErrorCode>(error);
}

}  // namespace

CSerialPort::~CSerialPort() {
    if (portHandle_ != nullptr) {
        CSerialPort::Close();
    }
}

ErrorCode CSerialPort::Fail(ErrorCode error) {
    lastError_.store(error, std::memory_order_relaxed);
    return error;
}

ErrorCode CSerialPort::FailWithLastError() {
    // A wait that ran out is reported as ERROR_TIMEOUT, never as the wait's own WAIT_TIMEOUT.
    const std::uint32_t error = GetLastError();
    return Fail(ToErrorCode(error == WAIT_TIMEOUT ? ERROR_TIMEOUT : error));
}

ErrorCode CSerialPort::Begin() {
    lastError_.store(0, std::memory_order_relaxed);
    return portHandle_ != nullptr ? 0 : Fail(ToErrorCode(ERROR_INVALID_HANDLE));
}

ErrorCode CSerialPort::Outcome(bool succeeded) {
    return succeeded ? 0 : FailWithLastError();
}

ErrorCode CSerialPort::BeginWithState(Dcb& dcb) {
    dcb.DCBlength = sizeof(Dcb);
    if (const ErrorCode error = Begin(); error != 0) {
        return error;
    }
    return Outcome(GetCommState(portHandle_, dcb));
}

ErrorCode CSerialPort::Open(std::u16string_view portName, std::uint32_t, std::uint32_t) {
    lastError_.store(0, std::memory_order_relaxed);
    if (portHandle_ != nullptr) {
        return Fail(ToErrorCode(ERROR_ALREADY_INITIALIZED));
    }
    lastOpenPath_ = CommDevicePath(portName);
    lastSystemError_.clear();
    portHandle_ = OpenComm(portName);
    if (portHandle_ == nullptr) {
        if (const int errnum = GetLastSystemError(); errnum != 0) {
            lastSystemError_ = SystemErrorText(errnum);
        }
        return FailWithLastError();
    }
    ioEvent_ = CreateEvent();
    if (ioEvent_ == nullptr) {
        const ErrorCode error = FailWithLastError();
        CloseHandle(portHandle_);
        portHandle_ = nullptr;
        return error;
    }
    // Every step runs; the first failure is the result (each step clears lastError, which
    // would leave only a failure of the last one visible). The port stays open either way.
    const ErrorCode steps[] = {
        SetEventMask(kDefaultEventMask),
        Configure(kBaud, kDataBits, NOPARITY, ONESTOPBIT),
        SetReadMode(kReadNonBlocking),
        SetFlowControl(kFlowNone),
    };
    for (const ErrorCode step : steps) {
        if (step != 0) {
            return Fail(step);
        }
    }
    return 0;
}

ErrorCode CSerialPort::Close() {
    lastError_.store(0, std::memory_order_relaxed);
    if (portHandle_ == nullptr) {
        return 0;
    }
    // Failures here change nothing: the port is released either way.
    PurgeComm(portHandle_, kPurgeOnClose);
    EscapeCommFunction(portHandle_, CLRIR);
    CloseHandle(ioEvent_);
    ioEvent_ = nullptr;
    CloseHandle(portHandle_);
    portHandle_ = nullptr;
    return 0;
}

ErrorCode CSerialPort::Configure(std::uint32_t baudRate, std::uint32_t dataBits,
                                 std::uint32_t parity, std::uint32_t stopBits) {
    Dcb dcb;
    if (const ErrorCode error = BeginWithState(dcb); error != 0) {
        return error;
    }
    constexpr std::uint32_t kByteMax = std::numeric_limits<std::uint8_t>::max();
    if (dataBits > kByteMax || parity > kByteMax || stopBits > kByteMax) {
        return Fail(ToErrorCode(ERROR_INVALID_PARAMETER));
    }
    dcb.BaudRate = baudRate;
    dcb.ByteSize = static_cast<std::uint8_t>(dataBits);
    dcb.Parity = static_cast<std::uint8_t>(parity);
    dcb.StopBits = static_cast<std::uint8_t>(stopBits);
    dcb.flags = parity != NOPARITY ? (dcb.flags | DCB_PARITY) : (dcb.flags & ~DCB_PARITY);
    return Outcome(SetCommState(portHandle_, dcb));
}

ErrorCode CSerialPort::SetEventCharacter(char character, bool addToMask) {
    Dcb dcb;
    if (const ErrorCode error = BeginWithState(dcb); error != 0) {
        return error;
    }
    dcb.EvtChar = character;
    // A failed mask step is what a written block reports.
    const ErrorCode maskStep = addToMask ? SetEventMask(GetEventMask() | EV_RXFLAG) : 0;
    if (!SetCommState(portHandle_, dcb)) {
        return FailWithLastError();
    }
    return maskStep != 0 ? Fail(maskStep) : 0;
}

ErrorCode CSerialPort::SetEventMask(std::uint32_t mask) {
    if (const ErrorCode error = Begin(); error != 0) {
        return error;
    }
    return Outcome(SetCommMask(portHandle_, mask));
}

ErrorCode CSerialPort::WaitForEvent(Overlapped* record, std::uint32_t timeoutMs) {
    if (const ErrorCode error = Begin(); error != 0) {
        return error;
    }
    Overlapped local;
    local.hEvent = ioEvent_;
    Overlapped& used = record != nullptr ? *record : local;
    // The platform completes the wait inside the call; a caller with its own record waits on its
    // own event afterwards, so only a call without one is bounded here.
    std::uint32_t events = 0;
    if (!WaitCommEvent(portHandle_, events, record != nullptr ? INFINITE : timeoutMs)) {
        return FailWithLastError();
    }
    lastEvent_.store(events, std::memory_order_relaxed);
    SetEvent(used.hEvent);
    return 0;
}

ErrorCode CSerialPort::SetFlowControl(std::int32_t mode) {
    Dcb dcb;
    if (const ErrorCode error = BeginWithState(dcb); error != 0) {
        return error;
    }
    if (mode < kFlowNone || mode > kFlowSoftware) {
        return Fail(E_INVALIDARG);
    }
    dcb.flags = (dcb.flags & ~kFlowFlags) | kFlowModeFlags[mode];
    return Outcome(SetCommState(portHandle_, dcb));
}

ErrorCode CSerialPort::SetReadMode(std::int32_t mode) {
    if (const ErrorCode error = Begin(); error != 0) {
        return error;
    }
    CommTimeouts timeouts;
    if (!GetCommTimeouts(portHandle_, timeouts)) {
        return FailWithLastError();
    }
    if (mode != kReadNonBlocking && mode != kReadBlocking) {
        return Fail(E_INVALIDARG);
    }
    timeouts.ReadIntervalTimeout = mode == kReadNonBlocking ? MAXDWORD : 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    return Outcome(SetCommTimeouts(portHandle_, timeouts));
}

std::int32_t CSerialPort::GetBaudRate() {
    Dcb dcb;
    return BeginWithState(dcb) == 0 ? static_cast<std::int32_t>(dcb.BaudRate) : -1;
}

std::int32_t CSerialPort::GetDataBits() {
    Dcb dcb;
    return BeginWithState(dcb) == 0 ? dcb.ByteSize : -1;
}

std::int32_t CSerialPort::GetParity() {
    Dcb dcb;
    if (BeginWithState(dcb) != 0) {
        return -1;
    }
    return (dcb.flags & DCB_PARITY) != 0 ? dcb.Parity : NOPARITY;
}

std::int32_t CSerialPort::GetStopBits() {
    Dcb dcb;
    return BeginWithState(dcb) == 0 ? dcb.StopBits : -1;
}

std::int32_t CSerialPort::GetFlowControl() {
    Dcb dcb;
    if (BeginWithState(dcb) != 0) {
        return -1;
    }
    if ((dcb.flags & kDtrControl) == kDtrHandshake && (dcb.flags & kRtsControl) == kRtsHandshake) {
        return kFlowHardware;
    }
    if ((dcb.flags & DCB_OUTX) != 0 && (dcb.flags & DCB_INX) != 0) {
        return kFlowSoftware;
    }
    return kFlowNone;
}

std::uint32_t CSerialPort::GetEventMask() {
    std::uint32_t mask = 0;
    return Begin() == 0 && Outcome(GetCommMask(portHandle_, mask)) == 0 ? mask : 0;
}

char CSerialPort::GetEventCharacter() {
    Dcb dcb;
    return BeginWithState(dcb) == 0 ? dcb.EvtChar : 0;
}

ErrorCode CSerialPort::WriteText(const char* text, std::uint32_t* count, Overlapped* record,
                                 std::uint32_t timeoutMs) {
    const std::size_t length = text != nullptr ? std::strlen(text) : 0;
    if (text == nullptr || length > std::numeric_limits<std::uint32_t>::max()) {
        if (count != nullptr) {
            *count = 0;
        }
        return Fail(E_INVALIDARG);
    }
    return Write(text, static_cast<std::uint32_t>(length), count, record, timeoutMs);
}

template <class PlatformCall>
ErrorCode CSerialPort::Transfer(std::uint32_t* count, Overlapped* record, std::uint32_t timeoutMs,
                                PlatformCall call) {
    // The count is cleared before anything else, also when the port is not open.
    std::uint32_t localCount = 0;
    std::uint32_t& done = count != nullptr ? *count : localCount;
    done = 0;
    if (const ErrorCode error = Begin(); error != 0) {
        return error;
    }
    const Handle completion = record != nullptr ? record->hEvent : ioEvent_;
    if (!call(done, record != nullptr ? INFINITE : timeoutMs)) {
        return FailWithLastError();
    }
    SetEvent(completion);
    return 0;
}

ErrorCode CSerialPort::Write(const void* bytes, std::uint32_t size, std::uint32_t* count,
                             Overlapped* record, std::uint32_t timeoutMs) {
    return Transfer(count, record, timeoutMs, [&](std::uint32_t& written, std::uint32_t limit) {
        return WriteFile(portHandle_, bytes, size, written, limit);
    });
}

ErrorCode CSerialPort::Read(void* buffer, std::uint32_t size, std::uint32_t* count,
                            Overlapped* record, std::uint32_t timeoutMs) {
    return Transfer(count, record, timeoutMs, [&](std::uint32_t& received, std::uint32_t limit) {
        return ReadFile(portHandle_, buffer, size, received, limit);
    });
}

int CSerialPort::ProbePort(std::u16string_view portName) {
    const CommHandle port = OpenComm(portName);
    if (port != nullptr) {
        CloseHandle(port);
        return kProbeAvailable;
    }
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
            return kProbeNoSuchPort;
        case ERROR_ACCESS_DENIED:
            return kProbeInUse;
        default:
            return kProbeOtherFailure;
    }
}

std::string CSerialPort::DevicePath(std::u16string_view portName) {
    return CommDevicePath(portName);
}

ErrorCode CSerialPort::PurgeBuffers() {
    if (const ErrorCode error = Begin(); error != 0) {
        return error;
    }
    return Outcome(PurgeComm(portHandle_, kPurgeBuffers));
}

std::uint32_t CSerialPort::TakeLastEvent() {
    return lastEvent_.exchange(kNoEvent, std::memory_order_relaxed);
}

std::uint32_t CSerialPort::TakeLineErrors() {
    std::uint32_t errors = 0;
    return Begin() == 0 && Outcome(ClearCommError(portHandle_, errors)) == 0 ? errors : 0;
}

bool CSerialPort::ModemLineOn(std::uint32_t line) {
    lastError_.store(0, std::memory_order_relaxed);
    std::uint32_t status = 0;
    // No open check of our own: a closed port fails in the platform call like any other failure.
    return Outcome(GetCommModemStatus(portHandle_, status)) == 0 && (status & line) != 0;
}

bool CSerialPort::IsCtsOn() {
    return ModemLineOn(MS_CTS_ON);
}

bool CSerialPort::IsDsrOn() {
    return ModemLineOn(MS_DSR_ON);
}

bool CSerialPort::IsRingOn() {
    return ModemLineOn(MS_RING_ON);
}

bool CSerialPort::IsCarrierOn() {
    return ModemLineOn(MS_RLSD_ON);
}

}  // namespace pathlux
