// The window's face of the bench: a short series started from the monitor window's context
// menu on the simulator, offscreen, agrees with the simulator's report.

#include "window/ttff_dlg.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "tests/support/sim_process.h"
#include "tests/ttff/sim_report.h"
#include "tests/window/monitor_fixture.h"

namespace pathlux::testing {
namespace {

using TtffDialogTest = MonitorFixture;

// Right-clicks the window and picks the menu's entry, as a user would.
void PickFromContextMenu(CMonitorDlg& dialog) {
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        // The series comes first; the window's other entries (the zoom) follow it.
        QAction* series = menu->actions().front();
        EXPECT_EQ(series->text(), QStringLiteral("TTFF series..."));
        menu->setActiveAction(series);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(4, 4),
                            dialog.mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(&dialog, &event);
}

TEST_F(TtffDialogTest, a_series_from_the_context_menu_agrees_with_the_simulator) {
    EXPECT_FALSE(dialog.MakeContextMenu()->actions().front()->isEnabled());  // port closed

    test::SimProcess sim({"--speed", "5", "--seed", "11"});
    ASSERT_TRUE(sim.WaitFor([&] { return sim.stdoutText.find('\n') != std::string::npos; }));
    SelectPort(8, sim.FirstLine());
    ClickOpen();
    ASSERT_EQ(dialog.portOpen(), 1);

    PickFromContextMenu(dialog);
    CTtffDlg* series = dialog.ttffDialog();
    ASSERT_NE(series, nullptr);
    ASSERT_TRUE(series->isVisible());
    series->restartBox()->setCurrentIndex(2);  // Hot
    series->runsBox()->setValue(2);
    series->timeoutBox()->setValue(5);
    series->settleBox()->setValue(0.2);
    QTest::mouseClick(series->startButton(), Qt::LeftButton);
    ASSERT_TRUE(series->running());
    ASSERT_TRUE(WaitFor([&] { return !series->running(); }));

    ASSERT_TRUE(sim.WaitFor([&] {
        const std::vector<SimRun> runs = SimRuns(sim.stderrText);
        return runs.size() == 2 && runs.back().after3d >= 0;
    })) << sim.stderrText;
    const std::vector<SimRun> simulated = SimRuns(sim.stderrText);
    const ttff::TtffBench& bench = *series->bench();
    EXPECT_EQ(bench.ending(), ttff::Ending::kComplete);
    ASSERT_EQ(bench.runs().size(), 2u);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        // The window reads on its watcher's notification, behind whatever its event loop is
        // doing: a whole simulated second of slack (200 ms).
        ExpectAgrees(bench.runs()[i].ms[ttff::kTarget2D], simulated[i].after2d, 5, 1);
        ExpectAgrees(bench.runs()[i].ms[ttff::kTarget3D], simulated[i].after3d, 5, 1);
    }
    // The restarts went through the window's own path: its TTFF count was restarted and stopped
    // at the fix.
    EXPECT_FALSE(dialog.interpreter().ttffCounting());
    EXPECT_NE(Text(kFixField), QStringLiteral("NA"));
    EXPECT_TRUE(series->resultsView()->toPlainText().contains(QStringLiteral("median")));
    EXPECT_FALSE(series->plotLabel()->pixmap().isNull());
    EXPECT_TRUE(series->startButton()->text() == QStringLiteral("Start"));
}

}  // namespace
}  // namespace pathlux::testing
