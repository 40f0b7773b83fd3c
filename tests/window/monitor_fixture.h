// A monitor window made for a test, with what a user does to it: pick a port, press buttons,
// wait while the window handles events.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <cstdlib>
#include <string>
#include <string_view>

#include "res/dialog102.h"
#include "tests/common/message_box_catcher.h"
#include "tests/common/qt_test_app.h"
#include "window/monitor_dlg.h"

namespace pathlux::testing {

// Generous: only a machine that has stopped would reach it; no result depends on it.
constexpr int kPatienceMs = 20000;

// Handles events until the condition holds; false if it never does.
template <class Condition>
bool WaitForEvents(Condition condition) {
    const QDeadlineTimer deadline(kPatienceMs);
    while (!condition() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents,
                                        static_cast<int>(deadline.remainingTime()));
    }
    return condition();
}

class MonitorFixture : public ::testing::Test {
  protected:
    MonitorFixture() { dialog.Create(); }

    // What the control shows once the window's next frame is drawn.
    QString Text(int id) {
        dialog.UpdateWindow();
        return dialog.GetDlgItemText(id);
    }
    template <class Condition>
    bool WaitFor(Condition condition) {
        return WaitForEvents(condition);
    }
    // Points COMn: at a device and selects it as the user would, with the keyboard.
    void SelectPort(int number, const std::string& device) {
        const std::string variable = "PATHLUX_COM" + std::to_string(number);
        setenv(variable.c_str(), device.c_str(), 1);
        QWidget* list = dialog.GetDlgItem(res::kPortList);
        list->setFocus();
        const int steps = number - 1 - dialog.GetCurSel(res::kPortList);
        for (int i = 0; i < std::abs(steps); ++i) {
            QTest::keyClick(list, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
        }
    }
    void Click(int id) { QTest::mouseClick(dialog.GetDlgItem(id), Qt::LeftButton); }
    // Bytes straight into the core, as if read from the port.
    void Feed(std::string_view bytes) {
        dialog.interpreter().FeedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                       bytes.size());
    }
    bool CommandButtonsEnabled(bool enabled) const {
        for (const int id : {res::kColdButton, res::kWarmButton, res::kHotButton,
                             res::kFactoryButton, res::kNmeaButton}) {
            if (dialog.GetDlgItem(id)->isEnabled() != enabled) {
                return false;
            }
        }
        return true;
    }
    void ClickOpen() { Click(res::kOpenButton); }
    QStringList LogLines() {
        QStringList lines = Text(kLogField).split(u'\n');
        lines.removeLast();  // the empty line after the last line break
        return lines;
    }

    QApplication& application = TestApp();  // before any widget
    CMonitorDlg dialog;
};

}  // namespace pathlux::testing
