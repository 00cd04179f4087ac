// The main window's four service buttons, without widgets: each decides
// whether its dialog may open, shows the refusal when not, and sets the flag
// that makes the next monitor pass fill the dialog.
#pragma once

#include "protocol/SharedState.h"
#include "ui/ControlAccess.h"

namespace kestrane {

enum class ServiceCommandAction {
    Refuse,                   // a message was shown; nothing else to do
    OpenDialog,               // run the dialog modally
    StartMonitoringThenOpen,  // start monitoring as START MONITOR does, then run it
};

// CHECK ADDRESS (1120). Refused while the port is closed. Otherwise asks for
// address refreshes; the window then starts monitoring if it was stopped,
// queues the address search (CTransactionEngine::BeginAddressScan) and runs
// the Check Address dialog.
ServiceCommandAction OnCheckAddressCommand(SharedState& shared, IControlAccess& mainWindow,
                                           bool portOpen, bool monitoring);

// RESTORE (1121). Refused while the port is closed; monitoring is not needed,
// the restore waits in the queue until it runs.
ServiceCommandAction OnRestoreCommand(SharedState& shared, IControlAccess& mainWindow,
                                      bool portOpen);

// DATA CORRECTION (1122). Refused while the port is closed or monitoring is
// stopped, since the dialog works on live readings; otherwise asks for
// calibration refreshes so the dialog fills on the next monitor pass.
ServiceCommandAction OnDataCorrectionCommand(SharedState& shared, IControlAccess& mainWindow,
                                             bool portOpen, bool monitoring);

// SET TIME (1136). Refused while the port is closed or monitoring is stopped;
// otherwise asks for the one clock refresh that fills the dialog.
ServiceCommandAction OnSetTimeCommand(SharedState& shared, IControlAccess& mainWindow,
                                      bool portOpen, bool monitoring);

}  // namespace kestrane
