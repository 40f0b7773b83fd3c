#include "window/port_line.h"

#include <QActionGroup>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>

#include "platform/errors.h"
#include "platform/qt/text.h"
#include "res/dialog102.h"
#include "serial/serial_port.h"
#include "window/monitor_dlg.h"

namespace pathlux {
namespace {

using platform::ToQString;

constexpr int kComItems = static_cast<int>(std::size(res::kPortListItems));
// Charts greyed, so that old data does not look live; their own colours still show through.
const QColor kGrey(128, 128, 128, 170);

QString FromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

std::string ToUtf8(const QString& text) {
    return text.toStdString();
}

// "COMn:" for a port name of that form, else 0.
int ComNumber(const Text& name) {
    if (!name.starts_with(u"COM") || !name.ends_with(u':')) {
        return 0;
    }
    bool ok = false;
    const int n = ToQString(name).mid(3).chopped(1).toInt(&ok);
    return ok ? n : 0;
}

}  // namespace

PortLine::PortLine(CMonitorDlg& window, CSerialPort& port)
    : window_(window), port_(port), title_(window.windowTitle()) {}

std::size_t PortLine::Reader::Read(std::uint8_t* buffer, std::size_t max) {
    std::uint32_t count = 0;
    line_.port_.Read(buffer, static_cast<std::uint32_t>(max), &count, nullptr, platform::INFINITE);
    const std::size_t read = std::min<std::size_t>(count, max);
    line_.bytesRead_ += read;
    line_.OnReceived(buffer, read);
    return read;
}

void PortLine::Init() {
    if (start_.automatic) {
        automatic_ = true;
    } else if (start_.baud) {
        chosen_ = lastSpeed_ = *start_.baud;
    }
    // Which device each port name stands for, where the user looks for it.
    for (int i = 0; i < kComItems; ++i) {
        window_.SetListItemTip(res::kPortList, i, FromUtf8(CSerialPort::DevicePath(PortNameAt(i))));
    }
    RefreshDevices();
    SelectStartPort();
    window_.SetListDropHook(res::kPortList, [this] { RefreshDevices(); });
    if (start_.open) {
        // Once the window shows, so that a failure's message box stands over it.
        QTimer::singleShot(0, &window_, [this] {
            if (window_.portOpen() == 0) {
                window_.OnOpenButton();
            }
        });
    }
}

void PortLine::SelectStartPort() {
    if (!start_.port) {
        return;
    }
    if (const int n = ComNumber(*start_.port); n > 0) {
        window_.SetCurSel(res::kPortList, n - 1);
        return;
    }
    const std::string path = ToUtf8(ToQString(*start_.port));
    const auto at = std::find_if(devices_.begin(), devices_.end(),
                                 [&](const platform::SerialDevice& d) { return d.path == path; });
    window_.SetCurSel(res::kPortList, kComItems + static_cast<int>(at - devices_.begin()));
}

void PortLine::SetDeviceRoots(std::string devRoot, std::string sysRoot) {
    devRoot_ = std::move(devRoot);
    sysRoot_ = std::move(sysRoot);
}

void PortLine::RefreshDevices() {
    std::vector<platform::SerialDevice> devices = platform::ListSerialDevices(devRoot_, sysRoot_);
    const auto listed = [&](const std::string& path) {
        return std::any_of(devices.begin(), devices.end(),
                           [&](const platform::SerialDevice& d) { return d.path == path; });
    };
    // A device given on the command line, and the one selected, stay even when absent.
    std::vector<std::string> kept;
    if (start_.port && ComNumber(*start_.port) == 0) {
        kept.push_back(ToUtf8(ToQString(*start_.port)));
    }
    const int selected = window_.GetCurSel(res::kPortList);
    std::string selectedPath;
    if (selected >= kComItems && selected - kComItems < static_cast<int>(devices_.size())) {
        selectedPath = devices_[static_cast<std::size_t>(selected - kComItems)].path;
        kept.push_back(selectedPath);
    }
    // Shown as the path without the device directory: ttyUSB0, pts/3, or the whole path.
    const std::string devPrefix = devRoot_ + "/";
    for (const std::string& path : kept) {
        if (!listed(path)) {
            const bool inDev = path.starts_with(devPrefix) && path.size() > devPrefix.size();
            devices.push_back({inDev ? path.substr(devPrefix.size()) : path, path, path});
        }
    }
    int select = selected;
    if (!selectedPath.empty()) {
        const auto at = std::find_if(devices.begin(), devices.end(),
                                     [&](const auto& d) { return d.path == selectedPath; });
        select = kComItems + static_cast<int>(at - devices.begin());
    }
    std::vector<platform::Dialog::ListItem> items;
    for (const platform::SerialDevice& device : devices) {
        items.push_back({FromUtf8(device.shown), FromUtf8(device.tip)});
    }
    devices_ = std::move(devices);
    window_.ReplaceListItems(res::kPortList, kComItems, items, select);
}

Text PortLine::PortNameAt(int index) const {
    if (index >= kComItems && index - kComItems < static_cast<int>(devices_.size())) {
        return FromUtf8(devices_[static_cast<std::size_t>(index - kComItems)].path)
            .toStdU16String();
    }
    Text name = u"COM";
    AppendDecimal(name, index + 1);
    return name + u":";
}

QString PortLine::MappingHint(const Text& name) const {
    const int n = ComNumber(name);
    const std::string variable = "PATHLUX_COM" + std::to_string(n);
    const char* mapped = std::getenv(variable.c_str());
    if (n == 0 || (mapped != nullptr && *mapped != '\0') ||
        port_.lastSystemError() != platform::SystemErrorText(ENOENT)) {
        return {};
    }
    return QStringLiteral(
               "COM%1 is %2 unless mapped. For a USB receiver pick its device in the list "
               "(after COM16), or start pathlux --port /dev/ttyUSB0, or map the name: "
               "%3=/dev/ttyUSB0 pathlux")
        .arg(n)
        .arg(FromUtf8(CSerialPort::DevicePath(name)))
        .arg(FromUtf8(variable));
}

std::uint32_t PortLine::OpeningSpeed() const {
    return automatic_ ? lastSpeed_ : chosen_;
}

void PortLine::OnPortOpened(const Text& name) {
    // The capture of --record starts with the port's first opening, which its note begins.
    if (!start_.record.empty() && !capture_.isOpen()) {
        const std::string error = StartCapture(start_.record);
        start_.record.clear();
        if (!error.empty()) {
            TellLater(QStringLiteral("Capture not started"), error);
        }
    }
    open_ = true;
    lost_ = false;
    shownName_ = window_.GetDlgItemText(res::kPortList);
    lineSpeed_ = OpeningSpeed();
    health_.Restart(NowMs());
    if (automatic_) {
        auto_.Start(lineSpeed_, NowMs());
    }
    Note("opened " + ToUtf8(ToQString(name)) + " (" + CSerialPort::DevicePath(name) + ") at " +
         std::to_string(lineSpeed_) + " baud");
    ShowState();
}

void PortLine::OnPortClosed(bool lost) {
    open_ = false;
    lost_ = lost;
    auto_.Stop();
    Note(lost ? "device lost" : "closed");
    ShowState();
}

void PortLine::SetLineSpeed(std::uint32_t baud) {
    lineSpeed_ = baud;
    constexpr std::uint32_t kDataBits = 8;
    constexpr std::uint32_t kNoParity = 0;
    constexpr std::uint32_t kOneStopBit = 0;
    port_.Configure(baud, kDataBits, kNoParity, kOneStopBit);
    // What arrived at the old speed is not read at the new one.
    port_.PurgeBuffers();
    health_.SpeedChanged(NowMs());
    Note("speed " + std::to_string(baud) + " baud");
}

void PortLine::ChooseSpeed(std::uint32_t baud) {
    automatic_ = baud == kAutomatic;
    if (!automatic_) {
        chosen_ = lastSpeed_ = baud;
        auto_.Stop();
    }
    if (!open_) {
        ShowState();
        return;
    }
    if (automatic_) {
        // From the speed the line has now: it may be right.
        auto_.Start(lineSpeed_, NowMs());
        health_.SpeedChanged(NowMs());
    } else if (baud != lineSpeed_) {
        SetLineSpeed(baud);
    }
    ShowState();
}

void PortLine::OnReceived(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0) {
        return;
    }
    const std::string_view received(reinterpret_cast<const char*>(bytes), count);
    Record(CaptureKind::kReceived, received);
    const LineCounts counts = health_.Feed(received, NowMs());
    const bool found = auto_.Feed(received);
    if (found) {
        lastSpeed_ = auto_.speed();
        Note("speed found: " + std::to_string(lastSpeed_) + " baud");
    }
    // A sentence ends a silence at once, not at the next tick.
    if (found || (counts.sentences > 0 && !greyText_.isEmpty())) {
        ShowState();
    }
}

