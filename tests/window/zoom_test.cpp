// The window's zoom: the rule that picks it, the layout at each step, the charts at as many times
// the pixels, and the keys, menu and variable that change it.
#include "window/zoom.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>
#include <cstdlib>

#include "platform/qt/draw_surface.h"
#include "res/dialog102.h"
#include "tests/window/monitor_fixture.h"
#include "window/signal_bars.h"
#include "window/sky_plot.h"

namespace pathlux {
namespace {

using platform::DialogZoom;
using platform::Rect;
using ZoomTest = testing::MonitorFixture;

constexpr DialogZoom k1x{1, 1}, k15x{3, 2}, k2x{2, 1}, k3x{3, 1};

TEST(zoom_test, ScreenRuleAndWrittenZooms) {
    const struct {
        const char* legend;
        QSize available;
        DialogZoom zoom;
    } screens[] = {
        {"1366x768 laptop", {1366, 740}, k1x},        {"1080p with a panel", {1920, 1040}, k15x},
        {"1080p upright", {1080, 1880}, k15x},        {"1440p", {2560, 1400}, k2x},
        {"4K at its own density", {3840, 2120}, k3x},
    };
    for (const auto& s : screens) {
        EXPECT_EQ(ZoomForScreen({242, 278}, s.available), s.zoom) << s.legend;
    }
    for (const char* bad : {"", "4", "x", "2xx", " 2", "1.25"}) {
        EXPECT_EQ(ParseZoom(bad), std::nullopt) << bad;
    }
    EXPECT_EQ(ParseZoom("1.50"), k15x);
    EXPECT_EQ(ParseZoom("3X"), k3x);
}

// Laid out as the template with base units the zoom's times those of the 12-pixel font (7, 14).
TEST_F(ZoomTest, EveryStepLaysTheTemplateOutAnew) {
    const struct {
        DialogZoom zoom;
        QSize window;
        Rect open, sky, bars;
        int fontPixels;
    } steps[] = {
        {k15x, {362, 417}, {291, 3, 357, 35}, {5, 39, 220, 249}, {5, 249, 357, 336}, 18},
        {k2x, {483, 557}, {389, 4, 477, 46}, {7, 53, 294, 333}, {7, 333, 476, 449}, 24},
        {k3x, {725, 835}, {583, 5, 714, 68}, {11, 79, 442, 499}, {11, 499, 715, 672}, 36},
        {k1x, {242, 278}, {194, 2, 238, 23}, dialog.skyFrameRect(), dialog.barFrameRect(), 12},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.zoom.Factor());
        dialog.SetZoom(s.zoom);
        EXPECT_EQ(dialog.size(), s.window);
        EXPECT_EQ(dialog.GetDlgItemRect(res::kOpenButton), s.open);
        EXPECT_EQ(dialog.GetDlgItemRect(res::kSkyFrame), s.sky);
        EXPECT_EQ(dialog.GetDlgItemRect(res::kBarFrame), s.bars);
        EXPECT_EQ(dialog.GetDlgItem(res::kPortList)->font().pixelSize(), s.fontPixels);
        dialog.grab();  // a paint, which the sky plot's geometry comes from
        EXPECT_EQ(dialog.SkyToPoint(0, 90), (Point{71, 69})) << "the charts keep their geometry";
    }
    dialog.SetZoom({0, 1});
    EXPECT_EQ(dialog.zoom(), k1x) << "a zoom of nothing changes nothing";
}

// At 2x the charts are their 1x geometry at twice the pixels, where the window's frames put them.
TEST_F(ZoomTest, ChartsAreComposedAtTheZoomsDensity) {
    Feed("$GPGSA,A,3,01,02,,,,,,,,,,,2.5,1.3,2.1*00\r\n");
    Feed("$GPGSV,1,1,02,01,45,090,75,02,20,300,75*00\r\n");
    ReceiverState shown = dialog.state();
    const Rect sky = dialog.skyFrameRect();
    const Rect bars = dialog.barFrameRect();
    const QImage bars1x = ComposeSignalBars(shown, bars.Width(), bars.Height(), 1.0);
    const QImage bars2x = ComposeSignalBars(shown, bars.Width(), bars.Height(), 2.0);
    // The bars (above 70, so without a value) and the etched edges are rectangles.
    for (const QRgb colour : {qRgb(0, 180, 60), platform::DrawSurface::kShadow}) {
        const auto count = [colour](const QImage& image) {
            int n = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    n += image.pixel(x, y) == colour;
                }
            }
            return n;
        };
        EXPECT_EQ(count(bars2x), 4 * count(bars1x)) << std::hex << colour;
    }

    dialog.SetZoom(k2x);
    const QImage window = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
    SkyGeometry geometry;
    const QImage sky2x =
        ComposeSkyPlot(shown, sky.Width(), sky.Height(), dialog.skyStyle(), 2.0, geometry);
    EXPECT_EQ(sky2x.size(), QSize(2 * sky.Width(), 2 * sky.Height()));
    for (const auto& [frameId, chart] :
         {std::pair{res::kSkyFrame, sky2x}, {res::kBarFrame, bars2x}}) {
        // Two columns short: the date field's text reaches into the sky frame's last ones.
        const Rect at = dialog.GetDlgItemRect(frameId);
        EXPECT_EQ(window.copy(at.left, at.top, chart.width() - 2, chart.height()),
                  chart.copy(0, 0, chart.width() - 2, chart.height())
                      .convertToFormat(QImage::Format_RGB32))
            << frameId;
    }
}

TEST_F(ZoomTest, KeysMenuAndVariableChangeIt) {
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    const struct {
        Qt::Key key;
        DialogZoom zoom;
    } keys[] = {
        {Qt::Key_Plus, k15x}, {Qt::Key_Equal, k2x}, {Qt::Key_Plus, k3x},  {Qt::Key_Plus, k3x},
        {Qt::Key_Minus, k2x}, {Qt::Key_0, k1x},     {Qt::Key_Minus, k1x},
    };
    for (const auto& k : keys) {
        QTest::keyClick(&dialog, k.key, Qt::ControlModifier);
        EXPECT_EQ(dialog.zoom(), k.zoom) << QKeySequence(k.key).toString().toStdString();
    }

    // The menu's steps, the current one checked; choosing 2x zooms to it.
    for (const QString expected : {"1x", "2x"}) {
        const auto menu = dialog.MakeContextMenu();
        QMenu* zoom = nullptr;
        for (QAction* entry : menu->actions()) {
            zoom = entry->text() == "Zoom" ? entry->menu() : zoom;
        }
        ASSERT_NE(zoom, nullptr);
        QStringList steps, checked;
        for (QAction* step : zoom->actions()) {
            steps << step->text();
            checked << (step->isChecked() ? step->text() : QString());
        }
        EXPECT_EQ(steps, QStringList({"1x", "1.5x", "2x", "3x"}));
        EXPECT_EQ(checked.join(""), expected);
        zoom->actions()[2]->trigger();
    }
    EXPECT_EQ(dialog.zoom(), k2x);

    for (const auto& [value, zoom] : {std::pair{"1.5x", k15x}, {"7", k1x}}) {
        setenv("PATHLUX_ZOOM", value, 1);
        CMonitorDlg started;
        started.Create();
        EXPECT_EQ(started.zoom(), zoom) << value;
    }
    unsetenv("PATHLUX_ZOOM");
}

}  // namespace
}  // namespace pathlux
