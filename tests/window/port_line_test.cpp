// The window's line beyond the design, offscreen on the simulator: the devices listed when the
// list drops down, the automatic speed against a receiver at 38400 baud, the silence of a stopped
// receiver, and a capture read back as it was received.
#include "window/port_line.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QPainter>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "res/dialog102.h"
#include "tests/common/message_box_catcher.h"
#include "tests/common/qt_test_app.h"
#include "tests/support/sim_process.h"
#include "window/monitor_dlg.h"

namespace pathlux {
namespace {

namespace fs = std::filesystem;
using testing::MessageBoxCatcher;
using testing::TestApp;

// The window with the lines its log was given, each without its CR LF.
class LoggingMonitor : public CMonitorDlg {
  public:
    void AppendLog(const Text& line) override {
        const QString text = QString::fromStdU16String(line);
        logLines << (text.endsWith("\r\n") ? text.chopped(2) : text);
        CMonitorDlg::AppendLog(line);
    }
    QStringList logLines;
};

// The window opened as "pathlux --port DEVICE --open" and more would open it.
void Start(CMonitorDlg& dialog, const std::string& device, StartOptions options = {}) {
    options.port = Text(device.begin(), device.end());
    options.open = true;
    dialog.portLine().SetStartOptions(options);
    dialog.Create();
}

QStringList ListItems(CMonitorDlg& dialog) {
    auto* list = qobject_cast<QComboBox*>(dialog.GetDlgItem(res::kPortList));
    list->showPopup();
    list->hidePopup();
    QStringList items;
    for (int i = 16; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

// The chart as the window composes it, without anything over it.
QImage ComposedSky(CMonitorDlg& dialog) {
    const platform::Rect& frame = dialog.skyFrameRect();
    QImage image(frame.Width(), frame.Height(), QImage::Format_RGB32);
    QPainter painter(&image);
    painter.translate(-frame.left, -frame.top);
    dialog.DrawSkyPlot(painter);
    return image;
}

// The chart as the window paints it (without the controls beside it, one of which overlaps it).
QImage ShownSky(CMonitorDlg& dialog) {
    const platform::Rect& frame = dialog.skyFrameRect();
    QImage image(frame.Width(), frame.Height(), QImage::Format_RGB32);
    dialog.render(&image, QPoint(), QRegion(frame.left, frame.top, frame.Width(), frame.Height()),
                  QWidget::DrawWindowBackground);
    return image;
}

std::string ReadAll(const std::string& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

class PortLineTest : public ::testing::Test {
  protected:
    // Pumps the window's events while the simulator runs.
    void Drive(test::SimProcess& sim) {
        sim.SetPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
    }
    bool TitleHas(const CMonitorDlg& dialog, const char* text) {
        return dialog.windowTitle().contains(QString::fromUtf8(text));
    }

    QApplication& application = TestApp();
    MessageBoxCatcher boxes;
};

TEST_F(PortLineTest, TheListShowsTheDevicesPresentEachTimeItDropsDownAndHowToMapCom) {
    const fs::path root = fs::path(::testing::TempDir()) / "port_line_test";
    fs::remove_all(root);
    fs::create_directories(root / "dev");
    std::ofstream(root / "dev" / "ttyUSB0").close();
    setenv("PATHLUX_COM2", "/dev/pathlux-receiver", 1);
    CMonitorDlg dialog;
    dialog.portLine().SetDeviceRoots((root / "dev").string(), (root / "sys").string());
    StartOptions options;
    options.port = u"/dev/gps-cable";  // not present: listed anyway, and selected
    dialog.portLine().SetStartOptions(options);
    dialog.Create();
    EXPECT_EQ(dialog.GetDlgItemText(res::kPortList), "/dev/gps-cable");
    // Each item's tooltip, and the list's, names the device.
    auto* list = qobject_cast<QComboBox*>(dialog.GetDlgItem(res::kPortList));
    EXPECT_EQ(list->itemData(1, Qt::ToolTipRole).toString(), "/dev/pathlux-receiver");
    EXPECT_EQ(list->toolTip(), list->itemData(list->currentIndex(), Qt::ToolTipRole).toString());
    unsetenv("PATHLUX_COM2");
    EXPECT_EQ(ListItems(dialog), QStringList({"ttyUSB0", "/dev/gps-cable"}));

    // A receiver plugged in later shows; one unplugged goes, unless it is the one selected.
    dialog.SetCurSel(res::kPortList, 16);
    fs::remove(root / "dev" / "ttyUSB0");
    std::ofstream(root / "dev" / "ttyACM0").close();
    EXPECT_EQ(ListItems(dialog), QStringList({"ttyACM0", "/dev/gps-cable", "ttyUSB0"}));
    EXPECT_EQ(dialog.GetDlgItemText(res::kPortList), "ttyUSB0");
    EXPECT_EQ(dialog.portLine().PortNameAt(dialog.GetCurSel(res::kPortList)),
              QString::fromStdString((root / "dev" / "ttyUSB0").string()).toStdU16String());
    EXPECT_EQ(dialog.portLine().PortNameAt(7), u"COM8:");
    fs::remove_all(root);

    // A COMn that is not mapped and has no device says how to map it.
    unsetenv("PATHLUX_COM7");
    if (access("/dev/ttyS6", F_OK) != 0) {
        dialog.SetCurSel(res::kPortList, 6);
        dialog.OnOpenButton();
        ASSERT_EQ(boxes.texts, QStringList({"COM7: port open error!"}));
        EXPECT_TRUE(boxes.details[0].contains("COM7 is /dev/ttyS6 unless mapped."));
        EXPECT_TRUE(boxes.details[0].contains("PATHLUX_COM7=/dev/ttyUSB0 pathlux"));
    }
}

// At 9600 the receiver's 38400 baud is garbage, and said to be; Automatic finds 38400.
TEST_F(PortLineTest, AutomaticSpeedFindsAReceiverAt38400) {
    test::SimProcess sim({"--baud", "38400", "--duration", "120"});
    ASSERT_TRUE(sim.WaitForDevice());
    CMonitorDlg dialog;
    Drive(sim);
    Start(dialog, sim.FirstLine());
    ASSERT_TRUE(sim.WaitFor([&] { return dialog.portOpen() == 1; }));
    EXPECT_TRUE(TitleHas(dialog, "9600 baud"));
    ASSERT_TRUE(sim.WaitFor([&] { return TitleHas(dialog, "garbage: wrong speed?"); }))
        << dialog.windowTitle().toStdString();
    ASSERT_TRUE(sim.WaitFor([&] { return !dialog.portLine().greyText().isEmpty(); }));
    EXPECT_EQ(dialog.portLine().greyText(), "garbage: wrong speed?");

    // Automatic, as the context menu's Speed submenu chooses it.
    const std::unique_ptr<QMenu> menu = dialog.MakeContextMenu();
    QAction* automatic = nullptr;
    for (const QAction* entry : menu->actions()) {
        if (entry->text() == "Speed") {
            automatic = entry->menu()->actions().last();
        }
    }
    ASSERT_NE(automatic, nullptr);
    ASSERT_EQ(automatic->text(), "Automatic");
    automatic->trigger();
    EXPECT_TRUE(TitleHas(dialog, "automatic: trying 9600 baud"));
    ASSERT_TRUE(sim.WaitFor([&] { return TitleHas(dialog, "38400 baud, found automatically"); }))
        << dialog.windowTitle().toStdString();
    EXPECT_EQ(dialog.portLine().lineSpeed(), 38400u);
    // The receiver is read: its sentences reach the fields.
    ASSERT_TRUE(sim.WaitFor([&] {
        dialog.UpdateWindow();
        return dialog.GetDlgItemText(kTimeField) != "00:00:00";
    }));
    EXPECT_TRUE(dialog.portLine().greyText().isEmpty());
    EXPECT_FALSE(TitleHas(dialog, "garbage"));
}

// A stopped receiver is no data, greyed over the charts, and the fields keep their texts; its
// next sentence clears it. Otherwise the charts are exactly as composed.
TEST_F(PortLineTest, NoDataWhileTheReceiverIsStopped) {
    test::SimProcess sim({"--speed", "10", "--duration", "120"});
    ASSERT_TRUE(sim.WaitForDevice());
    CMonitorDlg dialog;
    Drive(sim);
    Start(dialog, sim.FirstLine());
    ASSERT_TRUE(sim.WaitFor([&] {
        dialog.UpdateWindow();
        return dialog.GetDlgItemText(kFixField) == "3D";
    }));
    EXPECT_EQ(ShownSky(dialog), ComposedSky(dialog));

    sim.Signal(SIGSTOP);
    ASSERT_TRUE(sim.WaitFor([&] { return TitleHas(dialog, "no data for 3 s"); }))
        << dialog.windowTitle().toStdString();
    EXPECT_EQ(dialog.portLine().greyText(), "no data for 3 s");
    EXPECT_NE(ShownSky(dialog), ComposedSky(dialog));
    EXPECT_EQ(dialog.GetDlgItemText(kFixField), "3D") << "the fields keep their texts";
    ASSERT_TRUE(sim.WaitFor([&] { return TitleHas(dialog, "no data for 4 s"); }));

    sim.Signal(SIGCONT);
    ASSERT_TRUE(sim.WaitFor([&] { return !TitleHas(dialog, "no data"); }));
    EXPECT_TRUE(dialog.portLine().greyText().isEmpty());
    EXPECT_EQ(ShownSky(dialog), ComposedSky(dialog));
}

// Everything received until the receiver was unplugged is in the capture, with the command sent;
// pathlux-replay reads back the lines the window showed.
TEST_F(PortLineTest, ACaptureReadsBackAsReceivedUntilTheDeviceIsLost) {
    const std::string capture = ::testing::TempDir() + "port_line_test.cap";
    // Noise puts every byte value on the line.
    test::SimProcess sim({"--speed", "5", "--duration", "120", "--fault", "noise"});
    ASSERT_TRUE(sim.WaitForDevice());
    LoggingMonitor dialog;
    Drive(sim);
    StartOptions options;
    options.record = capture;
    Start(dialog, sim.FirstLine(), options);
    ASSERT_TRUE(sim.WaitFor([&] { return dialog.logLines.size() >= 40; }));
    dialog.RestartReceiver(kRestartCommands[0]);
    ASSERT_TRUE(sim.WaitFor([&] { return sim.StderrHas(R"({"restart":"cold"})"); }));
    ASSERT_TRUE(sim.WaitFor([&] { return dialog.logLines.size() >= 80; }));

    sim.Signal(SIGUSR1);
    ASSERT_TRUE(sim.WaitFor([&] { return TitleHas(dialog, "device lost"); }));
    EXPECT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(dialog.portLine().greyText(), "device lost");

    const std::string written = ReadAll(capture);
    EXPECT_NE(written.find("\nS "), std::string::npos);
    EXPECT_NE(written.find(" 19\n$PNMRX111,COLD*40\r\n\n"), std::string::npos);
    std::FILE* replay =
        popen((std::string(PATHLUX_REPLAY_BINARY) + " --log " + capture).c_str(), "r");
    ASSERT_NE(replay, nullptr);
    QStringList replayed;
    char line[4096];
    while (std::fgets(line, sizeof line, replay) != nullptr) {
        const QJsonValue log = QJsonDocument::fromJson(line).object().value("log");
        if (log.isString()) {
            replayed << log.toString();
        }
    }
    EXPECT_EQ(pclose(replay), 0);
    EXPECT_EQ(replayed, dialog.logLines);
    unlink(capture.c_str());
}

}  // namespace
}  // namespace pathlux
