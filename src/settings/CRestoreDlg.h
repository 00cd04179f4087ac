// The Restore dialog (132): asks the operator to confirm the factory restore.
// OK (or Enter on it, the default button) queues the restore command and
// closes; CANCEL, Escape and the close box close with nothing queued.
#pragma once

#include "protocol/SharedState.h"
#include "service/logic/RestoreLogic.h"
#include "ui/framework/CDialog.h"

namespace kestrane {

class CRestoreDlg : public CDialog {
    Q_OBJECT

public:
    explicit CRestoreDlg(SharedState& shared, QWidget* parent = nullptr);

protected:
    // Queues the restore, then ends the dialog with kIdOk.
    virtual void OnOK();
    // Ends the dialog with kIdCancel.
    virtual void OnCancel();

private:
    RestoreLogic logic_;
};

}  // namespace kestrane
