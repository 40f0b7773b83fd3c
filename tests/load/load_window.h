// The monitor window as the load tests and the flood benchmark drive it: on the simulator,
// counting the log lines the core hands it and following the times it shows.
#pragma once

#include <QTest>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "res/dialog102.h"
#include "tests/support/sim_process.h"
#include "window/monitor_dlg.h"

namespace pathlux::test {

class CountingMonitor : public CMonitorDlg {
  public:
    // One per line the framer finished; every simulator line is one sentence.
    void AppendLog(Text line) override {
        ++logLines;
        CMonitorDlg::AppendLog(std::move(line));
    }

    // Once the simulator has named its device, points COM8: at path (the device when empty) and
    // presses Open; from then on the simulator's waits handle the window's events. A device that
    // never came opens nothing.
    bool OpenOn(SimProcess& sim, const std::string& path = "") {
        sim.WaitForDevice();
        sim.SetPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); });
        setenv("PATHLUX_COM8", (path.empty() ? sim.FirstLine() : path).c_str(), 1);
        SetCurSel(res::kPortList, 7);
        QTest::mouseClick(GetDlgItem(res::kOpenButton), Qt::LeftButton);
        return portOpen() == 1;
    }

    // The times the RMC handler showed, as seconds of the day: the first, the last, and how often
    // one was not the second after the one before.
    void SetFieldText(int controlId, const Text& text) override {
        if (controlId == kTimeField && text.size() == 8) {
            const auto digits = [&](std::size_t i) {
                return (text[i] - u'0') * 10 + text[i + 1] - u'0';
            };
            const int shown = digits(0) * 3600 + digits(3) * 60 + digits(6);
            firstShown = firstShown < 0 ? shown : firstShown;
            skips += lastShown >= 0 && shown != lastShown + 1;
            lastShown = shown;
        }
        CMonitorDlg::SetFieldText(controlId, text);
    }

    std::uint64_t logLines = 0;
    int firstShown = -1;
    int lastShown = -1;
    int skips = 0;
};

}  // namespace pathlux::test
