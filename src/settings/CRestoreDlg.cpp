#include "settings/CRestoreDlg.h"

#include "service/ServiceDialogTemplate.h"
#include "service/logic/ServiceControlIds.h"

namespace kestrane {

CRestoreDlg::CRestoreDlg(SharedState& shared, QWidget* parent)
    : CDialog(ServiceDialogTemplate(id::restore::kDialog, true),
              ServiceDialogTemplate(id::restore::kDialog, false), parent),
      logic_(shared) {
    OnClicked(id::kOkButton, [this] { OnOK(); });
    OnClicked(id::kCancelButton, [this] { OnCancel(); });
}

void CRestoreDlg::OnOK() {
    logic_.OnOk();
    EndDialog(kIdOk);
}

void CRestoreDlg::OnCancel() {
    EndDialog(kIdCancel);
}

}  // namespace kestrane
