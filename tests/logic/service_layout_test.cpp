#include <gtest/gtest.h>

#include <set>
#include <string>

#include "service/logic/ServiceControlIds.h"
#include "service/logic/ServiceDialogLayout.h"

namespace kestrane {

namespace {

const ServiceControl* FindControl(const ServiceDialogVariant& variant, int id) {
    for (const ServiceControl& c : variant.controls)
        if (c.id == id) return &c;
    return nullptr;
}

bool Overlap(const ServiceControl& a, const ServiceControl& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

}  // namespace

TEST(ServiceLayout, EveryControlFitsItsDialogWithoutCoveringAnother) {
    ASSERT_EQ(ServiceDialogLayouts().size(), 4u);
    for (const ServiceDialogLayout& layout : ServiceDialogLayouts()) {
        for (bool english : {true, false}) {
            const ServiceDialogVariant& v = layout.Variant(english);
            SCOPED_TRACE(std::to_string(layout.id) + (english ? " English" : " Chinese"));
            std::set<int> ids;
            for (const ServiceControl& c : v.controls) {
                SCOPED_TRACE(c.id);
                ASSERT_NE(c.english, nullptr);
                ASSERT_NE(c.chinese, nullptr);
                EXPECT_GE(c.x, 0);
                EXPECT_GE(c.y, 0);
                EXPECT_GT(c.w, 0);
                EXPECT_GT(c.h, 0);
                EXPECT_LE(c.x + c.w, v.width);
                EXPECT_LE(c.y + c.h, v.height);
                if (c.id != kNoControlId) {
                    EXPECT_TRUE(ids.insert(c.id).second) << "twice";
                }
                if (c.kind == ServiceControlKind::PushButton) {
                    EXPECT_STRNE(c.english, "");
                    EXPECT_STRNE(c.chinese, "");
                }
            }
            // Group boxes frame other controls; nothing else may overlap.
            for (const ServiceControl& a : v.controls)
                for (const ServiceControl& b : v.controls)
                    if (&a < &b && a.kind != ServiceControlKind::GroupBox &&
                        b.kind != ServiceControlKind::GroupBox) {
                        EXPECT_FALSE(Overlap(a, b)) << a.english << " / " << b.english;
                    }
        }
    }
    EXPECT_EQ(FindServiceDialogLayout(134), nullptr);
}

TEST(ServiceLayout, TheControlsTheHandlersAddressExistWithTheirKinds) {
    using K = ServiceControlKind;
    struct Case {
        int dialog;
        int control;
        K kind;
    };
    const Case cases[] = {
        {130, id::address::kCurrentAddress, K::Static},
        {130, id::address::kNewAddressEdit, K::Edit},
        {130, id::address::kModifyButton, K::PushButton},
        {132, id::kOkButton, K::PushButton},
        {132, id::kCancelButton, K::PushButton},
        {131, id::correction::kSerialEdit, K::Edit},
        {131, id::correction::kCustomSerialEdit, K::Edit},
        {131, id::correction::kModelEdit, K::Edit},
        {131, id::correction::kSerialButton, K::PushButton},
        {131, id::correction::kCustomSerialButton, K::PushButton},
        {131, id::correction::kModelButton, K::PushButton},
        {131, id::correction::kStandardGroup, K::GroupBox},
        {131, id::correction::kCustomGroup, K::GroupBox},
        {133, id::settime::kLocalTime, K::Static},
        {133, id::settime::kLocalTimeButton, K::PushButton},
        {133, id::settime::kConfirmButton, K::PushButton},
    };
    for (const Case& c : cases) {
        for (bool english : {true, false}) {
            const ServiceControl* control =
                FindControl(FindServiceDialogLayout(c.dialog)->Variant(english), c.control);
            ASSERT_NE(control, nullptr) << c.dialog << " " << c.control;
            EXPECT_EQ(control->kind, c.kind) << c.dialog << " " << c.control;
        }
    }
    const ServiceDialogLayout& correction = *FindServiceDialogLayout(131);
    for (int row = 0; row < id::correction::kRowCount; ++row) {
        EXPECT_EQ(FindControl(correction.english, id::correction::kFirstMeasuredEdit + row)->kind,
                  K::Edit);
        EXPECT_EQ(FindControl(correction.english, id::correction::kFirstOffsetEdit + row)->kind,
                  K::Edit);
        EXPECT_STREQ(
            FindControl(correction.english, id::correction::kFirstRatioStatic + row)->english, "0");
        EXPECT_STREQ(
            FindControl(correction.chinese, id::correction::kFirstConfirmButton + row)->chinese,
            "校正");
    }
}

TEST(ServiceLayout, SetTimeListsAreEditableAndFilledWithTheirRanges) {
    const ServiceDialogLayout& setTime = *FindServiceDialogLayout(133);
    struct Range {
        int id;
        int first;
        int last;
    };
    const Range expected[] = {{1173, 2020, 2040}, {1174, 1, 12}, {1175, 1, 31},
                              {1176, 1, 24},      {1177, 1, 60}, {1178, 1, 60}};
    ASSERT_EQ(setTime.lists.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(setTime.lists[i].id, expected[i].id);
        EXPECT_EQ(setTime.lists[i].first, expected[i].first);
        EXPECT_EQ(setTime.lists[i].last, expected[i].last);
        for (bool english : {true, false})
            EXPECT_EQ(FindControl(setTime.Variant(english), expected[i].id)->kind,
                      ServiceControlKind::EditableDropDown);
    }
    EXPECT_EQ(setTime.english.width, 241);
    EXPECT_EQ(setTime.chinese.width, 216);
}

TEST(ServiceLayout, RestoreAsksInBothLanguagesWithOkAsTheDefault) {
    const ServiceDialogLayout& restore = *FindServiceDialogLayout(132);
    EXPECT_STREQ(restore.english.caption, "RESTORE");
    EXPECT_STREQ(restore.chinese.caption, "恢复出厂设置");
    const ServiceControl& question = restore.english.controls[0];
    EXPECT_STREQ(question.english,
                 "It will clear the power generation data and operation data, and reset the "
                 "battery parameters, protection parameters and load parameters! Do you want to "
                 "do this?");
    EXPECT_STREQ(
        question.chinese,
        "        恢复出厂设置将清空发电量数据和运行数据，重置电池参数、保护参数和负载参数！"
        "是否执行此操作？");
    const ServiceControl* ok = FindControl(restore.english, id::kOkButton);
    EXPECT_TRUE(ok->style & service::style::kDefault);
    EXPECT_STREQ(ok->chinese, "确定");
    EXPECT_STREQ(FindControl(restore.english, id::kCancelButton)->english, "CANCEL");
}

}  // namespace kestrane
