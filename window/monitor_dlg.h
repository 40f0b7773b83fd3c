// The monitor window: port selection and opening, the display fields, the log, the TTFF timer,
// the sky plot and the signal bars. It is the display the interpretation core writes to.
#pragma once

#include <QFont>
#include <QIcon>
#include <QRect>
#include <cstdint>
#include <map>
#include <memory>

#include "control/commands.h"
#include "control/output_config.h"
#include "nmea/display.h"
#include "nmea/interpreter.h"
#include "platform/qt/dialog.h"
#include "platform/qt/rect.h"
#include "serial/serial.h"
#include "window/chart_cache.h"
#include "window/frame_pacer.h"
#include "window/log_lines.h"
#include "window/receiver_watch.h"
#include "window/sky_geometry.h"
#include "window/sky_plot.h"

class QContextMenuEvent;
class QMenu;
class QPainter;

namespace pathlux {

class CTtffDlg;
class PortLine;

class CMonitorDlg : public platform::Dialog, public MonitorDisplay {
  public:
    static constexpr int kLogMaxLines = 30;
    static constexpr int kLogKeptFromLine = 20;  // lines before this one go when the log is full
    // What the receiver changes is shown a frame after a quiet spell, and while changes keep
    // coming at most once every kFrameGapMs: a burst of sentences, or a flood, costs one repaint
    // rather than one per line. The timer id is the window's own.
    static constexpr int kFrameTimerId = 1;
    static constexpr int kFrameMs = 16;
    static constexpr int kFrameGapMs = 100;
    // So many bytes from one frame to the next are a flood or a stream fast enough to fill the
    // port's buffer while a frame waits: they are read as they come, not at the frame.
    static constexpr std::uint64_t kPromptReadBytes = 4096;
    // Such a stream is read kGatherMs after a notification, with all that came meanwhile. Even a
    // 921600 baud line brings less than 400 bytes in that time.
    static constexpr int kGatherTimerId = 4;
    static constexpr int kGatherMs = 4;

    CMonitorDlg();
    ~CMonitorDlg() override;

    // What the interpretation core writes to.
    void SetFieldText(int controlId, const Text& text) override;
    void AppendLog(const Text& line) override;
    void StartTimer(int timerId, int periodMs) override;
    void StopTimer(int timerId) override;
    void RedrawSkyPlot() override;
    void RedrawSignalBars() override;

    void EnableCommandButtons(bool enable);
    void OnOpenButton();
    void OnPortChanged();
    void OnPaint();
    void OnTimer(int timerId);
    // Shows now what waits for the next frame: field texts, log lines, chart redraws.
    void UpdateWindow();
    std::intptr_t OnSerialNotify(std::uintptr_t wParam, std::intptr_t lParam);
    // Reads what a held notification left waiting, as the notification would have.
    void ReadHeldBytes();
    // The restart buttons, one per row of the restart command table: the command, then the
    // TTFF count from zero.
    template <int Row>
    void OnRestartButton() {
        RestartReceiver(kRestartCommands[Row]);
    }
    // The "NMEA" button: the output configuration dialog, modal.
    void OpenNmeaOutputDialog();
    // A restart command, then the TTFF count from zero, as its button does.
    void RestartReceiver(const RestartCommand& command);
    // Who follows the receiver besides the window (the TTFF series), or null.
    void SetReceiverWatcher(ReceiverWatcher* watcher) { watcher_ = watcher; }
    // The window's context menu: "TTFF series...", enabled while the port is open.
    std::unique_ptr<QMenu> MakeContextMenu();
    // Opens the TTFF series dialog (modeless), or brings it to the front.
    void OpenTtffSeries();
    // The TTFF series dialog, null before it was first opened.
    CTtffDlg* ttffDialog() const { return ttffDlg_.get(); }
    // The devices listed, the line speed, whether data comes, the capture.
    PortLine& portLine() { return *portLine_; }
    // Puts one command sentence on the line: the sentence, CR and LF, in one write. Whether the
    // write succeeds is not looked at; with the port closed nothing goes out.
    void SendCommand(Text sentence);

