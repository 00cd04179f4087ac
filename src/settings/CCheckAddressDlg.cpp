#include "settings/CCheckAddressDlg.h"

#include "monitor/DialogRefresh.h"
#include "service/ServiceDialogTemplate.h"
#include "service/logic/ServiceControlIds.h"

namespace kestrane {

CCheckAddressDlg::CCheckAddressDlg(SharedState& shared, QWidget* parent)
    : CDialog(ServiceDialogTemplate(id::address::kDialog, true),
              ServiceDialogTemplate(id::address::kDialog, false), parent),
      logic_(shared, *this) {
    OnClicked(id::address::kModifyButton, [this] { logic_.OnModify(); });
}

intptr_t CCheckAddressDlg::OnMessage(int message, intptr_t wParam, intptr_t lParam) {
    if (message == static_cast<int>(kCheckAddressRefreshMessage)) {
        logic_.OnRefresh();
        return 0;
    }
    return CDialog::OnMessage(message, wParam, lParam);
}

void CCheckAddressDlg::OnClose() {
    logic_.OnClose();
    CDialog::OnClose();
}

}  // namespace kestrane
