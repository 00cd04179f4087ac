// The four service dialogs on the dialog layer: their templates in both
// languages, their buttons and refresh messages reaching the logic, and every
// way of closing them.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "monitor/DialogRefresh.h"
#include "service/CDataCorrectionDlg.h"
#include "service/CSetTimeDlg.h"
#include "service/logic/ServiceControlIds.h"
#include "service/logic/ServiceDialogLayout.h"
#include "settings/CCheckAddressDlg.h"
#include "settings/CRestoreDlg.h"
#include "support/FakeClock.h"
#include "ui/ServiceDialogTestSupport.h"
#include "ui/framework/DialogLanguage.h"
#include "ui/framework/MessageBox.h"

namespace kestrane {
namespace {

using testing::FakeClock;
using testing::MakeTime;
using testing::RunModal;
using testing::SendKey;

class ServiceDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        shared_.SetLanguageFlag("ENGLISH");
        SetMessageBoxHook([this](const MessageBoxRecord& r) { messages_.push_back(r.text); });
    }
    void TearDown() override {
        SetMessageBoxHook({});
        SetDialogLanguage(kLanguageEnglish);
    }

    // A new dialog of each kind, with the clock of the fixture.
    std::unique_ptr<CDialog> Make(int dialogId) {
        switch (dialogId) {
            case id::address::kDialog:
                return std::make_unique<CCheckAddressDlg>(shared_);
            case id::restore::kDialog:
                return std::make_unique<CRestoreDlg>(shared_);
            case id::correction::kDialog:
                return std::make_unique<CDataCorrectionDlg>(shared_, clock_);
            default:
                return std::make_unique<CSetTimeDlg>(shared_, clock_);
        }
    }

    void ExpectNothingQueued() {
        EXPECT_EQ(shared_.pendingWrite, 0);
        EXPECT_EQ(shared_.settingsStatus, 0);
    }

    SharedState shared_;
    FakeClock clock_{MakeTime(2026, 3, 7, 9, 5, 2)};
    std::vector<std::string> messages_;
};

constexpr int kDialogIds[] = {130, 131, 132, 133};

bool KindMatches(ServiceControlKind kind, QWidget* widget) {
    switch (kind) {
        case ServiceControlKind::Static:
            return qobject_cast<QLabel*>(widget) != nullptr;
        case ServiceControlKind::Edit:
            return qobject_cast<QLineEdit*>(widget) != nullptr;
        case ServiceControlKind::PushButton:
            return qobject_cast<QPushButton*>(widget) != nullptr;
        case ServiceControlKind::GroupBox:
            return qobject_cast<QGroupBox*>(widget) != nullptr;
        case ServiceControlKind::EditableDropDown: {
            auto* list = qobject_cast<QComboBox*>(widget);
            return list != nullptr && list->isEditable();
        }
    }
    return false;
}

TEST_F(ServiceDialogTest, EachDialogOpensInTheLanguageInForceWithEveryControlOfItsLayout) {
    for (const bool english : {true, false, true}) {
        SetDialogLanguage(english ? kLanguageEnglish : kLanguageChinese);
        for (int dialogId : kDialogIds) {
            const ServiceDialogLayout& layout = *FindServiceDialogLayout(dialogId);
            const ServiceDialogVariant& variant = layout.Variant(english);
            auto dialog = Make(dialogId);
            dialog->Create();
            const std::string what = std::to_string(dialogId) + (english ? " en" : " zh");
            EXPECT_EQ(dialog->windowTitle().toStdString(), variant.caption) << what;
            EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize()) << what;
            int named = 0;
            for (const ServiceControl& control : variant.controls) {
                if (control.id == kNoControlId) continue;
                ++named;
                QWidget* widget = dialog->Control(control.id);
                ASSERT_NE(widget, nullptr) << what << " control " << control.id;
                EXPECT_TRUE(KindMatches(control.kind, widget)) << what << " " << control.id;
                EXPECT_EQ(dialog->Text(control.id), english ? control.english : control.chinese)
                    << what << " " << control.id;
            }
            EXPECT_EQ(dialog->findChildren<QWidget*>(QRegularExpression("^[0-9]+$")).size(), named)
                << what;
        }
    }
}