    // Compose a chart and copy it onto the target at its frame's top-left corner, at the zoom.
    void DrawSkyPlot(QPainter& target);
    void DrawSignalBars(QPainter& target);
    // Projection with the geometry of the last sky plot redraw.
    Point SkyToPoint(double azimuth, double elevation) const;

    NmeaInterpreter& interpreter() { return interpreter_; }
    ReceiverState& state() { return interpreter_.state(); }

    // 1 while the port is open, else 0.
    std::int32_t portOpen() const { return portOpen_; }
    const NmeaOutputConfig& nmeaOutput() const { return nmeaOutput_; }
    // The output the receiver was last told to send.
    void SetNmeaOutput(const NmeaOutputConfig& config) { nmeaOutput_ = config; }
    const platform::Rect& skyFrameRect() const { return skyFrameRect_; }
    const platform::Rect& barFrameRect() const { return barFrameRect_; }
    // Where the chart of a frame shows at the window's zoom.
    QRect ChartArea(int frameId, const platform::Rect& frame) const;
    SkyPlotStyle skyStyle() const { return {displayFont_, skyLabelBox_, skyDotRadius_}; }
    // The geometry of the last sky plot redraw.
    SkyGeometry skyGeometry() const { return {skyRadius_, skyCentre_}; }

  protected:
    bool OnInitDialog() override;
    bool OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                   std::intptr_t* result) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // "COM%d:" of the port list's selection.
    Text SelectedPortName() const;
    // Opens the named port with a watcher that posts to this window, then sets the line up
    // again and empties its buffers (their results are not looked at).
    ErrorCode OpenAndConfigurePort(const Text& name);
    // What the user is told beside an open failure: the device tried and the system's reason.
    QString OpenFailureDetail() const;
    // The device went away while open: back to the closed state, and say so.
    void OnPortLost();
    void NotifyPortClosed(bool lost);
    void ScheduleFrame();
    void ShowLog();
    void FollowLogSetElsewhere();

    double skyRadius_ = 0.0;
    QFont displayFont_;
    std::int32_t skyLabelBox_ = 12;
    std::int32_t skyDotRadius_ = 9;
    platform::Rect skyFrameRect_;
    platform::Rect barFrameRect_;
    Point skyCentre_;
    NmeaOutputConfig nmeaOutput_;
    std::int32_t portOpen_ = 0;
    QIcon appIcon_;
    NmeaInterpreter interpreter_;
    Text openPortName_;
    // Sent with every notification of one opening, so that late notifications of a port that
    // has since been closed are recognised and dropped.
    std::intptr_t portGeneration_ = 0;
    // What the port's watcher posts through, so that a flood cannot fill the queue.
    NotifyGate notifyGate_{*this};
    // Waiting for the next frame.
    std::map<int, Text> pendingFields_;
    // The state each chart shows: taken when the core asks for a redraw, so what is painted is
    // what that redraw would have drawn, however late the paint comes.
    ReceiverState skyShown_;
    ReceiverState barsShown_;
    ChartCache charts_;
    LogLines log_{kLogMaxLines, kLogKeptFromLine};
    bool logChangedElsewhere_ = false;  // the control's text was set other than by AppendLog
    bool showingLog_ = false;
    bool skyRedrawDue_ = false;
    bool barsRedrawDue_ = false;
    FramePacer pacer_{kFrameMs, kFrameGapMs};
    bool readAtFrame_ = false;  // bytes were notified while a frame waited
    bool readAtOnce_ = false;   // a flood or a fast stream came by the last frame
    bool draining_ = false;     // the last read stopped with more waiting
    std::uint64_t bytesAtGather_ = 0;
    std::uint64_t bytesAtFrame_ = 0;
    ReceiverWatcher* watcher_ = nullptr;
    // Goes before the members above: it takes itself off as the watcher when destroyed.
    std::unique_ptr<CTtffDlg> ttffDlg_;
    std::unique_ptr<PortLine> portLine_;

    // Declared last so that it goes first: its destruction stops the watcher, which posts to
    // this window and reads the members above, and closes the port.
    CSerialWnd port_;
};

}  // namespace pathlux
