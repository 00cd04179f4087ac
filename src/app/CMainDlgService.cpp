// The four service buttons (CHECK ADDRESS, RESTORE, DATA CORRECTION, SET
// TIME) and the refresh requests the monitor pass sends to their dialogs.
#include "app/CMainDlg.h"
#include "monitor/ControlIds.h"
#include "service/logic/ServiceCommands.h"

namespace kestrane {

void CMainDlg::OnCheckAddress() {
    const ServiceCommandAction action =
        OnCheckAddressCommand(shared, *this, serialPort.IsOpen(), IsMonitoring());
    if (action == ServiceCommandAction::Refuse) return;
    if (action == ServiceCommandAction::StartMonitoringThenOpen) StartMonitoringFromCheckAddress();
    BeginAddressScan();
    checkAddressDlg_.DoModal();
}

void CMainDlg::OnRestore() {
    if (OnRestoreCommand(shared, *this, serialPort.IsOpen()) == ServiceCommandAction::Refuse)
        return;
    restoreDlg_.DoModal();
}

void CMainDlg::OnDataCorrection() {
    const ServiceCommandAction action =
        OnDataCorrectionCommand(shared, *this, serialPort.IsOpen(), IsMonitoring());
    if (action == ServiceCommandAction::Refuse) return;
    dataCorrectionDlg_.DoModal();
}

void CMainDlg::OnSetTime() {
    const ServiceCommandAction action =
        OnSetTimeCommand(shared, *this, serialPort.IsOpen(), IsMonitoring());
    if (action == ServiceCommandAction::Refuse) return;
    setTimeDlg_.DoModal();
}

CDialog* CMainDlg::ServiceDialog(int dialogId) {
    switch (dialogId) {
        case id::kCheckAddressDialog:
            return &checkAddressDlg_;
        case id::kRestoreDialog:
            return &restoreDlg_;
        case id::kDataCorrectionDialog:
            return &dataCorrectionDlg_;
        case id::kSetTimeDialog:
            return &setTimeDlg_;
        default:
            return nullptr;
    }
}

void CMainDlg::SendDialogRefresh(int dialogId, int message) {
    // CDialog::SendMessage runs in the window thread and drops the message
    // there when the dialog's window is not open, so a dialog closing at the
    // same moment is never reached half torn down.
    if (CDialog* dialog = ServiceDialog(dialogId)) dialog->SendMessage(message);
}

bool CMainDlg::IsMonitoring() const {
    return settingsRunning.load() == 1;
}

void CMainDlg::BeginAddressScan() {
    engine.BeginAddressScan();
}

}  // namespace kestrane
