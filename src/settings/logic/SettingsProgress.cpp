#include "settings/logic/SettingsProgress.h"
#include "monitor/DisplayText.h"

#include "settings/logic/SettingsText.h"

namespace kestrane {

namespace {

constexpr LanguageText kStatusTexts[] = {
    {"Click [START EDIT] to modify parameters!", "点击“开始编辑“可修改参数！"},
    {"Set successfully!", "设置成功！"},
    {"Setting failed!", "设置失败！"},
    {"Setting, please wait!", "正在设置，请稍候！"},
    {"Querying, please wait!", "正在查询，请稍候！"},
    {"The device address number is ", "设备地址号为 "},
};

}  // namespace

std::optional<std::string> SettingsStatusText(int32_t status, int32_t deviceAddress,
                                              bool isEnglish) {
    constexpr int32_t kCount = sizeof(kStatusTexts) / sizeof(kStatusTexts[0]);
    if (status < 0 || status >= kCount) return std::nullopt;
    std::string text(kStatusTexts[status].In(isEnglish));
    if (status == settings::kStatusAddressFound) text += std::to_string(deviceAddress);
    return text;
}

}  // namespace kestrane
