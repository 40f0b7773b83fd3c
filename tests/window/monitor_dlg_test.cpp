#include "window/monitor_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <string>

#include "res/dialog102.h"
#include "tests/common/qt_test_app.h"

namespace pathlux {
namespace {

constexpr int kCommandButtons[] = {res::kColdButton, res::kWarmButton, res::kHotButton,
                                   res::kFactoryButton, res::kNmeaButton};

class MonitorDlgTest : public ::testing::Test {
  protected:
    MonitorDlgTest() { dialog.Create(); }

    void Feed(std::string_view bytes) {
        dialog.interpreter().FeedBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                       bytes.size());
    }
    QString Text(int id) const { return dialog.GetDlgItemText(id); }
    QStringList LogLines() const {
        QStringList lines = Text(kLogField).split(u'\n');
        lines.removeLast();  // the empty line after the last line break
        return lines;
    }

    QApplication& application = testing::TestApp();  // before any widget
    CMonitorDlg dialog;
};

TEST_F(MonitorDlgTest, StartsClosedOnCom8WithTheStartTexts) {
    EXPECT_EQ(dialog.windowTitle(), "Pathlux V0.10 For Orvane");
    EXPECT_EQ(dialog.portOpen, 0);
    EXPECT_EQ(Text(res::kPortList), "COM8");
    EXPECT_EQ(dialog.GetCurSel(res::kPortList), 7);
    EXPECT_EQ(Text(res::kOpenButton), "Open");
    EXPECT_TRUE(dialog.GetDlgItem(res::kOpenButton)->isEnabled());
    for (const int id : kCommandButtons) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(dialog.GetDlgItem(id)->isEnabled());
    }
    struct FieldCase {
        const char* legend;
        int id;
        QString text;
    };
    const FieldCase cases[] = {
        {"latitude", kLatitudeField, QString::fromUtf8("N000°00'00.00\"")},
        {"longitude", kLongitudeField, QString::fromUtf8("E000°00'00.00\"")},
        {"speed", kSpeedField, "0km/h"},
        {"course", kCourseField, QString::fromUtf8("0°")},
        {"altitude", kAltitudeField, "0m"},
        {"fix", kFixField, "NA"},
        {"ttff", kTtffField, "00:00:00"},
        {"version", kVersionField, "Unkonwn"},
        {"hdop", kHdopField, "00.0"},
        {"time", kTimeField, "00:00:00"},
        {"date", kDateField, "01/01"},
        {"log", kLogField, ""},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(Text(c.id), c.text);
    }
    const ReceiverState& state = dialog.state();
    EXPECT_EQ(state.inViewCount, 12);
    EXPECT_EQ(state.maxSnr, 20);
    EXPECT_EQ(state.fix3d, 0);
    EXPECT_FALSE(dialog.HasTimer(kTtffTimerId));
    EXPECT_EQ(dialog.skyLabelBox, 12);
    EXPECT_EQ(dialog.skyDotRadius, 9);
    EXPECT_FALSE(dialog.windowIcon().isNull());
}

TEST_F(MonitorDlgTest, FramesAreTheHiddenControlsInClientCoordinates) {
    EXPECT_EQ(dialog.skyFrameRect, dialog.GetDlgItemRect(res::kSkyFrame));
    EXPECT_EQ(dialog.barFrameRect, dialog.GetDlgItemRect(res::kBarFrame));
    EXPECT_FALSE(dialog.GetDlgItem(res::kSkyFrame)->isVisible());
    EXPECT_EQ(dialog.skyFrameRect, (platform::Rect{4, 26, 148, 166}));
    EXPECT_EQ(dialog.barFrameRect, (platform::Rect{4, 166, 239, 224}));
}

TEST_F(MonitorDlgTest, LogKeepsAtMostThirtyLines) {
    struct LogCase {
        const char* legend;
        int lines;       // appended in all
        int shown;       // lines in the log afterwards
        int firstShown;  // number of the oldest line shown
    };
    const LogCase cases[] = {
        {"one", 1, 1, 1},
        {"thirty fill the log", 30, 30, 1},
        {"the 31st drops the oldest twenty", 31, 11, 21},
        {"then it grows again", 50, 30, 21},
        {"and drops again", 51, 11, 41},
    };
    for (const LogCase& c : cases) {
        SCOPED_TRACE(c.legend);
        dialog.SetDlgItemText(kLogField, QString());
        for (int i = 1; i <= c.lines; ++i) {
            dialog.AppendLog(Widen("line " + std::to_string(i)) + u"\r\n");
        }
        const QStringList lines = LogLines();
        ASSERT_EQ(lines.size(), c.shown);
        EXPECT_EQ(lines.front(), QString("line %1").arg(c.firstShown));
        EXPECT_EQ(lines.back(), QString("line %1").arg(c.lines));
    }
}

