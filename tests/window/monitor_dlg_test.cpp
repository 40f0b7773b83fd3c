// The monitor window as a user meets it: start, the log and its frames, the charts, the port.
#include "window/monitor_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <cstdlib>
#include <string>

#include "res/dialog102.h"
#include "tests/support/pty.h"
#include "tests/window/monitor_fixture.h"
#include "window/signal_bars.h"
#include "window/sky_plot.h"

namespace pathlux {
namespace {

using MonitorDlgTest = testing::MonitorFixture;
using testing::MessageBoxCatcher;

TEST_F(MonitorDlgTest, StartsClosedOnCom8WithTheStartTexts) {
    EXPECT_EQ(dialog.GetDlgItemText(res::kPortList), "COM8");
    EXPECT_EQ(dialog.GetDlgItemText(res::kOpenButton), "Open");
    EXPECT_TRUE(CommandButtonsEnabled(false));
    const struct {
        int id;
        QString text;
    } cases[] = {
        {kLatitudeField, QString::fromUtf8("N000°00'00.00\"")},
        {kLongitudeField, QString::fromUtf8("E000°00'00.00\"")},
        {kSpeedField, "0km/h"},
        {kCourseField, QString::fromUtf8("0°")},
        {kAltitudeField, "0m"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(dialog.GetDlgItemText(c.id), c.text) << "shown from the start, not at a frame";
    }
    // The focus starts on the first enabled tab stop; the log shows lines, it takes no typing.
    EXPECT_EQ(dialog.focusWidget(), dialog.GetDlgItem(res::kOpenButton));
    QTest::keyClicks(dialog.GetDlgItem(kLogField), "typed");
    EXPECT_EQ(dialog.GetDlgItemText(kLogField), "");
}

// A burst of sentences is shown at the next frame, its log lines as one edit of the control that
// keeps the log's last lines; the frame comes by itself through the window's event loop.
TEST_F(MonitorDlgTest, ABurstShowsAtTheNextFrameAsOneLogEdit) {
    auto* log = qobject_cast<QPlainTextEdit*>(dialog.GetDlgItem(kLogField));
    QSignalSpy edits(log->document(), &QTextDocument::contentsChange);
    std::string burst;
    for (int i = 1; i <= 45; ++i) {
        burst += "$GPRMC,1200" + std::to_string(10 + i) +
                 ".00,A,4807.038,N,01131.000,E,22.4,359.9,230394,,*00\r\n";
    }
    Feed(burst);
    EXPECT_EQ(dialog.GetDlgItemText(kTimeField), "00:00:00") << "not before the frame";
    EXPECT_EQ(edits.count(), 0);
    ASSERT_TRUE(WaitFor([&] { return !dialog.HasTimer(CMonitorDlg::kFrameTimerId); }));
    EXPECT_EQ(dialog.GetDlgItemText(kTimeField), "12:00:55");
    EXPECT_EQ(edits.count(), 1);
    // 30 lines, the 31st leaves 11 (21-31), then 14 more.
    const QStringList lines = dialog.GetDlgItemText(kLogField).split(u'\n');
    ASSERT_EQ(lines.size(), 26);
    EXPECT_TRUE(lines.front().startsWith("$GPRMC,120031.00"));
    EXPECT_TRUE(lines[24].startsWith("$GPRMC,120055.00"));
}

// Seconds of seven lines, some wider than the log: whether or not a second drops the oldest lines,
// the log shows its last line, never just the empty line after it.
TEST_F(MonitorDlgTest, TheLogShowsItsLastLineAfterEveryFrame) {
    auto* log = qobject_cast<QPlainTextEdit*>(dialog.GetDlgItem(kLogField));
    for (int second = 0; second < 12; ++second) {
        SCOPED_TRACE(second);
        for (int i = 0; i < 7; ++i) {
            dialog.AppendLog(i % 3 == 0
                                 ? u"$GPGSV,3,1,12,01,40,083,46,02,17,308,41,12,07,344,39*75\r\n"
                                 : u"$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*35\r\n");
        }
        dialog.UpdateWindow();
        QCoreApplication::processEvents();  // the scroll bars settle
        const int top = log->cursorForPosition(QPoint(2, 2)).blockNumber();
        const int lastLine = log->blockCount() - 2;  // the last block is the empty line
        EXPECT_LE(top, lastLine);
        EXPECT_GE(top, lastLine - 2) << "the view follows the end";
    }
}

// Lines waiting for the frame reach the log whatever happens to its text meanwhile.
TEST_F(MonitorDlgTest, LinesWaitingForTheFrameSurviveAChangeOfTheLog) {
    dialog.AppendLog(u"shown\r\n");
    dialog.UpdateWindow();
    Feed("$GPGSA,A,1*1E\r\n$GPRMC,1*00\r\n");
    auto* log = qobject_cast<QPlainTextEdit*>(dialog.GetDlgItem(kLogField));
    QTextCursor(log->document()).insertText("edit\n");
    dialog.AppendLog(u"after\r\n");
    EXPECT_EQ(Text(kLogField), "edit\nshown\n$GPGSA,A,1*1E\n$GPRMC,1*00\nafter\n");
}

TEST_F(MonitorDlgTest, LogShowsControlCharactersVisibly) {
    const struct {
        const char* legend;
        std::string_view bytes;
        QString shown;
    } cases[] = {
        {"escape in a sentence", "$GP\x1bGSA\r", QString::fromUtf8("$GP␛GSA")},
        {"zero byte hides nothing", std::string_view("ab\0cd\r", 6), QString::fromUtf8("ab␀cd")},
        {"high byte", "x\xB0y\r", QString::fromUtf8("x\uFFFDy")},
        {"markup stays text", "<b>bold</b>\r\n", "<b>bold</b>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        dialog.SetDlgItemText(kLogField, QString());
        Feed(c.bytes);
        EXPECT_EQ(LogLines(), QStringList{c.shown});
    }
}

// The charts show what the core's redraw requests saw, and the bar scale rises at each request,
// however the frames and paints fall: two cycles within a frame, a hidden window, a cycle half
// received when the paint comes.
TEST_F(MonitorDlgTest, ChartsShowTheirLastRedrawWhateverTheFrameTiming) {
    dialog.hide();
    Feed("$GPGSV,1,1,02,01,40,083,60,02,17,308,41*00\r\n");
    Feed("$GPGSV,1,1,02,01,40,083,30,02,17,308,31*00\r\n");
    EXPECT_EQ(dialog.state().maxSnr, 60);
    dialog.show();
    Feed("$GPGSA,A,3,01,02,,,,,,,,,,,2.5,1.3,2.1*00\r\n");
    Feed("$GPGSV,1,1,02,01,45,090,45,02,20,300,35*00\r\n");
    ReceiverState redrawn = dialog.state();
    Feed("$GPGSV,2,1,05,01,80,200,12,02,10,100,18,03,50,050,20,04,30,150,25*00\r\n");
    const QImage window = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The date field's text reaches into the last column of the sky plot's frame.
    const auto shown = [&window](const platform::Rect& frame, const QImage& chart) {
        return window.copy(frame.left, frame.top, chart.width() - 1, chart.height()) ==
               chart.copy(0, 0, chart.width() - 1, chart.height())
                   .convertToFormat(QImage::Format_RGB32);
    };
    const platform::Rect bars = dialog.barFrameRect();
    EXPECT_TRUE(shown(bars, ComposeSignalBars(redrawn, bars.Width(), bars.Height(), 1.0)));
    const platform::Rect sky = dialog.skyFrameRect();
    SkyGeometry geometry;
    EXPECT_TRUE(shown(
        sky, ComposeSkyPlot(redrawn, sky.Width(), sky.Height(), dialog.skyStyle(), 1.0, geometry)));
}

// An open failure names the port, the device and the reason, and leaves the window closed, from
// the Open button and from a port change while open.
TEST_F(MonitorDlgTest, OpenFailureNamesThePortTheDeviceAndTheReason) {
    const struct {
        const char* legend;
        bool openFirst;
        int port;
        QString text;
    } cases[] = {
        {"third item", false, 3, "COM3: port open error!"},
        {"two-digit port", false, 12, "COM12: port open error!"},
        {"port change while open", true, 6, "COM port open error!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        test::Pty receiver;
        if (c.openFirst) {
            SelectPort(5, receiver.path());
            ClickOpen();
            ASSERT_EQ(dialog.portOpen(), 1);
        }
        MessageBoxCatcher boxes;
        const std::string device = "/nonexistent/tty" + std::to_string(c.port);
        SelectPort(c.port, device);
        if (!c.openFirst) {
            EXPECT_TRUE(boxes.texts.isEmpty()) << "a selection change while closed opens nothing";
            ClickOpen();
        }
        EXPECT_EQ(boxes.texts, QStringList{c.text});
        EXPECT_EQ(boxes.details, QStringList{QString::fromStdString(
                                     "Device: " + device + "\nReason: No such file or directory")});
        EXPECT_EQ(dialog.portOpen(), 0);
        EXPECT_EQ(Text(res::kOpenButton), "Open");
        EXPECT_TRUE(CommandButtonsEnabled(false));
        if (c.openFirst) {
            EXPECT_EQ(CSerialPort::ProbePort(u"COM5:"), CSerialPort::kProbeAvailable)
                << "the previous port is closed";
        }
    }
}

TEST_F(MonitorDlgTest, PortListTellsWhichDeviceEachNameIs) {
    setenv("PATHLUX_COM2", "/dev/pathlux-receiver", 1);
    CMonitorDlg other;
    other.Create();
    auto* list = qobject_cast<QComboBox*>(other.GetDlgItem(res::kPortList));
    EXPECT_EQ(list->itemData(1, Qt::ToolTipRole).toString(), "/dev/pathlux-receiver");
    EXPECT_EQ(list->toolTip(), list->itemData(7, Qt::ToolTipRole).toString());
    unsetenv("PATHLUX_COM2");
}

// Open shows the receiver; a port change while open closes it and opens the new one; Close
// releases the port.
TEST_F(MonitorDlgTest, OpenPortChangeAndClose) {
    test::Pty first;
    test::Pty second;
    SelectPort(5, first.path());
    ClickOpen();
    ASSERT_EQ(dialog.portOpen(), 1);
    EXPECT_EQ(Text(res::kOpenButton), "Close");
    EXPECT_TRUE(CommandButtonsEnabled(true));
    first.Send("$GPGGA,123519,4807.038,S,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    EXPECT_TRUE(WaitFor([this] { return Text(kAltitudeField) == "545.4m"; }));
    EXPECT_EQ(Text(kLatitudeField), QString::fromUtf8("S048°07'02.28\""));

    SelectPort(6, second.path());
    EXPECT_EQ(dialog.portOpen(), 1);
    EXPECT_EQ(CSerialPort::ProbePort(u"COM5:"), CSerialPort::kProbeAvailable) << "released";
    first.Send("$GPGSA,A,3,,,,,,,,,,,,,9.9,9.9,9.9*00\r");
    second.Send("$GPGSA,A,2,,,,,,,,,,,,,1.1,2.2,3.3*00\r");
    EXPECT_TRUE(WaitFor([this] { return Text(kPdopField) == "1.1"; }));

    ClickOpen();
    EXPECT_EQ(dialog.portOpen(), 0);
    EXPECT_EQ(Text(res::kOpenButton), "Open");
    EXPECT_TRUE(CommandButtonsEnabled(false));
    EXPECT_EQ(CSerialPort::ProbePort(u"COM6:"), CSerialPort::kProbeAvailable);
}

TEST_F(MonitorDlgTest, UnpluggedDeviceReturnsTheWindowToClosed) {
    MessageBoxCatcher boxes;
    test::Pty receiver;
    SelectPort(5, receiver.path());
    ClickOpen();
    ASSERT_EQ(dialog.portOpen(), 1);
    receiver.CloseMaster();
    EXPECT_TRUE(WaitFor([this] { return dialog.portOpen() == 0; }));
    EXPECT_EQ(Text(res::kOpenButton), "Open");
    EXPECT_TRUE(CommandButtonsEnabled(false));
    EXPECT_EQ(boxes.texts, QStringList{"COM5: device lost, port closed."});
}

TEST_F(MonitorDlgTest, LateNotificationsOfAClosedPortAreIgnored) {
    MessageBoxCatcher boxes;
    test::Pty first;
    test::Pty second;
    SelectPort(5, first.path());
    const int before = test::BaselineThreadCount();
    dialog.OnOpenButton();
    ASSERT_EQ(dialog.portOpen(), 1);
    // The first device goes away; its watcher posts the loss and ends before anything is handled.
    first.CloseMaster();
    ASSERT_EQ(test::SettledThreadCount(before), before);
    dialog.OnOpenButton();  // closes
    setenv("PATHLUX_COM5", second.path().c_str(), 1);
    dialog.OnOpenButton();  // opens the second device on the same name
    ASSERT_EQ(dialog.portOpen(), 1);
    QCoreApplication::sendPostedEvents(&dialog);
    EXPECT_EQ(dialog.portOpen(), 1) << "the first device's loss does not close the second";
    EXPECT_TRUE(boxes.texts.isEmpty());
    second.Send("$GPGSA,A,2,,,,,,,,,,,,,1.1,2.2,3.3*00\r");
    EXPECT_TRUE(WaitFor([this] { return Text(kPdopField) == "1.1"; }));
}

TEST(monitor_dlg_test, ClosingTheWindowWhileOpenStopsTheWatcher) {
    testing::TestApp();
    test::Pty receiver;
    setenv("PATHLUX_COM4", receiver.path().c_str(), 1);
    int before = 0;
    test::BaselineThreadCount();
    {
        CMonitorDlg dialog;
        dialog.Create();
        dialog.SetCurSel(res::kPortList, 3);
        before = test::CountThreads();
        QTest::mouseClick(dialog.GetDlgItem(res::kOpenButton), Qt::LeftButton);
        ASSERT_EQ(dialog.portOpen(), 1);
        EXPECT_EQ(test::CountThreads(), before + 1) << "the watcher";
        dialog.close();
    }
    EXPECT_EQ(test::SettledThreadCount(before), before);
    EXPECT_EQ(CSerialPort::ProbePort(u"COM4:"), CSerialPort::kProbeAvailable);
}

}  // namespace
}  // namespace pathlux
