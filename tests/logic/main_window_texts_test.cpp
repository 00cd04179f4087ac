// The caption lookup that tools use to label values as the window does.
#include <gtest/gtest.h>

#include <string>

#include "ui/tables/MainWindowTexts.h"

namespace kestrane {
namespace {

TEST(FixedCaptionTest, GivesTheCaptionThatDoesNotDependOnTheBattery) {
    const MainWindowTextRow* pv = FixedCaptionOf(1190);
    ASSERT_NE(pv, nullptr);
    EXPECT_EQ(std::string(pv->english), "PV  Volt.:");
    EXPECT_EQ(std::string(pv->chinese), "光伏电压：");
    ASSERT_NE(FixedCaptionOf(1251), nullptr);
    EXPECT_EQ(std::string(FixedCaptionOf(1251)->chinese), "本月用电；");
    // Battery-dependent captions, toggles and controls without a row have none.
    for (int id : {1107, 1101, 1119, 1014, 1007, 1042, 1256}) {
        EXPECT_EQ(FixedCaptionOf(id), nullptr) << id;
    }
}

}  // namespace
}  // namespace kestrane
