// The window's zoom: the rule that picks it, the layout at each step, and the keys, menu and
// variable that change it. The charts at a zoom are the monitor window's test.
#include "window/zoom.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>
#include <cstdlib>

#include "res/dialog102.h"
#include "tests/window/monitor_fixture.h"

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
    const auto menu = dialog.MakeContextMenu();
    QMenu* zoom = nullptr;
    for (QAction* entry : menu->actions()) {
        zoom = entry->text() == "Zoom" ? entry->menu() : zoom;
    }
    ASSERT_NE(zoom, nullptr);
    QStringList steps;
    for (QAction* step : zoom->actions()) {
        steps << (step->isChecked() ? "[" + step->text() + "]" : step->text());
    }
    EXPECT_EQ(steps, QStringList({"[1x]", "1.5x", "2x", "3x"}));
    zoom->actions()[2]->trigger();
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
