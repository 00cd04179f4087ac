#include "service/logic/CheckAddressLogic.h"

#include <cstdint>
#include <string>

#include "service/logic/ServiceControlIds.h"
#include "service/logic/ServiceInput.h"
#include "service/logic/ServiceSelectors.h"
#include "service/logic/ServiceText.h"

namespace kestrane {

namespace {

constexpr LanguageText kQueryingText{"Querying...", "正在查询..."};
// These two exist in Chinese only and are shown so in both languages.
constexpr const char* kEnterDataText = "请输入数据！";
constexpr const char* kUnreasonableDataText = "输入数据不合理！";

constexpr uint32_t kLowestAddress = 1;
constexpr uint32_t kHighestAddress = 247;

void SetTextIfChanged(IControlAccess& controls, int id, const std::string& text) {
    if (controls.Text(id) != text) controls.SetText(id, text);
}

}  // namespace

void CheckAddressLogic::OnRefresh() {
    const std::string text = shared_.settingsStatus.load() == service::kStatusSearching
                                 ? kQueryingText.In(shared_)
                                 : std::to_string(shared_.data.controllerAddress.load());
    SetTextIfChanged(dialog_, id::address::kCurrentAddress, text);
}

void CheckAddressLogic::OnModify() {
    const std::string text = dialog_.Text(id::address::kNewAddressEdit);
    if (IsBlankEntry(text)) {
        dialog_.ShowMessage(kEnterDataText);
        return;
    }
    // Compared as unsigned, so a negative number is out of range too.
    const auto address = static_cast<uint32_t>(ReadAddressText(text));
    if (address < kLowestAddress || address > kHighestAddress) {
        dialog_.ShowMessage(kUnreasonableDataText);
        return;
    }
    shared_.data.newAddress.store(static_cast<int32_t>(address));
    // The message line says "Setting, please wait!" until the controller
    // answers at its new address, not the result of an earlier search.
    shared_.settingsStatus.store(service::kStatusWriteQueued);
    shared_.pendingWrite.store(service::kSelectorAddressChange);
}

void CheckAddressLogic::OnClose() {
    shared_.data.addressDialogRefresh.store(0);
}

}  // namespace kestrane
