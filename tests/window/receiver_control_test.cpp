// The restart buttons and the NMEA output dialog: the bytes they put on the line, the dialog's
// modal run.

#include <QTimer>
#include <functional>
#include <string>

#include "res/dialog103.h"
#include "tests/common/message_box_catcher.h"
#include "tests/support/pty.h"
#include "tests/window/monitor_fixture.h"
#include "window/nmea_output_dlg.h"

namespace pathlux {
namespace {

void ClickIn(const platform::Dialog& dialog, int id) {
    QTest::mouseClick(dialog.GetDlgItem(id), Qt::LeftButton);
}

// Runs the action on the output dialog from inside the modal run that the "NMEA" button starts.
void WhenOutputDialogRuns(std::function<void(CNmeaOutputDlg&)> action) {
    QTimer::singleShot(0, [action] {
        if (auto* output = dynamic_cast<CNmeaOutputDlg*>(QApplication::activeModalWidget())) {
            action(*output);
        }
    });
}

class ReceiverControlTest : public testing::MonitorFixture {
  protected:
    void SetUp() override { ASSERT_TRUE(OpenOn(5, receiver.path())); }

    test::Pty receiver;
};

TEST_F(ReceiverControlTest, RestartButtonsSendTheirCommandAndRestartTheTtff) {
    const struct {
        int button;
        std::string bytes;
    } cases[] = {
        {res::kColdButton, "$PNMRX111,COLD*40\r\n"},
        {res::kWarmButton, "$PNMRX111,WARM*4D\r\n"},
        {res::kHotButton, "$PNMRX111,HOT*17\r\n"},
        {res::kFactoryButton, "$PNMRX111,FACTORY*10\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        dialog.SetFieldText(kTtffField, u"00:01:07");
        Click(c.button);
        EXPECT_EQ(receiver.Receive(c.bytes.size()), c.bytes);
        EXPECT_EQ(Text(kTtffField), "00:00:00");
        EXPECT_TRUE(dialog.HasTimer(kTtffTimerId)) << "a frame leaves the TTFF count running";
    }
}

// Cancel sends nothing and keeps the configuration; OK sends the list, then the rates, and the
// next opening starts from them. While the dialog runs, the monitor window takes no clicks.
TEST_F(ReceiverControlTest, CancelKeepsOkSendsTheListThenTheRates) {
    CNmeaOutputDlg cancelled(dialog);
    cancelled.Create();
    ClickIn(cancelled, res::kClearButton);
    ClickIn(cancelled, kSentenceKeys[kKeyVtg].buttonId);
    ClickIn(cancelled, res::kCancelButton);
    EXPECT_EQ(dialog.nmeaOutput().count, 4);

    QString budget;
    WhenOutputDialogRuns([&](CNmeaOutputDlg& output) {
        budget = output.GetDlgItemText(res::kLineBudgetText);
        Click(res::kColdButton);
        ClickIn(output, res::kClearButton);
        ClickIn(output, kSentenceKeys[kKeyRmc].buttonId);
        ClickIn(output, kSentenceKeys[kKeyGga].buttonId);
        testing::ChooseItem(output, kSentenceKeys[kKeyRmc].rateComboId, 2);
        testing::ChooseItem(output, kSentenceKeys[kKeyZda].rateComboId, 5);
        ClickIn(output, res::kOkButton);
    });
    Click(res::kNmeaButton);  // returns when the modal run ends
    EXPECT_EQ(budget, "Line: 422 of 960 bytes/s");
    // The first bytes on the line are the list's: neither Cancel nor Cold sent anything.
    const std::string expected = "$PNMRX108,RMC,GGA*7D\r\n$PNMRX103,RMC,3,GGA,1*74\r\n";
    EXPECT_EQ(receiver.Receive(expected.size()), expected);

    CNmeaOutputDlg reopened(dialog);
    reopened.Create();
    EXPECT_EQ(reopened.GetDlgItemText(res::kSummaryText), "RMC3 GGA1 ");
    EXPECT_EQ(reopened.GetDlgItemText(kSentenceKeys[kKeyZda].rateComboId), "6");
}

// The receiver unplugged while the output dialog is open: the window returns to closed, the loss
// is told above the dialog, which stays usable, and OK says that nothing can be sent rather than
// end as if it were.
TEST_F(ReceiverControlTest, UnplugWhileTheOutputDialogIsOpen) {
    testing::MessageBoxCatcher boxes;
    const QWidget* dialogShown = nullptr;
    bool stillUsable = false;
    WhenOutputDialogRuns([&](CNmeaOutputDlg& modal) {
        dialogShown = &modal;
        receiver.CloseMaster();
        testing::WaitForEvents([&] { return !boxes.texts.isEmpty(); });
        stillUsable = QApplication::activeModalWidget() == &modal;
        ClickIn(modal, res::kOkButton);
        stillUsable = stillUsable && modal.isVisible();
        ClickIn(modal, res::kCancelButton);
    });
    Click(res::kNmeaButton);
    EXPECT_TRUE(ShowsPort(false));
    EXPECT_TRUE(stillUsable);
    EXPECT_EQ(boxes.texts, (QStringList{"COM5: device lost, port closed.",
                                        "Nothing sent: the port is closed."}));
    EXPECT_EQ(boxes.owners, (std::vector<const QWidget*>{dialogShown, dialogShown}));
    EXPECT_EQ(dialog.nmeaOutput().count, 4) << "the choice is kept only when sent";
}

}  // namespace
}  // namespace pathlux
