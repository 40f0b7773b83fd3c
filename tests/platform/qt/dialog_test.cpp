#include "platform/qt/dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <string>
#include <thread>
#include <vector>

#include "platform/qt/message_map.h"
#include "tests/common/qt_test_app.h"

namespace pathlux::platform {
namespace {

using testing::TestApp;

constexpr int kFirst = 10;
constexpr int kSecond = 11;
constexpr int kList = 20;
constexpr int kLog = 30;
constexpr int kHidden = 40;
constexpr int kLabel = 50;
constexpr std::uint32_t kLateMessage = 0xC123;

constexpr ControlTemplate kControls[] = {
    {ControlKind::kButton, kFirst, 4, 2, 20, 10, 0x50010000, u"First"},
    {ControlKind::kButton, kSecond, 28, 2, 20, 10, 0x58010000, u"Second"},
    {ControlKind::kComboBox, kList, 4, 14, 30, 40, 0x50200403, u""},
    {ControlKind::kEdit, kLog, 4, 30, 60, 20, 0x50A01084, u""},
    {ControlKind::kStatic, kHidden, 4, 52, 30, 10, 0x4080030E, u""},
    {ControlKind::kStatic, kLabel, 40, 52, 30, 8, 0x50000002, u"<b>right</b>"},
};
constexpr std::u16string_view kItems[] = {u"A", u"B", u"C"};
constexpr ListItems kLists[] = {{kList, kItems}};
constexpr DialogTemplate kTemplate = {
    1, 0x90C00040, 0, 0, 0, 80, 72, u"System", 8, u"Test dialog", kControls, kLists,
};

// A message registered at run time: the map holds where its number is and reads it when searched.
std::uint32_t registeredMessage = kLateMessage;

class TestDialog : public Dialog {
  public:
    explicit TestDialog(QWidget* owner = nullptr) : Dialog(kTemplate, owner) {}

    void OnFirst() { calls.push_back("first"); }
    void OnFirstAgain() { calls.push_back("first again"); }
    void OnList() { calls.push_back("list " + std::to_string(GetCurSel(kList))); }
    void OnTimer(int id) { calls.push_back("timer " + std::to_string(id)); }
    std::intptr_t OnPosted(std::uintptr_t wParam, std::intptr_t lParam) {
        calls.push_back("posted " + std::to_string(wParam) + " " + std::to_string(lParam));
        return 7;
    }

    bool Send(std::uint32_t message, std::uintptr_t wParam) {
        return OnMessage(message, wParam, 0, nullptr);
    }

    std::vector<std::string> calls;

  protected:
    bool OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                   std::intptr_t* result) override;
};

using Entry = MessageMapEntry<TestDialog>;
constexpr Entry kMap[] = {
    Entry::Command(kBnClicked, kFirst, &TestDialog::OnFirst),
    Entry::Command(kCbnSelChange, kList, &TestDialog::OnList),
    Entry::Command(kBnClicked, kFirst, &TestDialog::OnFirstAgain),
    Entry::Timer(&TestDialog::OnTimer),
    Entry::Registered(&registeredMessage, &TestDialog::OnPosted),
};

bool TestDialog::OnMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                           std::intptr_t* result) {
    return DispatchMessage<TestDialog>(kMap, *this, message, wParam, lParam, result);
}

TEST(dialog_test, ControlsFollowTheTemplate) {
    TestApp();
    TestDialog dialog;
    EXPECT_EQ(dialog.size(), QSize(140, 126));
    const struct {
        int id;
        const char* className;
        QString text;
        bool visible;
        bool enabled;
    } cases[] = {
        {kFirst, "QPushButton", "First", true, true},
        {kSecond, "QPushButton", "Second", true, false},
        {kList, "QComboBox", "", true, true},
        {kLog, "QPlainTextEdit", "", true, true},
        {kHidden, "QFrame", "", false, true},
        {kLabel, "QLabel", "<b>right</b>", true, true},  // markup shown as text
    };
    dialog.Create();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        QWidget* widget = dialog.GetDlgItem(c.id);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), c.className);
        EXPECT_EQ(dialog.GetDlgItemText(c.id), c.text);
        EXPECT_EQ(widget->isVisible(), c.visible);
        EXPECT_EQ(widget->isEnabled(), c.enabled);
    }
    // At (4, 52), 30 x 10 units with base units (7, 14): half pixels (52.5 x 17.5) round up.
    EXPECT_EQ(dialog.GetDlgItemRect(kHidden), (Rect{7, 91, 60, 109}));
    EXPECT_EQ(qobject_cast<QComboBox*>(dialog.GetDlgItem(kList))->count(), 3);
    EXPECT_EQ(dialog.GetCurSel(kList), -1);
}

