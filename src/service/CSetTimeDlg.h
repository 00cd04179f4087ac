// The Set Time dialog (133): the PC's local time in a display and six
// editable lists, LOCAL TIME to fill them again and CONFIRM to queue the
// clock write. The lists are filled with their items when the dialog opens;
// the first monitor pass after that fills the texts.
#pragma once

#include "platform/LocalClock.h"
#include "protocol/SharedState.h"
#include "service/logic/SetTimeLogic.h"
#include "ui/framework/CDialog.h"

namespace kestrane {

class CSetTimeDlg : public CDialog {
    Q_OBJECT

public:
    // clock is the PC's local time; it must outlive the dialog.
    CSetTimeDlg(SharedState& shared, const ILocalClock& clock, QWidget* parent = nullptr);

protected:
    // 0x403 from the monitor pass: fill the display and the lists once.
    intptr_t OnMessage(int message, intptr_t wParam, intptr_t lParam) override;
    void OnClose() override;

private:
    SetTimeLogic logic_;
};

}  // namespace kestrane
