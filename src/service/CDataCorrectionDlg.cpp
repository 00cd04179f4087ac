#include "service/CDataCorrectionDlg.h"

#include "monitor/DialogRefresh.h"
#include "service/ServiceDialogTemplate.h"
#include "service/logic/ServiceControlIds.h"

namespace kestrane {

namespace c = id::correction;

CDataCorrectionDlg::CDataCorrectionDlg(SharedState& shared, const ILocalClock& clock,
                                       QWidget* parent)
    : CDialog(ServiceDialogTemplate(c::kDialog, true), ServiceDialogTemplate(c::kDialog, false),
              parent),
      logic_(shared, *this, clock) {
    for (int row = 0; row < c::kRowCount; ++row)
        OnClicked(c::kFirstConfirmButton + row, [this, row] { logic_.OnConfirmRow(row); });
    OnClicked(c::kSerialButton, [this] { logic_.OnWriteSerialNumber(); });
    OnClicked(c::kCustomSerialButton, [this] { logic_.OnWriteCustomSerial(); });
    OnClicked(c::kModelButton, [this] { logic_.OnWriteModel(); });
}

intptr_t CDataCorrectionDlg::OnMessage(int message, intptr_t wParam, intptr_t lParam) {
    if (message == static_cast<int>(kDataCorrectionRefreshMessage)) {
        logic_.OnRefresh();
        return 0;
    }
    return CDialog::OnMessage(message, wParam, lParam);
}

void CDataCorrectionDlg::OnClose() {
    logic_.OnClose();
    CDialog::OnClose();
}

}  // namespace kestrane