TEST_F(ServiceDialogTest, SetTimeListsHoldTheirNumbersAndNoSelection) {
    struct Case {
        int id;
        int count;
        const char* first;
        const char* last;
    };
    for (const bool english : {true, false}) {
        SetDialogLanguage(english ? kLanguageEnglish : kLanguageChinese);
        CSetTimeDlg dialog(shared_, clock_);
        dialog.Create();
        for (const Case& c :
             {Case{1173, 21, "2020", "2040"}, Case{1174, 12, "1", "12"}, Case{1175, 31, "1", "31"},
              Case{1176, 24, "1", "24"}, Case{1177, 60, "1", "60"}, Case{1178, 60, "1", "60"}}) {
            ASSERT_EQ(dialog.ItemCount(c.id), c.count) << c.id;
            EXPECT_EQ(dialog.ItemText(c.id, 0), c.first) << c.id;
            EXPECT_EQ(dialog.ItemText(c.id, c.count - 1), c.last) << c.id;
            EXPECT_EQ(dialog.Selection(c.id), -1) << c.id;
            EXPECT_EQ(dialog.Text(c.id), "") << c.id;
        }
    }
}

TEST_F(ServiceDialogTest, CheckAddressModifyQueuesAValidAddressAndRefusesOthersWithAMessage) {
    CCheckAddressDlg dialog(shared_);
    dialog.Create();
    // The logic's own tests cover the values; here the refusals reach the
    // operator through the dialog's message boxes.
    for (const char* bad : {"248", " "}) {
        dialog.SetText(id::address::kNewAddressEdit, bad);
        dialog.Click(id::address::kModifyButton);
    }
    EXPECT_EQ(messages_, (std::vector<std::string>{"输入数据不合理！", "请输入数据！"}));
    ExpectNothingQueued();

    dialog.SetText(id::address::kNewAddressEdit, "247");
    dialog.Click(id::address::kModifyButton);
    EXPECT_EQ(shared_.data.newAddress, 247);
    EXPECT_EQ(shared_.pendingWrite, 5);
    EXPECT_TRUE(dialog.HasControls());  // the dialog stays open
}

TEST_F(ServiceDialogTest, CheckAddressRefreshShowsTheSearchThenTheReportedAddress) {
    CCheckAddressDlg dialog(shared_);
    dialog.SendMessage(0x401);  // not open: dropped
    dialog.Create();
    shared_.settingsStatus = 4;
    EXPECT_EQ(dialog.SendMessage(0x401), 0);
    EXPECT_EQ(dialog.Text(id::address::kCurrentAddress), "Querying...");
    shared_.settingsStatus = 5;
    shared_.data.controllerAddress = 3;
    dialog.SendMessage(0x402);  // another dialog's message changes nothing
    EXPECT_EQ(dialog.Text(id::address::kCurrentAddress), "Querying...");
    dialog.SendMessage(0x401);
    EXPECT_EQ(dialog.Text(id::address::kCurrentAddress), "3");
}

TEST_F(ServiceDialogTest, RestoreOkQueuesTheRestoreAndEveryOtherWayOutQueuesNothing) {
    CRestoreDlg dialog(shared_);
    // CANCEL, Escape, the close box.
    const std::vector<std::function<void()>> cancels{
        [&] { dialog.Click(id::kCancelButton); },
        [&] { SendKey(dialog.Control(id::kCancelButton), Qt::Key_Escape); },
        [&] { dialog.close(); },
    };
    for (const auto& cancel : cancels) {
        EXPECT_EQ(RunModal(dialog, cancel), CDialog::kIdCancel);
        ExpectNothingQueued();
    }
    // OK, and Enter with the focus on no button, which presses the default OK.
    const std::vector<std::function<void()>> oks{
        [&] { dialog.Click(id::kOkButton); },
        [&] {
            dialog.setFocus();
            SendKey(&dialog, Qt::Key_Return);
        },
    };
    for (const auto& ok : oks) {
        shared_.pendingWrite = 0;
        shared_.settingsStatus = 0;
        EXPECT_EQ(RunModal(dialog, ok), CDialog::kIdOk);
        EXPECT_EQ(shared_.pendingWrite, 7);
        EXPECT_EQ(shared_.settingsStatus, 3);
    }
    EXPECT_FALSE(dialog.HasControls());
}

