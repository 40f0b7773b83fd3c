#include "window/monitor_dlg.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <iterator>
#include <string>
#include <utility>

#include "control/commands.h"
#include "platform/errors.h"
#include "platform/qt/draw_surface.h"
#include "platform/qt/message_map.h"
#include "platform/qt/text.h"
#include "platform/sync.h"
#include "res/dialog102.h"
#include "window/nmea_output_dlg.h"
#include "window/port_line.h"
#include "window/signal_bars.h"
#include "window/sky_plot.h"
#include "window/ttff_dlg.h"
#include "window/zoom.h"

namespace pathlux {
namespace {

using platform::ToQString;

using Entry = platform::MessageMapEntry<CMonitorDlg>;

constexpr Entry kMessageMap[] = {
    Entry::Command(platform::kBnClicked, res::kOpenButton, &CMonitorDlg::OnOpenButton),
    Entry::Command(platform::kCbnSelChange, res::kPortList, &CMonitorDlg::OnPortChanged),
    Entry::Command(platform::kBnClicked, res::kColdButton, &CMonitorDlg::OnRestartButton<0>),
    Entry::Command(platform::kBnClicked, res::kWarmButton, &CMonitorDlg::OnRestartButton<1>),
    Entry::Command(platform::kBnClicked, res::kHotButton, &CMonitorDlg::OnRestartButton<2>),
    Entry::Timer(&CMonitorDlg::OnTimer),
    Entry::Paint(&CMonitorDlg::OnPaint),
    Entry::Command(platform::kBnClicked, res::kFactoryButton, &CMonitorDlg::OnRestartButton<3>),
    Entry::Command(platform::kBnClicked, res::kNmeaButton, &CMonitorDlg::OpenNmeaOutputDialog),
    Entry::Registered(&defaultComMessage, &CMonitorDlg::OnSerialNotify),
};

// The restart handlers' rows, in the restart command table's order.
static_assert(kRestartCommands[0].buttonId == res::kColdButton);
static_assert(kRestartCommands[1].buttonId == res::kWarmButton);
static_assert(kRestartCommands[2].buttonId == res::kHotButton);
static_assert(kRestartCommands[3].buttonId == res::kFactoryButton);

constexpr int kCommandButtons[] = {res::kColdButton, res::kWarmButton, res::kHotButton,
                                   res::kFactoryButton, res::kNmeaButton};

constexpr int kInitialPort = 7;  // COM8

// The port's line settings: 8 data bits, no parity, one stop bit, at the speed chosen (9600 unless
// the user chose another).
constexpr std::uint32_t kDataBits = 8;
constexpr std::uint32_t kNoParity = 0;
constexpr std::uint32_t kOneStopBit = 0;
constexpr std::uint32_t kQueueSize = 2048;

// What the fields show until the receiver says otherwise; the other fields keep their template
// texts.
struct StartText {
    int id;
    std::u16string_view text;
};
constexpr StartText kStartTexts[] = {
    {kLatitudeField, u"N000\u00B000'00.00\""},
    {kLongitudeField, u"E000\u00B000'00.00\""},
    {kSpeedField, u"0km/h"},
    {kCourseField, u"0\u00B0"},
    {kAltitudeField, u"0m"},
};

// The sky plot labels' font: cell height 12, width 7.
constexpr int kDisplayFontHeight = 12;
constexpr int kDisplayFontWidth = 7;

}  // namespace

CMonitorDlg::CMonitorDlg()
    : platform::Dialog(res::kMonitorDialog),
      appIcon_(platform::LoadAppIcon()),
      interpreter_(*this),
      portLine_(std::make_unique<PortLine>(*this, port_)) {}

CMonitorDlg::~CMonitorDlg() = default;

std::unique_ptr<QMenu> CMonitorDlg::MakeContextMenu() {
    auto menu = std::make_unique<QMenu>(this);
    QAction* series = menu->addAction(QStringLiteral("TTFF series..."));
    series->setEnabled(portOpen_ != 0);
    connect(series, &QAction::triggered, this, &CMonitorDlg::OpenTtffSeries);
    AddZoomMenu(*menu, *this);
    portLine_->AddMenuEntries(*menu);
    return menu;
}

void CMonitorDlg::contextMenuEvent(QContextMenuEvent* event) {
    MakeContextMenu()->exec(event->globalPos());
}

void CMonitorDlg::OpenTtffSeries() {
    if (!ttffDlg_) {
        ttffDlg_ = std::make_unique<CTtffDlg>(*this);
    }
    ttffDlg_->show();
    ttffDlg_->raise();
    ttffDlg_->activateWindow();
}

void CMonitorDlg::NotifyPortClosed(bool lost) {
    portLine_->OnPortClosed(lost);
    if (watcher_ != nullptr) {
        watcher_->OnPortClosed(lost);
    }
}

bool CMonitorDlg::OnInitDialog() {
    setWindowIcon(appIcon_);
    CenterWindow();
    SetCurSel(res::kPortList, kInitialPort);
    portOpen_ = 0;
    EnableCommandButtons(false);

    ReceiverState& receiver = state();
    receiver.fix3d = 0;
    receiver.maxSnr = 20;
    receiver.inViewCount = 12;

    for (const StartText& start : kStartTexts) {
        SetDlgItemText(start.id, ToQString(start.text));
    }

    // The widget is the client area and paints in client coordinates, so the frames are taken
    // relative to it and the charts land exactly on the hidden frames.
    barFrameRect_ = GetDlgItemRect(res::kBarFrame);
    skyFrameRect_ = GetDlgItemRect(res::kSkyFrame);

    receiver.gpsSats = {};
    receiver.sbasSats = {};
    receiver.inViewPrns = {};
    skyShown_ = barsShown_ = receiver;

    skyDotRadius_ = 9;
    skyLabelBox_ = 12;
    displayFont_ = platform::CreateCellFont(kDisplayFontHeight, kDisplayFontWidth);
    // GGA, GSA, GSV and RMC, each every second.
    nmeaOutput_ = NmeaOutputConfig{};

    if (auto* log = qobject_cast<QPlainTextEdit*>(GetDlgItem(kLogField))) {
        // The log shows what the receiver sent: it can be selected and copied, not typed into.
        log->setReadOnly(true);
        // Lines are replaced, never undone; an undo history would only grow.
        log->setUndoRedoEnabled(false);
        log_.Reset(log->toPlainText());
        connect(log->document(), &QTextDocument::contentsChanged, this, [this] {
            if (!showingLog_) {
                logChangedElsewhere_ = true;
            }
        });
    }
    // The frames above are read at the template's own scale: the charts keep that geometry.
    StartZoom(*this);
    portLine_->Init();
    return true;
}

bool CMonitorDlg::OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                            std::intptr_t* result) {
    return platform::DispatchMessage<CMonitorDlg>(kMessageMap, *this, message, wParam, lParam,
                                                  result);
}

