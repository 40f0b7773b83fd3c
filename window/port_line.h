// What the monitor window does with its serial line where the design is silent: the devices
// present, listed after COM16; the line speed, fixed or found automatically; whether data comes,
// in the title bar and as greyed charts; and a capture of the line to a file. Its controls are
// the window's context menu and the command line.
#pragma once

#include <QRect>
#include <QString>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "capture/capture_file.h"
#include "nmea/interpreter.h"
#include "nmea/text.h"
#include "platform/serial_devices.h"
#include "window/auto_speed.h"
#include "window/command_line.h"
#include "window/line_health.h"

class QMenu;
class QPainter;

namespace pathlux {

class CMonitorDlg;
class CSerialPort;

class PortLine {
  public:
    // The window's timer for the line's checks; the window's own are 1 (frame) and 2 (TTFF). It
    // ticks each second for the silence's count, and faster while a speed is tried.
    static constexpr int kTimerId = 3;
    static constexpr int kTickMs = 1000;
    static constexpr int kTryingTickMs = 250;
    // The speed that Automatic stands for in ChooseSpeed.
    static constexpr std::uint32_t kAutomatic = 0;

    PortLine(CMonitorDlg& window, CSerialPort& port);
    PortLine(const PortLine&) = delete;
    PortLine& operator=(const PortLine&) = delete;

    // Before the window's initialisation: what the command line asked for.
    void SetStartOptions(StartOptions options) { start_ = std::move(options); }
    // At the window's initialisation: the start options applied, the devices listed, and the
    // list refreshed each time it drops down.
    void Init();

    // The port as the interpretation core reads it: what has arrived, without waiting; the line's
    // checks and the capture see it on the way.
    ByteSource& reader() { return reader_; }

    // The port name of the list's item: "COMn:" for the first sixteen, else the device's path.
    Text PortNameAt(int index) const;
    // A line for an open failure of a COMn name that is not mapped and whose device is missing.
    QString MappingHint(const Text& name) const;

    // The port's speed to open at: the one chosen, or the first to try.
    std::uint32_t OpeningSpeed() const;
    void OnPortOpened(const Text& name);
    void OnPortClosed(bool lost);
    void OnReceived(const std::uint8_t* bytes, std::size_t count);
    void OnSent(std::string_view bytes);
    // The window's timer; false when it is not this one's.
    bool OnTimer(int timerId);
    // Over the charts just painted: grey while no data comes or the device is lost.
    void PaintOver(QPainter& target) const;
    // The context menu's "Speed" submenu and the capture's entries.
    void AddMenuEntries(QMenu& menu);

    // A speed, or kAutomatic; at once on an open port.
    void ChooseSpeed(std::uint32_t baud);
    // Empty on success, else why not.
    std::string StartCapture(const std::string& path);
    void StopCapture();
    bool capturing() const { return capture_.isOpen(); }

    // Lists the devices present again, keeping the selection.
    void RefreshDevices();
    // Where the devices are looked for; a test passes a tree of its own.
    void SetDeviceRoots(std::string devRoot, std::string sysRoot);

    // What the overlay over the greyed charts says; empty while they are not greyed.
    const QString& greyText() const { return greyText_; }
    std::uint32_t lineSpeed() const { return lineSpeed_; }
    const AutoSpeed& autoSpeed() const { return auto_; }
    bool automatic() const { return automatic_; }
    // Bytes read from the port since the program started.
    std::uint64_t bytesRead() const { return bytesRead_; }

  private:
    class Reader : public ByteSource {
      public:
        explicit Reader(PortLine& line) : line_(line) {}
        std::size_t Read(std::uint8_t* buffer, std::size_t max) override;

      private:
        PortLine& line_;
    };

    std::int64_t NowMs() const;
    void SetLineSpeed(std::uint32_t baud);
    void Note(const std::string& text);
    void Record(CaptureKind kind, std::string_view bytes);
    void TellLater(const QString& text, const std::string& detail);
    // The title and the overlay as the line's state now has them.
    void ShowState();
    QString SpeedText() const;
    // Where the charts show, at the window's zoom.
    QRect SkyArea() const;
    QRect BarArea() const;
    void SelectStartPort();

    CMonitorDlg& window_;
    CSerialPort& port_;
    Reader reader_{*this};
    QString title_;  // the template's
    StartOptions start_;

    std::string devRoot_ = "/dev";
    std::string sysRoot_ = "/sys";
    std::vector<platform::SerialDevice> devices_;  // the list's items after COM16

    bool automatic_ = false;
    std::uint32_t chosen_ = kDefaultSpeed;
    std::uint32_t lastSpeed_ = kDefaultSpeed;  // chosen or found last; Automatic starts there
    std::uint32_t lineSpeed_ = kDefaultSpeed;  // the open port's
    AutoSpeed auto_;
    LineHealth health_;

    bool open_ = false;
    bool lost_ = false;
    int tickMs_ = 0;  // the timer's period, 0 while it is stopped
    std::uint64_t bytesRead_ = 0;
    QString shownName_;  // of the open or lost port, as the list shows it
    QString greyText_;

    CaptureWriter capture_;
    std::chrono::steady_clock::time_point captureStart_;
};

}  // namespace pathlux
