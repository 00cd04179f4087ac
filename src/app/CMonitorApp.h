// The application object: reads or creates the settings file, then runs the
// main window modally; the process ends when the window does.
#pragma once

#include <string>
#include <vector>

#include "protocol/SharedState.h"

namespace kestrane {

class CMonitorApp {
public:
    // settingsDir: where Configfiles.ini lives; empty for the program's
    // configuration directory.
    explicit CMonitorApp(SharedState& shared, std::string settingsDir = {});

    void SetExtraPorts(std::vector<std::string> ports) { extraPorts_ = std::move(ports); }

    // The start-up part of instance initialisation: language flag and colour
    // index from the settings file, or the file created with its defaults
    // (colour index 0 for this run).
    void LoadStartSettings();
    // The look of every window of this run, after LoadStartSettings: Chinese
    // texts in a Simplified Chinese font, the dialog colours of colourIndex
    // (the system's outside 0 to 4) and the application icon. Needs the
    // QApplication.
    void ApplyStartAppearance();
    // Instance initialisation: LoadStartSettings, ApplyStartAppearance, then
    // the main window until it ends. Returns false: there is nothing to run
    // after the window.
    bool InitInstance();

    std::string SettingsPath() const;

private:
    SharedState& shared_;
    std::string settingsDir_;
    std::vector<std::string> extraPorts_;
};

}  // namespace kestrane
