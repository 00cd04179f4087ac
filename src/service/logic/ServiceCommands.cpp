#include "service/logic/ServiceCommands.h"

#include "service/logic/ServiceText.h"

namespace kestrane {

namespace {

// The two refusals shared by the buttons: the port first, then monitoring.
bool RefuseUnlessReady(SharedState& shared, IControlAccess& mainWindow, bool portOpen,
                       bool monitoring, bool needsMonitoring) {
    if (!portOpen) {
        mainWindow.ShowMessage(kPortNotOpenText.In(shared));
        return true;
    }
    if (needsMonitoring && !monitoring) {
        mainWindow.ShowMessage(kMonitorNotStartedText.In(shared));
        return true;
    }
    return false;
}

}  // namespace

ServiceCommandAction OnCheckAddressCommand(SharedState& shared, IControlAccess& mainWindow,
                                           bool portOpen, bool monitoring) {
    if (RefuseUnlessReady(shared, mainWindow, portOpen, monitoring, false))
        return ServiceCommandAction::Refuse;
    shared.data.addressDialogRefresh.store(1);
    return monitoring ? ServiceCommandAction::OpenDialog
                      : ServiceCommandAction::StartMonitoringThenOpen;
}

ServiceCommandAction OnRestoreCommand(SharedState& shared, IControlAccess& mainWindow,
                                      bool portOpen) {
    if (RefuseUnlessReady(shared, mainWindow, portOpen, false, false))
        return ServiceCommandAction::Refuse;
    return ServiceCommandAction::OpenDialog;
}

ServiceCommandAction OnDataCorrectionCommand(SharedState& shared, IControlAccess& mainWindow,
                                             bool portOpen, bool monitoring) {
    if (RefuseUnlessReady(shared, mainWindow, portOpen, monitoring, true))
        return ServiceCommandAction::Refuse;
    shared.data.calibrationDialogRefresh.store(1);
    return ServiceCommandAction::OpenDialog;
}

ServiceCommandAction OnSetTimeCommand(SharedState& shared, IControlAccess& mainWindow,
                                      bool portOpen, bool monitoring) {
    if (RefuseUnlessReady(shared, mainWindow, portOpen, monitoring, true))
        return ServiceCommandAction::Refuse;
    shared.data.clockDialogRefresh.store(1);
    return ServiceCommandAction::OpenDialog;
}

}  // namespace kestrane