void CMonitorDlg::EnableCommandButtons(bool enable) {
    for (const int id : kCommandButtons) {
        EnableDlgItem(id, enable);
    }
}

Text CMonitorDlg::SelectedPortName() const {
    return portLine_->PortNameAt(GetCurSel(res::kPortList));
}

ErrorCode CMonitorDlg::OpenAndConfigurePort(const Text& name) {
    ++portGeneration_;
    openPortName_ = name;
    notifyGate_.Taken();
    notifyGate_.Release();
    const ErrorCode error =
        port_.OpenWithWatcher(name, &notifyGate_, 0, portGeneration_, kQueueSize, kQueueSize);
    if (error == 0) {
        port_.Configure(portLine_->OpeningSpeed(), kDataBits, kNoParity, kOneStopBit);
        port_.PurgeBuffers();
        portLine_->OnPortOpened(name);
    }
    return error;
}

QString CMonitorDlg::OpenFailureDetail() const {
    QString detail = QStringLiteral("Device: %1").arg(QString::fromStdString(port_.lastOpenPath()));
    if (port_.lastSystemError().empty()) {
        return detail + QStringLiteral("\nError %1").arg(port_.lastError());
    }
    detail += QStringLiteral("\nReason: %1").arg(QString::fromStdString(port_.lastSystemError()));
    if (port_.lastSystemError() == platform::SystemErrorText(EACCES)) {
        detail += QStringLiteral(
            "\nSerial devices belong to the group dialout: add your user to it "
            "(sudo adduser $USER dialout) and log in again.");
    }
    if (const QString hint = portLine_->MappingHint(openPortName_); !hint.isEmpty()) {
        detail += u'\n' + hint;
    }
    return detail;
}

void CMonitorDlg::OnOpenButton() {
    const Text name = SelectedPortName();
    if (portOpen_ != 0) {
        portOpen_ = 0;
        port_.Close();
        SetDlgItemText(res::kOpenButton, QStringLiteral("Open"));
        EnableCommandButtons(false);
        NotifyPortClosed(false);
        return;
    }
    if (OpenAndConfigurePort(name) != 0) {
        MessageBox(ToQString(name + u" port open error!"), OpenFailureDetail());
        return;
    }
    portOpen_ = 1;
    SetDlgItemText(res::kOpenButton, QStringLiteral("Close"));
    EnableCommandButtons(true);
}

