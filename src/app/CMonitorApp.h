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
    // Folder of the daily event log (LogDirectory()); empty: the current
    // directory.
    void SetLogDirectory(std::string dir) { logDir_ = std::move(dir); }

    // The start-up part of instance initialisation: removes temporary files
    // that a killed write left beside the settings file, takes the language
    // flag and colour index from it in one read, and writes the defaults of
    // the settings it lacks, all three when it is missing (colour index 0 for
    // this run when the colour was missing).
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
    std::string logDir_;
};

}  // namespace kestrane