TEST_F(ServiceDialogTest, DataCorrectionRowConfirmWritesTheCalibration) {
    shared_.SetLanguageFlag("CHINESE");
    CDataCorrectionDlg dialog(shared_, clock_);
    dialog.Create();
    ControllerData& d = shared_.data;
    d.pvVoltage = 120;
    d.pvVoltageRatio = 1000;
    d.pvVoltageOffset = 12;
    d.batteryVoltageRatio = 999;

    // The first refresh fills the edits; later ones only the statics.
    d.calibrationEditsReload = 1;
    dialog.SendMessage(0x402);
    EXPECT_EQ(dialog.Text(id::correction::kFirstRatioStatic), "1000");
    EXPECT_EQ(dialog.Text(id::correction::kFirstOffsetStatic), "12");
    EXPECT_EQ(dialog.Text(id::correction::kFirstOffsetEdit), "12");
    EXPECT_EQ(dialog.Text(id::correction::kFirstMeasuredEdit), "12.0");
    EXPECT_EQ(dialog.Text(id::correction::kFirstRatioStatic + 1), "999");

    // Live charge current 0: refused, nothing queued.
    dialog.Click(id::correction::kFirstConfirmButton + 3);
    EXPECT_EQ(messages_, std::vector<std::string>{"数据异常！"});
    ExpectNothingQueued();

    dialog.SetText(id::correction::kFirstMeasuredEdit, "12.5");
    dialog.SetText(id::correction::kFirstOffsetEdit, " ");
    dialog.Click(id::correction::kFirstConfirmButton);
    EXPECT_EQ(d.calibrationWrite[0], 1041);
    EXPECT_EQ(d.calibrationWrite[1], 12);
    EXPECT_EQ(d.calibrationWrite[2], 999);
    EXPECT_EQ(shared_.pendingWrite, 6);
    EXPECT_EQ(shared_.settingsStatus, 3);
}

TEST_F(ServiceDialogTest, DataCorrectionIdentityButtonsQueueTheIdentityWrite) {
    CDataCorrectionDlg dialog(shared_, clock_);
    dialog.Create();
    struct Case {
        int edit;
        int button;
        const char* tooLong;
        const char* message;
    };
    for (const Case& c :
         {Case{id::correction::kSerialEdit, id::correction::kSerialButton, "12345",
               "Enter a value in the range of 1 ~ 9999 !"},
          Case{id::correction::kCustomSerialEdit, id::correction::kCustomSerialButton,
               "12345678901234567", "You can enter up to 16 numbers!"},
          Case{id::correction::kModelEdit, id::correction::kModelButton, "ABCDEFGHIJKLMNOPQ",
               "You can enter up to 16 characters!"}}) {
        messages_.clear();
        shared_.pendingWrite = 0;
        dialog.SetText(c.edit, c.tooLong);
        dialog.Click(c.button);
        EXPECT_EQ(messages_, std::vector<std::string>{c.message});
        EXPECT_EQ(shared_.pendingWrite, 0);
        dialog.SetText(c.edit, "42");
        dialog.Click(c.button);
        EXPECT_EQ(shared_.pendingWrite, 9) << c.button;
    }
    // The last one wrote the model "42" padded with blanks: '4' low, '2' high.
    EXPECT_EQ(shared_.data.identityWrite[10], ('2' << 8) | '4');
    EXPECT_EQ(shared_.data.identityWrite[11], (' ' << 8) | ' ');
}

TEST_F(ServiceDialogTest, SetTimeFillsOnceFromTheClockAndConfirmWritesTheLists) {
    CSetTimeDlg dialog(shared_, clock_);
    dialog.Create();
    EXPECT_EQ(dialog.Text(id::settime::kLocalTime), "2022-01-10   12:33:45");
    shared_.data.clockDialogRefresh = 1;
    dialog.SendMessage(0x403);
    EXPECT_EQ(shared_.data.clockDialogRefresh, 0);
    EXPECT_EQ(dialog.Text(id::settime::kLocalTime), "2026- 3- 7    9: 5: 2");
    EXPECT_EQ(dialog.Text(id::settime::kYearList), "2026");
    EXPECT_EQ(dialog.Text(id::settime::kSecondList), "2");

    dialog.Select(id::settime::kHourList, 23);  // the item "24"
    dialog.SetText(id::settime::kMinuteList, "");
    dialog.SetText(id::settime::kYearList, "2031");
    dialog.Click(id::settime::kConfirmButton);
    const int expected[] = {31, 3, 7, 24, 0, 2};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(shared_.data.clockWrite[i], expected[i]) << i;
    EXPECT_EQ(shared_.pendingWrite, 8);
    EXPECT_EQ(shared_.settingsStatus, 3);

    // LOCAL TIME fills again without touching the refresh flag.
    clock_.Set(MakeTime(2027, 12, 31, 23, 59, 58));
    shared_.data.clockDialogRefresh = 1;
    dialog.Click(id::settime::kLocalTimeButton);
    EXPECT_EQ(dialog.Text(id::settime::kMinuteList), "59");
    EXPECT_EQ(shared_.data.clockDialogRefresh, 1);
}

