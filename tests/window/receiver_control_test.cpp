// The restart buttons and the NMEA output dialog: the bytes they put on the line, the dialog's
// modal run.

#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "res/dialog103.h"
#include "tests/common/message_box_catcher.h"
#include "tests/support/pty.h"
#include "tests/window/monitor_fixture.h"
#include "window/nmea_output_dlg.h"

namespace pathlux {
namespace {

// Runs the action on the output dialog once its modal run has shown it, from inside that run.
// Should it never show, nothing is left waiting: the test's own checks then fail.
void WhenOutputDialogShows(std::function<void(CNmeaOutputDlg&)> action) {
    auto* poll = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(testing::kPatienceMs);
    QObject::connect(poll, &QTimer::timeout, [poll, deadline, action] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* output = dynamic_cast<CNmeaOutputDlg*>(widget);
            if (output != nullptr && output->isVisible()) {
                poll->deleteLater();
                poll->stop();
                action(*output);
                return;
            }
        }
        if (deadline->hasExpired()) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(10);
}

class ReceiverControlTest : public testing::MonitorFixture {
  protected:
    // Opens COM5 on a pseudo-terminal whose other side the test holds.
    void OpenOnPty() {
        SelectPort(5, receiver.path());
        ClickOpen();
        ASSERT_EQ(dialog.portOpen(), 1);
    }
    // The output dialog as the "NMEA" button makes it, shown without a modal loop.
    void OpenOutputDialog() {
        output = std::make_unique<CNmeaOutputDlg>(dialog);
        output->Create();
    }
    void ClickInOutput(int id) { QTest::mouseClick(output->GetDlgItem(id), Qt::LeftButton); }
    // Picks a rate as the user does: the keyboard on the combo of the key's row.
    void ChooseRate(SentenceKey key, int rate) {
        QWidget* combo = output->GetDlgItem(kSentenceKeys[key].rateComboId);
        combo->setFocus();
        const int steps = rate - 1 - output->GetCurSel(kSentenceKeys[key].rateComboId);
        for (int i = 0; i < std::abs(steps); ++i) {
            QTest::keyClick(combo, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
        }
    }

    test::Pty receiver;
    std::unique_ptr<CNmeaOutputDlg> output;
};

TEST_F(ReceiverControlTest, RestartButtonsSendTheirCommandAndRestartTheTtff) {
    OpenOnPty();
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
        dialog.state().ttffSeconds = 67;
        Click(c.button);
        EXPECT_EQ(receiver.Receive(c.bytes.size()), c.bytes);
        EXPECT_EQ(Text(kTtffField), "00:00:00");
        EXPECT_EQ(dialog.state().ttffSeconds, 0);
        EXPECT_TRUE(dialog.HasTimer(kTtffTimerId));
    }
}

TEST_F(ReceiverControlTest, SendingWithThePortClosedPutsNothingOnTheLine) {
    OpenOnPty();
    ClickOpen();  // closed again
    ASSERT_EQ(dialog.portOpen(), 0);
    dialog.SendCommand(u"$PNMRX111,COLD*40");
    OpenOnPty();
    dialog.SendCommand(u"$PNMRX111,HOT*17");
    EXPECT_EQ(receiver.Receive(18), "$PNMRX111,HOT*17\r\n");
}

// Cancel sends nothing and keeps the configuration; OK sends the list, then the rates, and the
// next opening starts from them.
TEST_F(ReceiverControlTest, CancelKeepsOkSendsTheListThenTheRates) {
    OpenOnPty();
    OpenOutputDialog();
    ClickInOutput(res::kClearButton);
    ClickInOutput(kSentenceKeys[kKeyVtg].buttonId);
    ClickInOutput(res::kCancelButton);
    EXPECT_FALSE(output->isVisible());
    EXPECT_EQ(dialog.nmeaOutput().count, 4);

    OpenOutputDialog();
    EXPECT_EQ(output->GetDlgItemText(res::kLineBudgetText), "Line: 422 of 960 bytes/s");
    ClickInOutput(res::kClearButton);
    ClickInOutput(kSentenceKeys[kKeyRmc].buttonId);
    ClickInOutput(kSentenceKeys[kKeyGga].buttonId);
    ChooseRate(kKeyRmc, 3);
    ChooseRate(kKeyZda, 6);
    ClickInOutput(res::kOkButton);
    EXPECT_FALSE(output->isVisible());
    // The first bytes on the line are the list's: Cancel sent nothing.
    const std::string expected = "$PNMRX108,RMC,GGA*7D\r\n$PNMRX103,RMC,3,GGA,1*74\r\n";
    EXPECT_EQ(receiver.Receive(expected.size()), expected);

    OpenOutputDialog();
    EXPECT_EQ(output->GetDlgItemText(res::kSummaryText), "RMC3 GGA1 ");
    EXPECT_EQ(output->GetDlgItemText(kSentenceKeys[kKeyZda].rateComboId), "6");
}

// While the output dialog runs, the monitor window takes no clicks: "Cold" sends nothing.
TEST_F(ReceiverControlTest, NmeaButtonRunsTheDialogModally) {
    OpenOnPty();
    bool modalActive = false;
    WhenOutputDialogShows([&](CNmeaOutputDlg& modal) {
        modalActive = QApplication::activeModalWidget() == &modal;
        Click(res::kColdButton);
        QTest::mouseClick(modal.GetDlgItem(res::kOkButton), Qt::LeftButton);
    });
    Click(res::kNmeaButton);  // returns when the modal run ends
    EXPECT_TRUE(modalActive);
    const std::string expected =
        "$PNMRX108,GGA,GSA,GSV,RMC*6A\r\n$PNMRX103,GGA,1,GSA,1,GSV,1,RMC,1*61\r\n";
    EXPECT_EQ(receiver.Receive(expected.size()), expected);
}

// The receiver unplugged while the output dialog is open: the loss is told above the dialog,
// which stays usable, and OK says that nothing can be sent rather than end as if it were.
TEST_F(ReceiverControlTest, UnplugWhileTheOutputDialogIsOpen) {
    OpenOnPty();
    testing::MessageBoxCatcher boxes;
    const QWidget* dialogShown = nullptr;
    bool stillUsable = false;
    WhenOutputDialogShows([&](CNmeaOutputDlg& modal) {
        dialogShown = &modal;
        receiver.CloseMaster();
        testing::WaitForEvents([&] { return !boxes.texts.isEmpty(); });
        stillUsable = QApplication::activeModalWidget() == &modal;
        QTest::mouseClick(modal.GetDlgItem(res::kOkButton), Qt::LeftButton);
        stillUsable = stillUsable && modal.isVisible();
        QTest::mouseClick(modal.GetDlgItem(res::kCancelButton), Qt::LeftButton);
    });
    Click(res::kNmeaButton);
    EXPECT_EQ(dialog.portOpen(), 0);
    EXPECT_TRUE(stillUsable);
    EXPECT_EQ(boxes.texts, (QStringList{"COM5: device lost, port closed.",
                                        "Nothing sent: the port is closed."}));
    EXPECT_EQ(boxes.owners, (std::vector<const QWidget*>{dialogShown, dialogShown}));
    EXPECT_EQ(dialog.nmeaOutput().count, 4) << "the choice is kept only when sent";
}

}  // namespace
}  // namespace pathlux
