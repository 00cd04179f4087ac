#include "service/CSetTimeDlg.h"

#include "monitor/DialogRefresh.h"
#include "service/ServiceDialogTemplate.h"
#include "service/logic/ServiceControlIds.h"

namespace kestrane {

namespace t = id::settime;

CSetTimeDlg::CSetTimeDlg(SharedState& shared, const ILocalClock& clock, QWidget* parent)
    : CDialog(ServiceDialogTemplate(t::kDialog, true), ServiceDialogTemplate(t::kDialog, false),
              parent),
      logic_(shared, *this, clock) {
    OnClicked(t::kLocalTimeButton, [this] { logic_.OnLocalTime(); });
    OnClicked(t::kConfirmButton, [this] { logic_.OnConfirmTime(); });
}

intptr_t CSetTimeDlg::OnMessage(int message, intptr_t wParam, intptr_t lParam) {
    if (message == static_cast<int>(kSetTimeRefreshMessage)) {
        logic_.OnRefresh();
        return 0;
    }
    return CDialog::OnMessage(message, wParam, lParam);
}

void CSetTimeDlg::OnClose() {
    logic_.OnClose();
    CDialog::OnClose();
}

}  // namespace kestrane