// The first matching entry of the map handles a message; a message without entry is left to the
// default handling.
TEST(dialog_test, MessagesAreRoutedByTheFirstMatchingEntry) {
    TestApp();
    const struct {
        const char* legend;
        std::uint32_t message;
        std::uintptr_t wParam;
        std::vector<std::string> calls;  // none: not handled
    } cases[] = {
        {"click", kWmCommand, MakeCommandParam(kFirst, kBnClicked), {"first"}},
        {"click without entry", kWmCommand, MakeCommandParam(kSecond, kBnClicked), {}},
        {"other notification of a mapped control", kWmCommand, MakeCommandParam(kFirst, 5), {}},
        {"timer with its id", kWmTimer, 2, {"timer 2"}},
        {"paint without entry", kWmPaint, 0, {}},
        {"registered message read when the map is searched", kLateMessage, 3, {"posted 3 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        TestDialog dialog;
        EXPECT_EQ(dialog.Send(c.message, c.wParam), !c.calls.empty());
        EXPECT_EQ(dialog.calls, c.calls);
    }
}

// Input as the platform's dialogs take it: the focus starts on the first enabled tab stop; Tab
// goes from any control, the multi-line edit included, to the next tab stop; a control without
// the tab-stop style takes the focus only by a click; a disabled control, a selection made by the
// program and a wheel over a list without the focus send nothing.
TEST(dialog_test, InputGoesWhereTheFocusAndTheStylesLetIt) {
    TestApp();
    TestDialog dialog;
    dialog.Create();
    QWidget* first = dialog.GetDlgItem(kFirst);
    EXPECT_EQ(dialog.focusWidget(), first);
    QTest::mouseClick(dialog.GetDlgItem(kSecond), Qt::LeftButton);  // disabled
    dialog.SetCurSel(kList, 0);
    QWidget* list = dialog.GetDlgItem(kList);
    const auto turn = [list] {
        const QPointF at(list->width() / 2.0, list->height() / 2.0);
        QWheelEvent wheel(at, list->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(list, &wheel);
    };
    turn();
    EXPECT_TRUE(dialog.calls.empty());
    for (const int id : {kList, kLog}) {
        SCOPED_TRACE(id);
        QWidget* control = dialog.GetDlgItem(id);
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Tab);
        EXPECT_EQ(dialog.focusWidget(), first) << "the only enabled tab stop";
    }
    EXPECT_EQ(dialog.GetDlgItemText(kLog), "") << "Tab typed nothing";
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    list->setFocus();
    turn();
    EXPECT_EQ(dialog.calls, std::vector<std::string>{"list 1"}) << "the user's wheel notifies";
}

// While a dialog runs modally its owner takes no input: not a click through the window system,
// not a click or a key delivered to its controls directly.
TEST(dialog_test, AModalRunBlocksItsOwner) {
    TestApp();
    TestDialog owner;
    owner.Create();
    TestDialog modal(&owner);
    QWidget* active = nullptr;
    QTimer::singleShot(0, [&] {
        active = QApplication::activeModalWidget();
        QWidget* button = owner.GetDlgItem(kFirst);
        QTest::mouseClick(owner.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          button->geometry().center());
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClick(&owner, Qt::Key_Escape);
        modal.done(5);
    });
    EXPECT_EQ(modal.DoModal(), 5);
    EXPECT_EQ(active, &modal);
    EXPECT_TRUE(owner.calls.empty());
    EXPECT_TRUE(owner.isVisible()) << "Escape did not end the owner";
    QTest::mouseClick(owner.GetDlgItem(kFirst), Qt::LeftButton);
    EXPECT_EQ(owner.calls, std::vector<std::string>{"first"}) << "input again after the run";
}

TEST(dialog_test, MessagesPostedFromAnotherThreadArriveInOrderOnTheDialogsThread) {
    TestApp();
    TestDialog dialog;
    std::thread poster([&dialog] {
        for (std::uintptr_t i = 1; i <= 3; ++i) {
            EXPECT_TRUE(dialog.PostMessage(kLateMessage, i, 0x10000));
        }
    });
    poster.join();
    EXPECT_TRUE(dialog.calls.empty());
    QCoreApplication::sendPostedEvents(&dialog);
    EXPECT_EQ(dialog.calls,
              (std::vector<std::string>{"posted 1 65536", "posted 2 65536", "posted 3 65536"}));
}

}  // namespace
}  // namespace pathlux::platform
