// The monitor window: port selection and opening, the display fields, the log, the TTFF timer,
// the sky plot and the signal bars. It is the display the interpretation core writes to.
#pragma once

#include <QFont>
#include <QIcon>
#include <cstdint>

#include "nmea/display.h"
#include "nmea/interpreter.h"
#include "platform/qt/dialog.h"
#include "platform/qt/rect.h"
#include "window/sky_geometry.h"

class QPainter;

namespace pathlux {

class CMonitorDlg : public platform::Dialog, public MonitorDisplay {
  public:
    static constexpr int kLogMaxLines = 30;
    static constexpr int kLogKeptFromLine = 20;  // lines before this one go when the log is full

    CMonitorDlg();
    ~CMonitorDlg() override;

    // What the interpretation core writes to.
    void SetFieldText(int controlId, const Text& text) override;
    void AppendLog(Text line) override;
    void StartTimer(int timerId, int periodMs) override;
    void StopTimer(int timerId) override;
    void RedrawSkyPlot() override;
    void RedrawSignalBars() override;

    void EnableCommandButtons(bool enable);
    void OnPaint();
    void OnTimer(int timerId);

    // Compose a chart and copy it onto the target at its frame's top-left corner.
    void DrawSkyPlot(QPainter& target);
    void DrawSignalBars(QPainter& target);
    // Projection with the geometry of the last sky plot redraw.
    Point SkyToPoint(double azimuth, double elevation) const;

    NmeaInterpreter& interpreter() { return interpreter_; }
    ReceiverState& state() { return interpreter_.state(); }

    double skyRadius = 0.0;
    QFont displayFont;
    std::int32_t skyLabelBox = 12;
    std::int32_t skyDotRadius = 9;
    platform::Rect skyFrameRect;
    platform::Rect barFrameRect;
    Point skyCentre;
    std::int32_t portOpen = 0;
    QIcon appIcon;

  protected:
    bool OnInitDialog() override;
    bool OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                   std::intptr_t* result) override;

  private:
    NmeaInterpreter interpreter_;
};

}  // namespace pathlux
