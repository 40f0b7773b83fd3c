// The monitor window as a user meets it: start, the log and its frames, the charts, the port.
#include "window/monitor_dlg.h"

#include <gtest/gtest.h>

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
using testing::WaitForEvents;

TEST_F(MonitorDlgTest, StartsClosedOnCom8WithTheStartTexts) {
    EXPECT_EQ(dialog.GetDlgItemText(res::kPortList), "COM8");
    EXPECT_TRUE(ShowsPort(false));
    EXPECT_EQ(dialog.GetDlgItemText(kLatitudeField), QString::fromUtf8("N000°00'00.00\""))
        << "shown from the start, not at a frame";
    // The log shows lines, it takes no typing.
    QTest::keyClicks(dialog.GetDlgItem(kLogField), "typed");
    EXPECT_EQ(dialog.GetDlgItemText(kLogField), "");
}

// Bursts of sentences show at the next frame, which comes by itself through the window's event
// loop: their log lines as one edit of the control that keeps the log's last lines, with the view
// on the last line (never just the empty line after it), whether or not the frame drops lines.
TEST_F(MonitorDlgTest, BurstsShowAtTheNextFrameAsOneLogEdit) {
    auto* log = qobject_cast<QPlainTextEdit*>(dialog.GetDlgItem(kLogField));
    QSignalSpy edits(log->document(), &QTextDocument::contentsChange);
    for (int burst = 0; burst < 3; ++burst) {
        SCOPED_TRACE(burst);
        std::string sentences;
        for (int i = 1; i <= 15; ++i) {
            sentences += "$GPRMC,1200" + std::to_string(10 + 15 * burst + i) +
                         ".00,A,4807.038,N,01131.000,E,22.4,359.9,230394,,*00\r\n";
        }
        Feed(sentences);
        EXPECT_EQ(edits.count(), burst) << "not before the frame";
        ASSERT_TRUE(WaitForEvents([&] { return !dialog.HasTimer(CMonitorDlg::kFrameTimerId); }));
        EXPECT_EQ(edits.count(), burst + 1);
        EXPECT_EQ(dialog.GetDlgItemText(kTimeField), QString("12:00:%1").arg(25 + 15 * burst));
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
        {"escape in a sentence", "$GP\x1bGSA\r", QString::fromUtf8("$GP␛GSA\n")},
        {"zero byte hides nothing", std::string_view("ab\0cd\r", 6), QString::fromUtf8("ab␀cd\n")},
        {"high byte", "x\xB0y\r", QString::fromUtf8("x\uFFFDy\n")},
        {"markup stays text", "<b>bold</b>\r\n", "<b>bold</b>\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        dialog.SetDlgItemText(kLogField, QString());
        Feed(c.bytes);
        EXPECT_EQ(Text(kLogField), c.shown);
    }
}

// The charts show what the core's redraw requests saw, and the bar scale rises at each request,
// however the frames and paints fall: two cycles within a frame, a hidden window, a cycle half
// received when the paint comes. At a zoom they are that geometry at as many times the pixels.
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
    // Two columns short: the date field's text reaches into the sky plot frame's last ones.
    const auto shown = [this](int frameId, const QImage& chart) {
        const QImage window = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const platform::Rect at = dialog.GetDlgItemRect(frameId);
        return window.copy(at.left, at.top, chart.width() - 2, chart.height()) ==
               chart.copy(0, 0, chart.width() - 2, chart.height())
                   .convertToFormat(QImage::Format_RGB32);
    };
    const platform::Rect bars = dialog.barFrameRect();
    const platform::Rect sky = dialog.skyFrameRect();
    const auto showsRedrawn = [&](int zoom) {
        SCOPED_TRACE(zoom);
        dialog.SetZoom({zoom, 1});
        SkyGeometry geometry;
        EXPECT_TRUE(
            shown(res::kBarFrame, ComposeSignalBars(redrawn, bars.Width(), bars.Height(), zoom)));
        EXPECT_TRUE(shown(res::kSkyFrame, ComposeSkyPlot(redrawn, sky.Width(), sky.Height(),
                                                         dialog.skyStyle(), zoom, geometry)));
    };
    showsRedrawn(1);
    showsRedrawn(2);
    // The next cycle is drawn over the frame's own background, not over the last chart.
    Feed("$GPGSV,1,1,02,01,60,200,40,02,30,120,33*00\r\n");
    redrawn = dialog.state();
    dialog.UpdateWindow();
    showsRedrawn(2);
}

// An open failure names the port, the device and the reason, and leaves the window closed, from
// the Open button and from a port change while open.
TEST_F(MonitorDlgTest, OpenFailureNamesThePortTheDeviceAndTheReason) {
    testing::MessageBoxCatcher boxes;
    SelectPort(3, "/nonexistent/tty3");
    EXPECT_TRUE(boxes.texts.isEmpty()) << "a selection change while closed opens nothing";
    ClickOpen();
    EXPECT_TRUE(ShowsPort(false));
    test::Pty receiver;
    ASSERT_TRUE(OpenOn(5, receiver.path()));
    SelectPort(6, "/nonexistent/tty6");
    EXPECT_TRUE(ShowsPort(false));
    EXPECT_EQ(CSerialPort::ProbePort(u"COM5:"), CSerialPort::kProbeAvailable)
        << "the previous port is closed";
    EXPECT_EQ(boxes.texts, (QStringList{"COM3: port open error!", "COM port open error!"}));
    EXPECT_EQ(boxes.details,
              (QStringList{"Device: /nonexistent/tty3\nReason: No such file or directory",
                           "Device: /nonexistent/tty6\nReason: No such file or directory"}));
}

// Open shows the receiver; a port change while open closes it and opens the new one; Close
// releases the port.
TEST_F(MonitorDlgTest, OpenPortChangeAndClose) {
    test::Pty first;
    test::Pty second;
    ASSERT_TRUE(OpenOn(5, first.path()));
    EXPECT_TRUE(ShowsPort(true));
    first.Send("$GPGGA,123519,4807.038,S,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    EXPECT_TRUE(WaitForEvents([this] { return Text(kAltitudeField) == "545.4m"; }));
    EXPECT_EQ(Text(kLatitudeField), QString::fromUtf8("S048°07'02.28\""));

    SelectPort(6, second.path());
    EXPECT_EQ(CSerialPort::ProbePort(u"COM5:"), CSerialPort::kProbeAvailable) << "released";
    first.Send("$GPGSA,A,3,,,,,,,,,,,,,9.9,9.9,9.9*00\r");
    second.Send("$GPGSA,A,2,,,,,,,,,,,,,1.1,2.2,3.3*00\r");
    EXPECT_TRUE(WaitForEvents([this] { return Text(kPdopField) == "1.1"; }));

    ClickOpen();
    EXPECT_TRUE(ShowsPort(false));
    EXPECT_EQ(CSerialPort::ProbePort(u"COM6:"), CSerialPort::kProbeAvailable);
}

TEST_F(MonitorDlgTest, LateNotificationsOfAClosedPortAreIgnored) {
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
    second.Send("$GPGSA,A,2,,,,,,,,,,,,,1.1,2.2,3.3*00\r");
    EXPECT_TRUE(WaitForEvents([this] { return Text(kPdopField) == "1.1"; }));
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
