// The Check Address dialog (130): shows the address the controller reports
// about itself, or that the search is still running, and MODIFY gives the
// controller a new address. It has no OK or Cancel button; every way of
// closing it stops the monitor pass from refreshing it.
#pragma once

#include "protocol/SharedState.h"
#include "service/logic/CheckAddressLogic.h"
#include "ui/framework/CDialog.h"

namespace kestrane {

class CCheckAddressDlg : public CDialog {
    Q_OBJECT

public:
    explicit CCheckAddressDlg(SharedState& shared, QWidget* parent = nullptr);

protected:
    // 0x401 from the monitor pass: the reported address or the querying text.
    intptr_t OnMessage(int message, intptr_t wParam, intptr_t lParam) override;
    void OnClose() override;

private:
    CheckAddressLogic logic_;
};

}  // namespace kestrane