void PortLine::OnSent(std::string_view bytes) {
    Record(CaptureKind::kSent, bytes);
}

bool PortLine::OnTimer(int timerId) {
    if (timerId != kTimerId) {
        return false;
    }
    if (const std::optional<std::uint32_t> next = auto_.Tick(NowMs())) {
        SetLineSpeed(*next);
    }
    ShowState();
    return true;
}

QString PortLine::SpeedText() const {
    if (!automatic_ || auto_.phase() == AutoSpeed::Phase::kOff) {
        return QStringLiteral("%1 baud").arg(lineSpeed_);
    }
    if (auto_.phase() == AutoSpeed::Phase::kFound) {
        return QStringLiteral("%1 baud, found automatically").arg(lineSpeed_);
    }
    return QStringLiteral("automatic: trying %1 baud%2")
        .arg(lineSpeed_)
        .arg(auto_.triedAll() ? QStringLiteral(", none answered yet") : QString());
}

void PortLine::ShowState() {
    const std::int64_t now = NowMs();
    QString title = title_;
    QString grey;
    if (open_) {
        const bool trying = auto_.phase() == AutoSpeed::Phase::kTrying;
        const int silent = health_.SilentSeconds(now);
        QString state;
        if (!trying && health_.Garbled(now)) {
            state = QStringLiteral("garbage: wrong speed?");
        } else if (silent > 0) {
            state = QStringLiteral("no data for %1 s").arg(silent);
        }
        title += QStringLiteral(" \u2014 ") + shownName_ + u' ' + SpeedText();
        if (!state.isEmpty()) {
            title += QStringLiteral(" \u2014 ") + state;
        }
        // Noise on a line that still brings sentences does not hide the charts.
        if (silent > 0) {
            grey = state;
        }
    } else if (lost_) {
        grey = QStringLiteral("device lost");
        title += QStringLiteral(" \u2014 ") + shownName_ + u' ' + grey;
    }
    if (title != window_.windowTitle()) {
        window_.setWindowTitle(title);
    }
    const int tickMs =
        !open_ ? 0 : (auto_.phase() == AutoSpeed::Phase::kTrying ? kTryingTickMs : kTickMs);
    if (tickMs != tickMs_) {
        tickMs_ = tickMs;
        if (tickMs == 0) {
            window_.KillTimer(kTimerId);
        } else {
            window_.SetTimer(kTimerId, tickMs);
        }
    }
    if (grey != greyText_) {
        greyText_ = grey;
        window_.update(SkyArea());
        window_.update(BarArea());
    }
}

