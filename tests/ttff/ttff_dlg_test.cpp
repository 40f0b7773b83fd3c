// The window's face of the bench: a short series started from the monitor window's context
// menu on the simulator, offscreen, agrees with the simulator's report.

#include "window/ttff_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

#include "tests/ttff/tool_run.h"
#include "tests/window/monitor_fixture.h"
#include "ttff/formats.h"

namespace pathlux::testing {
namespace {

using TtffDialogTest = MonitorFixture;

TEST_F(TtffDialogTest, a_series_from_the_context_menu_agrees_with_the_simulator) {
    EXPECT_FALSE(dialog.MakeContextMenu()->actions().front()->isEnabled());  // port closed

    test::SimProcess sim({"--speed", "5", "--seed", "11"});
    ASSERT_TRUE(sim.WaitForDevice());
    SelectPort(8, sim.FirstLine());
    ClickOpen();
    ASSERT_EQ(dialog.portOpen(), 1);

    const std::unique_ptr<QMenu> menu = dialog.MakeContextMenu();
    ASSERT_EQ(menu->actions().front()->text(), QStringLiteral("TTFF series..."));
    menu->actions().front()->trigger();
    CTtffDlg* series = dialog.ttffDialog();
    ASSERT_NE(series, nullptr);
    ASSERT_TRUE(series->isVisible());
    series->restartBox()->setCurrentIndex(2);  // Hot
    series->runsBox()->setValue(2);
    series->timeoutBox()->setValue(5);
    series->settleBox()->setValue(0.2);
    QTest::mouseClick(series->startButton(), Qt::LeftButton);
    ASSERT_TRUE(WaitForEvents([&] { return !series->running(); }));

    ASSERT_TRUE(sim.WaitFor([&] { return sim.Runs().size() == 2 && sim.Runs()[1].after3d >= 0; }))
        << sim.stderrText;
    const ttff::TtffBench& bench = *series->bench();
    ASSERT_EQ(bench.runs().size(), 2u);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sim.Runs()[i].kind, R"("hot")");
        ExpectTimedAsSimulated(ttff::JsonRun(bench, bench.runs()[i]), sim.Runs()[i], 5);
    }
    // The table, the plot, and the settings open again for the next series.
    EXPECT_TRUE(series->resultsView()->toPlainText().contains(QStringLiteral("median")));
    EXPECT_FALSE(series->plotLabel()->pixmap().isNull());
    EXPECT_EQ(series->startButton()->text(), QStringLiteral("Start"));
}

}  // namespace
}  // namespace pathlux::testing