TEST_F(MonitorDlgTest, LogShowsControlCharactersVisibly) {
    struct LineCase {
        const char* legend;
        std::string_view bytes;
        QString shown;
    };
    const LineCase cases[] = {
        {"plain sentence", "$GPGSA,A,1*1E\r\n", "$GPGSA,A,1*1E"},
        {"escape in a sentence",
         "$GP\x1b"
         "GSA\r",
         QString::fromUtf8("$GP␛GSA")},
        {"zero byte hides nothing", std::string_view("ab\0cd\r", 6), QString::fromUtf8("ab␀cd")},
        {"high byte", "x\xB0y\r", QString::fromUtf8("x\uFFFDy")},
        {"markup stays text", "<b>bold</b>\r", "<b>bold</b>"},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.legend);
        dialog.SetDlgItemText(kLogField, QString());
        Feed(c.bytes);
        ASSERT_EQ(LogLines().size(), 1);
        EXPECT_EQ(LogLines().front(), c.shown);
    }
}

TEST_F(MonitorDlgTest, DisplayFieldsFollowTheReceiver) {
    Feed("$PNMX600 Nemerix NS1030,Version 1.05*00\r\n");
    EXPECT_EQ(Text(kVersionField), "1.05");
    EXPECT_TRUE(dialog.HasTimer(kTtffTimerId));
    Feed(
        "$GPRMC,123519.00,A,4807.038,N,01131.000,E,22.4,359.9,230394,,*00\r\n"
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    struct FieldCase {
        const char* legend;
        int id;
        QString text;
    };
    const FieldCase cases[] = {
        {"time", kTimeField, "12:35:19"},
        {"speed", kSpeedField, "41 km/h"},
        {"course", kCourseField, QString::fromUtf8("359°")},
        {"date", kDateField, "03/23"},
        {"altitude", kAltitudeField, "545.4m"},
        {"latitude", kLatitudeField, QString::fromUtf8("N048°07'02.28\"")},
        {"longitude", kLongitudeField, QString::fromUtf8("E011°31'00.00\"")},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_EQ(Text(c.id), c.text);
    }
    Feed("$GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1*35\r\n");
    EXPECT_EQ(Text(kFixField), "3D");
    EXPECT_EQ(Text(kPdopField), "2.5");
    EXPECT_FALSE(dialog.HasTimer(kTtffTimerId)) << "the first fix stops the count";
}

TEST_F(MonitorDlgTest, TimerTwoCountsTheTtff) {
    dialog.interpreter().RestartTtff();
    for (int i = 0; i < 65; ++i) {
        dialog.OnTimer(kTtffTimerId);
    }
    EXPECT_EQ(Text(kTtffField), "00:01:05");
    dialog.OnTimer(3);
    EXPECT_EQ(Text(kTtffField), "00:01:05") << "other timers are not the count";
}

TEST_F(MonitorDlgTest, PaintShowsBothChartsOnTheirFrames) {
    QFile log(QStringLiteral(PATHLUX_LOG_DIR "/ublox-lea-5h.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    QByteArray bytes = log.readAll();
    bytes.replace("\n", "\r\n");
    Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    const QImage window = dialog.grab().toImage();
    const platform::Rect sky = dialog.skyFrameRect;
    const platform::Rect bars = dialog.barFrameRect;
    EXPECT_EQ(dialog.skyRadius, 68.0);
    EXPECT_EQ(dialog.skyCentre, (Point{71, 69}));
    EXPECT_EQ(dialog.SkyToPoint(0, 90), dialog.skyCentre);
    EXPECT_EQ(window.pixelColor(sky.left + 3, sky.top + 3), QColor(255, 255, 255));
    EXPECT_EQ(window.pixelColor(sky.left + 3, sky.top + 69), QColor(0, 0, 0)) << "horizon";
    EXPECT_EQ(window.pixelColor(bars.left + 3, bars.top + 45), QColor(255, 255, 255));
    // The log ends with a 3D fix: used GPS satellites are green on both charts.
    int green = 0;
    for (int y = sky.top; y < bars.bottom; ++y) {
        for (int x = sky.left; x < bars.right; ++x) {
            green += window.pixelColor(x, y) == QColor(0, 180, 60);
        }
    }
    EXPECT_GT(green, 500);
    EXPECT_GT(dialog.state().maxSnr, 20);
}

}  // namespace
}  // namespace pathlux