void PortLine::PaintOver(QPainter& target) const {
    if (greyText_.isEmpty()) {
        return;
    }
    const QRect sky = SkyArea();
    target.fillRect(sky, kGrey);
    target.fillRect(BarArea(), kGrey);
    target.setPen(Qt::black);
    target.setFont(window_.font());  // at the window's zoom
    target.drawText(sky, Qt::AlignCenter | Qt::TextWordWrap, greyText_);
}

QRect PortLine::SkyArea() const {
    return window_.ChartArea(res::kSkyFrame, window_.skyFrameRect());
}

QRect PortLine::BarArea() const {
    return window_.ChartArea(res::kBarFrame, window_.barFrameRect());
}

void PortLine::AddMenuEntries(QMenu& menu) {
    QMenu* speeds = menu.addMenu(QStringLiteral("Speed"));
    auto* group = new QActionGroup(speeds);
    const auto add = [&](const QString& text, std::uint32_t baud, bool checked) {
        QAction* action = speeds->addAction(text);
        action->setCheckable(true);
        action->setChecked(checked);
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, &window_,
                         [this, baud] { ChooseSpeed(baud); });
    };
    for (const std::uint32_t baud : kLineSpeeds) {
        add(QStringLiteral("%1 baud").arg(baud), baud, !automatic_ && chosen_ == baud);
    }
    speeds->addSeparator();
    add(QStringLiteral("Automatic"), kAutomatic, automatic_);

    if (capture_.isOpen()) {
        const QString name = FromUtf8(capture_.path().substr(capture_.path().rfind('/') + 1));
        QAction* stop = menu.addAction(QStringLiteral("Stop capture (%1)").arg(name));
        QObject::connect(stop, &QAction::triggered, &window_, [this] { StopCapture(); });
        return;
    }
    QAction* capture = menu.addAction(QStringLiteral("Capture to file..."));
    QObject::connect(capture, &QAction::triggered, &window_, [this] {
        const QString suggested = QDir::home().filePath(QDateTime::currentDateTime().toString(
            QStringLiteral("'pathlux-'yyyyMMdd-HHmmss'.cap'")));
        const QString path =
            QFileDialog::getSaveFileName(&window_, QStringLiteral("Capture to file"), suggested,
                                         QStringLiteral("Captures (*.cap);;All files (*)"));
        if (path.isEmpty()) {
            return;
        }
        if (const std::string error = StartCapture(ToUtf8(path)); !error.empty()) {
            window_.MessageBox(QStringLiteral("Capture not started"), FromUtf8(error));
        }
    });
}

std::string PortLine::StartCapture(const std::string& path) {
    const std::string error = capture_.Open(path, std::chrono::system_clock::now());
    if (!error.empty()) {
        return error;
    }
    captureStart_ = std::chrono::steady_clock::now();
    if (open_) {
        Note("port " + ToUtf8(shownName_) + " at " + std::to_string(lineSpeed_) + " baud");
    }
    return {};
}

void PortLine::StopCapture() {
    capture_.Close();
}

void PortLine::Note(const std::string& text) {
    Record(CaptureKind::kNote, text);
}

void PortLine::Record(CaptureKind kind, std::string_view bytes) {
    if (!capture_.isOpen()) {
        return;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - captureStart_);
    const std::string error = capture_.Write(kind, ms.count(), bytes);
    if (!error.empty()) {
        TellLater(QStringLiteral("Capture stopped"), error);
    }
}

// A message box once what the window is doing (opening, reading) is over.
void PortLine::TellLater(const QString& text, const std::string& detail) {
    QTimer::singleShot(0, &window_,
                       [this, text, detail] { window_.MessageBox(text, FromUtf8(detail)); });
}

std::int64_t PortLine::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace pathlux
