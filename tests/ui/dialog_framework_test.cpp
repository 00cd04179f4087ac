// The dialog layer: templates into widgets, control operations by identifier,
// numbered timers, keys, modal child dialogs and the language of templates.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <functional>
#include <vector>

#include "ServiceDialogTestSupport.h"
#include "ui/framework/CDialog.h"
#include "ui/framework/DialogLanguage.h"
#include "ui/framework/MessageBox.h"

namespace kestrane {
namespace {

constexpr std::array<ControlTemplate, 9> kControls{{
    Group(kNoId, 5, 5, 190, 90, "Frame"),
    Label(1001, 10, 14, 40, 10, "Label:"),
    {1002, ControlKind::Edit, 55, 12, 60, 12, "12", style::kNone},
    Button(1003, 120, 12, 60, 14, "PRESS"),
    List(1004, ControlKind::DropDownList, 10, 32, 60, 12),
    List(1005, ControlKind::SortedDropDownList, 75, 32, 60, 12),
    {1006, ControlKind::EditableDropDown, 140, 32, 50, 12, "typed", style::kNone},
    Label(1007, 10, 50, 40, 10, "hidden", style::kHidden),
    EditBox(1008, 55, 50, 60, 12, style::kDisabled | style::kReadOnly),
}};
constexpr std::array<std::string_view, 3> kPlainItems{"b", "a", "c"};
constexpr std::array<std::string_view, 1> kAuto{"Auto"};
constexpr std::array<ListTemplate, 2> kLists{{
    Items(1004, kPlainItems),
    NumberItems(1005, kAuto, 12, 36, 12, "V"),  // sorted: "12V", "24V", "36V", "Auto"
}};
constexpr DialogTemplate kEnglish{500, "Test", 200, 100, "SimSun", 9, kControls, kLists, true};
constexpr DialogTemplate kChinese{500, "测试", 200, 100, "SimSun", 9, kControls, kLists, true};

class TestDialog : public CDialog {
public:
    TestDialog(QWidget* parent = nullptr) : CDialog(kEnglish, kChinese, parent) {}

