// The Data Correction dialog (131): the six calibration rows with their
// CONFIRM buttons, and the factory identity (standard serial number,
// customised serial number, model name). Every way of closing it stops the
// monitor pass from refreshing it.
#pragma once

#include "platform/LocalClock.h"
#include "protocol/SharedState.h"
#include "service/logic/DataCorrectionLogic.h"
#include "ui/framework/CDialog.h"

namespace kestrane {

class CDataCorrectionDlg : public CDialog {
    Q_OBJECT

public:
    // clock dates the standard serial number; it must outlive the dialog.
    CDataCorrectionDlg(SharedState& shared, const ILocalClock& clock, QWidget* parent = nullptr);

protected:
    // 0x402 from the monitor pass: the calibration as read.
    intptr_t OnMessage(int message, intptr_t wParam, intptr_t lParam) override;
    void OnClose() override;

private:
    DataCorrectionLogic logic_;
};

}  // namespace kestrane
