// The monitor window as the load tests and the flood benchmark drive it: on a device given by
// path, counting the log lines the core hands it and noting every time it shows.
#pragma once

#include <QTest>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "res/dialog102.h"
#include "window/monitor_dlg.h"

namespace pathlux::test {

class CountingMonitor : public CMonitorDlg {
  public:
    // One per line the framer finished; every simulator line is one sentence.
    void AppendLog(Text line) override {
        ++logLines;
        CMonitorDlg::AppendLog(std::move(line));
    }

    // Points COMn: at the device and presses Open while the port list shows it.
    void OpenOn(int number, const std::string& device) {
        const std::string variable = "PATHLUX_COM" + std::to_string(number);
        setenv(variable.c_str(), device.c_str(), 1);
        SetCurSel(res::kPortList, number - 1);
        QTest::mouseClick(GetDlgItem(res::kOpenButton), Qt::LeftButton);
    }

    // Every time the RMC handler showed, as seconds of the day.
    void SetFieldText(int controlId, const Text& text) override {
        if (recordTimes && controlId == kTimeField && text.size() == 8) {
            const auto digits = [&](std::size_t at) {
                return (text[at] - u'0') * 10 + text[at + 1] - u'0';
            };
            timesShown.push_back(digits(0) * 3600 + digits(3) * 60 + digits(6));
        }
        CMonitorDlg::SetFieldText(controlId, text);
    }

    std::uint64_t logLines = 0;
    // Off for long runs, where the record itself would grow.
    bool recordTimes = true;
    std::vector<int> timesShown;
};

}  // namespace pathlux::test
