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

// Selects an item of a drop-down list as the user would, with the keyboard.
inline void ChooseItem(const platform::Dialog& dialog, int listId, int index) {
    QWidget* list = dialog.GetDlgItem(listId);
    list->setFocus();
    const int steps = index - dialog.GetCurSel(listId);
    for (int i = 0; i < std::abs(steps); ++i) {
        QTest::keyClick(list, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
    }
}

class MonitorFixture : public ::testing::Test {
  protected:
    MonitorFixture() { dialog.Create(); }

    // What the control shows once the window's next frame is drawn.
    QString Text(int id) {
        dialog.UpdateWindow();
        return dialog.GetDlgItemText(id);
    }
    // Points COMn: at a device and selects it as the user would.
    void SelectPort(int number, const std::string& device) {
        setenv(("PATHLUX_COM" + std::to_string(number)).c_str(), device.c_str(), 1);
        ChooseItem(dialog, res::kPortList, number - 1);
    }
    void Click(int id) { QTest::mouseClick(dialog.GetDlgItem(id), Qt::LeftButton); }
    // Bytes straight into the core, as if read from the port.
    void Feed(std::string_view bytes) {
        dialog.interpreter().FeedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                       bytes.size());
    }
    void ClickOpen() { Click(res::kOpenButton); }
    // Points COMn: at the device and presses Open; true once the port is open.
    bool OpenOn(int number, const std::string& device) {
        SelectPort(number, device);
        ClickOpen();
        return dialog.portOpen() == 1;
    }
    // The port's state as the window shows it: the Open button's caption and the command buttons.
    bool ShowsPort(bool open) {
        bool shown =
            dialog.portOpen() == int{open} && Text(res::kOpenButton) == (open ? "Close" : "Open");
        for (const int id : {res::kColdButton, res::kWarmButton, res::kHotButton,
                             res::kFactoryButton, res::kNmeaButton}) {
            shown = shown && dialog.GetDlgItem(id)->isEnabled() == open;
        }
        return shown;
    }

    QApplication& application = TestApp();  // before any widget
    CMonitorDlg dialog;
};

}  // namespace pathlux::testing