// The three refreshed dialogs, their refresh flags and a field that takes Enter.
struct RefreshedDialog {
    int dialogId;
    AtomicValue ControllerData::*flag;
    int field;
};
constexpr RefreshedDialog kRefreshed[] = {
    {id::address::kDialog, &ControllerData::addressDialogRefresh, id::address::kNewAddressEdit},
    {id::correction::kDialog, &ControllerData::calibrationDialogRefresh,
     id::correction::kModelEdit},
    {id::settime::kDialog, &ControllerData::clockDialogRefresh, id::settime::kYearList},
};

TEST_F(ServiceDialogTest, ClosingARefreshedDialogAnyWayClearsItsFlag) {
    for (const RefreshedDialog& r : kRefreshed) {
        auto dialog = Make(r.dialogId);
        const std::vector<std::function<void()>> closes{
            [&] { dialog->close(); },
            [&] { SendKey(dialog->Control(r.field), Qt::Key_Escape); },
        };
        for (const auto& close : closes) {
            shared_.data.*r.flag = 1;
            EXPECT_EQ(RunModal(*dialog, close), CDialog::kIdCancel) << r.dialogId;
            EXPECT_EQ(shared_.data.*r.flag, 0) << r.dialogId;
            EXPECT_FALSE(dialog->HasControls());
        }
        // Enter in a field neither ends the dialog nor leaves a dangling flag.
        shared_.data.*r.flag = 1;
        bool openAfterEnter = false;
        RunModal(*dialog, [&] {
            dialog->Control(r.field)->setFocus();
            SendKey(dialog->Control(r.field), Qt::Key_Return);
            openAfterEnter = dialog->isVisible() && shared_.data.*r.flag == 1;
            dialog->close();
        });
        EXPECT_TRUE(openAfterEnter) << r.dialogId;
        EXPECT_EQ(shared_.data.*r.flag, 0) << r.dialogId;
    }
    ExpectNothingQueued();
}

// Every control inside the client area and clear of its neighbours; group
// boxes are frames behind controls. With KESTRANE_SCREENSHOTS set to a
// directory, each dialog is also saved there as a PNG in both languages.
TEST_F(ServiceDialogTest, ControlsFitTheirDialogWithoutOverlapping) {
    const QString shots = qEnvironmentVariable("KESTRANE_SCREENSHOTS");
    for (const bool english : {true, false}) {
        SetDialogLanguage(english ? kLanguageEnglish : kLanguageChinese);
        for (int dialogId : kDialogIds) {
            auto dialog = Make(dialogId);
            dialog->Create();
            const std::string what = std::to_string(dialogId) + (english ? " en" : " zh");
            std::vector<QWidget*> controls;
            for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (!qobject_cast<QGroupBox*>(child)) controls.push_back(child);
            for (size_t i = 0; i < controls.size(); ++i) {
                const QRect a = controls[i]->geometry();
                EXPECT_TRUE(dialog->rect().contains(a))
                    << what << " " << controls[i]->objectName().toStdString();
                for (size_t j = i + 1; j < controls.size(); ++j) {
                    EXPECT_FALSE(a.intersects(controls[j]->geometry()))
                        << what << ": " << controls[i]->objectName().toStdString() << " "
                        << controls[i]->property("text").toString().toStdString() << " / "
                        << controls[j]->objectName().toStdString() << " "
                        << controls[j]->property("text").toString().toStdString();
                }
            }
            if (!shots.isEmpty()) {
                if (dialogId == id::settime::kDialog) {
                    clock_.Set(MakeTime(2026, 3, 7, 9, 5, 2));
                    dialog->SendMessage(kSetTimeRefreshMessage);
                }
                dialog->show();
                QApplication::processEvents();
                const QString name = QStringLiteral("%1/dialog-%2-%3.png")
                                         .arg(shots)
                                         .arg(dialogId)
                                         .arg(english ? "en" : "zh");
                EXPECT_TRUE(dialog->grab().save(name)) << name.toStdString();
                dialog->hide();
            }
        }
    }
}

}  // namespace
}  // namespace kestrane