    int closeRequests = 0;
    bool endOnClose = true;
    std::vector<int> ticks;
    std::function<void(int)> onTick;

protected:
    void OnClose() override {
        ++closeRequests;
        if (endOnClose) CDialog::OnClose();
    }
    void OnTimer(int timerId) override {
        ticks.push_back(timerId);
        if (onTick) onTick(timerId);
    }
};

using testing::SendKey;
using testing::WaitFor;

TEST(DialogUnits, EdgesAreConvertedOnTheirOwnSoNeighboursMeet) {
    const DialogUnitScale units(1.5, 1.5);
    EXPECT_EQ(units.Rect(7, 28, 98, 115), QRect(11, 42, 147, 173));
    const QRect left = units.Rect(3, 0, 7, 10);
    const QRect right = units.Rect(10, 0, 7, 10);
    EXPECT_EQ(left.right() + 1, right.left());
}

TEST(DialogUnits, MainWindowSizeFollowsTheFontAtTheScreenScale) {
    TestDialog dialog;
    dialog.Create();
    const DialogUnitScale& units = dialog.Units();
    // 702 x 427 units come to about 1050 x 640 pixels at 96 dpi.
    const double scale = dialog.logicalDpiY() / 96.0;
    EXPECT_NEAR(units.X(702), 1053 * scale, 1053 * scale * 0.1);
    EXPECT_NEAR(units.Y(427), 640 * scale, 640 * scale * 0.1);
    EXPECT_EQ(dialog.size(), QSize(units.X(200), units.Y(100)));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());  // not resizable
}

TEST(DialogControls, EachWidgetIsNamedByItsIdentifier) {
    TestDialog dialog;
    EXPECT_FALSE(dialog.HasControls());
    EXPECT_EQ(dialog.Text(1001), "");  // no window yet: reads as empty
    dialog.Create();
    for (const ControlTemplate& control : kControls) {
        if (control.id == kNoId) continue;
        QWidget* byName = dialog.findChild<QWidget*>(QString::number(control.id));
        ASSERT_NE(byName, nullptr) << control.id;
        EXPECT_EQ(byName, dialog.Control(control.id));
    }
    EXPECT_EQ(dialog.Control(4242), nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Test");
}

TEST(DialogControls, TextIntegerEnableAndShow) {
    TestDialog dialog;
    dialog.Create();
    EXPECT_EQ(dialog.Text(1001), "Label:");
    EXPECT_EQ(dialog.Text(1003), "PRESS");
    dialog.SetText(1003, "停止监控");
    EXPECT_EQ(dialog.Text(1003), "停止监控");
    EXPECT_FALSE(dialog.SetTextIfChanged(1003, "停止监控"));
    EXPECT_TRUE(dialog.SetTextIfChanged(1003, "STOP"));

    bool ok = false;
    EXPECT_EQ(dialog.GetInt(1002, &ok), 12);
    EXPECT_TRUE(ok);
    struct Case {
        const char* text;
        bool isSigned;
        int value;
        bool ok;
    };
    for (const Case& c :
         {Case{" 9600", true, 9600, true}, Case{"-5", true, -5, true}, Case{"-5", false, 0, false},
          Case{"7.9", true, 7, true}, Case{"abc", true, 0, false}, Case{"", true, 0, false},
          Case{"99999999999", true, 0, false}}) {
        dialog.SetText(1002, c.text);
        EXPECT_EQ(dialog.GetInt(1002, &ok, c.isSigned), c.value) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
    dialog.SetInt(1002, -42);
    EXPECT_EQ(dialog.Text(1002), "-42");

    EXPECT_FALSE(dialog.IsVisible(1007));
    dialog.Show(1007, true);
    EXPECT_TRUE(dialog.IsVisible(1007));
    EXPECT_FALSE(dialog.IsEnabled(1008));
    EXPECT_TRUE(qobject_cast<QLineEdit*>(dialog.Control(1008))->isReadOnly());
    dialog.Enable(1008, true);
    EXPECT_TRUE(dialog.IsEnabled(1008));
    dialog.Enable(1002, false);
    EXPECT_FALSE(dialog.IsEnabled(1002));
}

TEST(DialogControls, ListsFillSelectAndReportTheirText) {
    TestDialog dialog;
    dialog.Create();
    // Template items in order, nothing selected.
    ASSERT_EQ(dialog.ItemCount(1004), 3);
    EXPECT_EQ(dialog.ItemText(1004, 0), "b");
    EXPECT_EQ(dialog.Selection(1004), -1);
    EXPECT_EQ(dialog.Text(1004), "");
    dialog.Select(1004, 2);
    EXPECT_EQ(dialog.Selection(1004), 2);
    EXPECT_EQ(dialog.Text(1004), "c");
    dialog.Select(1004, 3);  // outside the list: no selection
    EXPECT_EQ(dialog.Selection(1004), -1);
    dialog.Select(1004, 0);
    dialog.Select(1004, -1);
    EXPECT_EQ(dialog.Text(1004), "");
    EXPECT_EQ(dialog.ItemText(1004, 7), "");

    // A sorted list keeps case-insensitive order; adding selects nothing.
    const std::vector<std::string> sorted{"12V", "24V", "36V", "Auto"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(dialog.ItemText(1005, i), sorted[i]);
    dialog.Select(1005, 1);
    EXPECT_EQ(dialog.AddItem(1005, "ttyS0"), 4);
    EXPECT_EQ(dialog.AddItem(1005, "100V"), 0);
    EXPECT_EQ(dialog.Text(1005), "24V");  // the selection followed its item
    dialog.ClearItems(1005);
    EXPECT_EQ(dialog.ItemCount(1005), 0);

    // An editable list reports its edit field.
    EXPECT_EQ(dialog.Text(1006), "typed");
    dialog.AddItem(1006, "x");
    EXPECT_EQ(dialog.Text(1006), "typed");
    dialog.SetText(1006, "23");
    EXPECT_EQ(dialog.Text(1006), "23");
}

TEST(DialogTimers, NumberedTimersRestartAndKillQuietly) {
    TestDialog dialog;
    dialog.Create();
    dialog.KillTimer(99);  // never set: nothing happens
    dialog.SetTimer(3, 60 * 60 * 1000);
    dialog.SetTimer(3, 10);  // restarts with the new interval
    EXPECT_TRUE(WaitFor([&] { return dialog.ticks.size() >= 2; }));
    EXPECT_EQ(dialog.ticks[0], 3);
    dialog.KillTimer(3);
    EXPECT_FALSE(dialog.IsTimerRunning(3));
    const size_t seen = dialog.ticks.size();
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(dialog.ticks.size(), seen);
}

TEST(DialogTimers, KillingTheTimerInsideItsOwnTickIsSafe) {
    TestDialog dialog;
    dialog.Create();
    dialog.onTick = [&](int id) { dialog.KillTimer(id); };
    dialog.SetTimer(1, 5);
    EXPECT_TRUE(WaitFor([&] { return !dialog.ticks.empty(); }));
    QApplication::processEvents();
    EXPECT_EQ(dialog.ticks.size(), 1u);
}

TEST(DialogKeys, EnterInAnEditDoesNotEndTheDialog) {
    TestDialog dialog;
    int pressed = 0;
    dialog.OnClicked(1003, [&] { ++pressed; });
    dialog.Create();
    dialog.show();
    for (int id : {1002, 1004, 1006}) {
        dialog.Control(id)->setFocus();
        SendKey(dialog.Control(id), Qt::Key_Return);
        SendKey(dialog.Control(id), Qt::Key_Enter);
    }
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.closeRequests, 0);
    EXPECT_EQ(pressed, 0);
    // On a focused button Enter presses it.
    dialog.Control(1003)->setFocus();
    SendKey(dialog.Control(1003), Qt::Key_Return);
    EXPECT_EQ(pressed, 1);
    EXPECT_TRUE(dialog.isVisible());
}

TEST(DialogKeys, EscapeAndTheCloseBoxRunTheCloseRequest) {
    TestDialog dialog;
    dialog.Create();
    dialog.show();
    dialog.endOnClose = false;  // a close request that refuses
    dialog.Control(1002)->setFocus();
    SendKey(dialog.Control(1002), Qt::Key_Escape);
    EXPECT_EQ(dialog.closeRequests, 1);
    EXPECT_TRUE(dialog.isVisible());
    dialog.close();
    EXPECT_EQ(dialog.closeRequests, 2);
    EXPECT_TRUE(dialog.isVisible());
    dialog.endOnClose = true;
    SendKey(dialog.Control(1002), Qt::Key_Escape);
    EXPECT_EQ(dialog.closeRequests, 3);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), CDialog::kIdCancel);
}

TEST(DialogModal, ParentTimersRunWhileAChildIsOpenAndTheChildIsRebuiltEachTime) {
    TestDialog parent;
    parent.Create();
    TestDialog child(&parent);
    parent.onTick = [&](int) {
        if (parent.ticks.size() == 3) child.EndDialog(CDialog::kIdOk);
    };
    parent.SetTimer(1, 5);
    int childTexts = 0;
    QTimer::singleShot(0, &child, [&] { childTexts = child.HasControls() ? 1 : 0; });
    EXPECT_EQ(child.DoModal(), CDialog::kIdOk);
    EXPECT_EQ(childTexts, 1);
    EXPECT_GE(parent.ticks.size(), 3u);
    EXPECT_FALSE(child.HasControls());  // the child's window ended with it
    EXPECT_EQ(child.Text(1001), "");
}

TEST(DialogLanguage, TheLanguageInForceWhenADialogOpensPicksItsTemplate) {
    TestDialog dialog;
    for (int language : {kLanguageChinese, kLanguageEnglish, kLanguageChinese}) {
        SetDialogLanguage(language);
        std::string caption;
        QTimer::singleShot(0, &dialog, [&] {
            caption = dialog.windowTitle().toStdString();
            dialog.EndDialog(CDialog::kIdOk);
        });
        dialog.DoModal();
        EXPECT_EQ(caption, language == kLanguageChinese ? "测试" : "Test");
    }
    SetDialogLanguage(kLanguageEnglish);
}

TEST(DialogMessages, MessageBoxesCarryTheProgramNameAndTheirDetail) {
    std::vector<MessageBoxRecord> shown;
    SetMessageBoxHook([&](const MessageBoxRecord& record) { shown.push_back(record); });
    TestDialog dialog;
    dialog.Create();
    dialog.ShowMessage("串口创建失败！", "Permission denied");
    SetMessageBoxHook({});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "kestrane_ui_tests");
    EXPECT_EQ(shown[0].text, "串口创建失败！");
    EXPECT_EQ(shown[0].detail, "Permission denied");
}

}  // namespace
}  // namespace kestrane
