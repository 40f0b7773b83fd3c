// What the interpreter writes to: the monitor window implements it, and so do the tests and the
// headless replay tool.
#pragma once

#include "nmea/text.h"

namespace pathlux {

// Text controls of the monitor window, by identifier.
enum ControlId : int {
    kLatitudeField = 1006,
    kLongitudeField = 1007,
    kLogField = 1013,
    kFixField = 1017,
    kTtffField = 1018,
    kVersionField = 1019,
    kHdopField = 1023,
    kPdopField = 1024,
    kVdopField = 1025,
    kTimeField = 1028,
    kSpeedField = 1034,
    kCourseField = 1035,
    kAltitudeField = 1036,
    kDateField = 1037,
};

constexpr int kTtffTimerId = 2;
constexpr int kTtffTimerPeriodMs = 1000;

class MonitorDisplay {
  public:
    virtual ~MonitorDisplay() = default;

    virtual void SetFieldText(int controlId, const Text& text) = 0;
    // One line for the log, its carriage return and line feed already appended.
    virtual void AppendLog(const Text& line) = 0;
    // Starts the timer, or restarts it so that the next tick is one period from now.
    virtual void StartTimer(int timerId, int periodMs) = 0;
    virtual void StopTimer(int timerId) = 0;
    virtual void RedrawSkyPlot() = 0;
    virtual void RedrawSignalBars() = 0;
};

}  // namespace pathlux