void CMonitorDlg::OnPortChanged() {
    const Text name = SelectedPortName();
    if (portOpen_ != 1) {
        return;
    }
    port_.Close();
    EnableCommandButtons(false);
    NotifyPortClosed(false);
    if (OpenAndConfigurePort(name) != 0) {
        portOpen_ = 0;
        SetDlgItemText(res::kOpenButton, QStringLiteral("Open"));
        MessageBox(QStringLiteral("COM port open error!"), OpenFailureDetail());
        return;
    }
    EnableCommandButtons(true);
}

void CMonitorDlg::SendCommand(Text sentence) {
    // Sized from the text with its line end, so nothing is cut or written past a buffer.
    const std::string bytes = EncodeCommand(sentence);
    if (port_.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()), nullptr, nullptr,
                    platform::INFINITE) == 0) {
        portLine_->OnSent(bytes);
    }
}

void CMonitorDlg::RestartReceiver(const RestartCommand& command) {
    SendCommand(RestartSentence(command));
    interpreter_.RestartTtff();
}

void CMonitorDlg::OpenNmeaOutputDialog() {
    CNmeaOutputDlg dialog(*this);
    dialog.SetZoom(zoom());
    dialog.DoModal();
}

void CMonitorDlg::OnPortLost() {
    // What came before the hang-up is read still: shown, and kept in a capture.
    while (interpreter_.OnSerialNotify(NmeaInterpreter::kEventRxChar, portLine_->reader()) ==
           NmeaInterpreter::kMoreWaiting) {
    }
    portOpen_ = 0;
    port_.Close();
    SetDlgItemText(res::kOpenButton, QStringLiteral("Open"));
    EnableCommandButtons(false);
    NotifyPortClosed(true);
    MessageBox(ToQString(openPortName_ + u" device lost, port closed."),
               QStringLiteral("Device: %1\nThe device stopped answering; was it unplugged?")
                   .arg(QString::fromStdString(CSerialPort::DevicePath(openPortName_))));
}

void CMonitorDlg::StartTimer(int timerId, int periodMs) {
    SetTimer(timerId, periodMs);
}

void CMonitorDlg::StopTimer(int timerId) {
    KillTimer(timerId);
}

// Only the charts in the painted part are drawn: a field's repaint does not copy them.
void CMonitorDlg::OnPaint() {
    QPainter* target = paintSurface();
    if (target == nullptr) {
        return;
    }
    if (paintRegion().intersects(ChartArea(res::kSkyFrame, skyFrameRect_))) {
        DrawSkyPlot(*target);
    }
    if (paintRegion().intersects(ChartArea(res::kBarFrame, barFrameRect_))) {
        DrawSignalBars(*target);
    }
    portLine_->PaintOver(*target);
}

void CMonitorDlg::OnTimer(int timerId) {
    if (portLine_->OnTimer(timerId)) {
        return;
    }
    if (timerId == kFrameTimerId) {
        UpdateWindow();
        return;
    }
    if (timerId == kGatherTimerId) {
        KillTimer(kGatherTimerId);
        ReadHeldBytes();
        return;
    }
    interpreter_.OnTimer(timerId);
}

// At a zoom the layout moves the frames; the charts keep their geometry and are composed at as
// many times the pixels, so they stay sharp.
QRect CMonitorDlg::ChartArea(int frameId, const platform::Rect& frame) const {
    const platform::Rect at = GetDlgItemRect(frameId);
    const double factor = zoom().Factor();
    return QRect(at.left, at.top, static_cast<int>(std::ceil(frame.Width() * factor)),
                 static_cast<int>(std::ceil(frame.Height() * factor)));
}

void CMonitorDlg::DrawSkyPlot(QPainter& target) {
    const SkyGeometry geometry = SkyGeometryOf(skyFrameRect_.Width(), skyFrameRect_.Height());
    skyRadius_ = geometry.skyRadius;
    skyCentre_ = geometry.skyCentre;
    target.drawImage(ChartArea(res::kSkyFrame, skyFrameRect_).topLeft(),
                     charts_.Sky(skyShown_, {skyFrameRect_.Width(), skyFrameRect_.Height()},
                                 skyStyle(), zoom().Factor(), devicePixelRatioF()));
}

void CMonitorDlg::DrawSignalBars(QPainter& target) {
    target.drawImage(ChartArea(res::kBarFrame, barFrameRect_).topLeft(),
                     charts_.Bars(barsShown_, {barFrameRect_.Width(), barFrameRect_.Height()},
                                  zoom().Factor(), devicePixelRatioF()));
}

Point CMonitorDlg::SkyToPoint(double azimuth, double elevation) const {
    return pathlux::SkyToPoint(skyGeometry(), azimuth, elevation);
}

}  // namespace pathlux
