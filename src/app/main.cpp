// kestrane-monitor: the window. Options: --port PATH (repeatable) adds a port
// that discovery cannot see to the top of the port list; --demo runs against a
// simulated controller inside the process; --log-dir DIR chooses the folder of
// the daily event log.
#include <QApplication>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/CMonitorApp.h"
#include "app/MonitorOptions.h"
#include "platform/BuildInfo.h"
#include "platform/ExecutableDir.h"
#include "platform/LocalClock.h"
#include "platform/LogDirectory.h"
#include "protocol/SharedState.h"
#include "sim/SimulatorThread.h"
#include "ui/tables/StoredSettings.h"

namespace {

// The demo controller answers at the address the window will select (the
// saved one), and its day starts in the late morning of today, so the panel
// already delivers power.
std::unique_ptr<kestrane::sim::SimulatorThread> StartDemoController(const std::string& settings,
                                                                    std::string* error) {
    kestrane::sim::SimulatorOptions options;
    options.address = kestrane::ReadStoredSettings(settings).AddressIndex() + 1;
    const kestrane::LocalTime today = kestrane::SystemClock().Now();
    kestrane::sim::SimDateTime::FromParts(today.year, today.month, today.day, 10, 30, 0,
                                          &options.start);
    auto simulator = std::make_unique<kestrane::sim::SimulatorThread>(options);
    if (!simulator->Start(error)) return nullptr;
    return simulator;
}

// Prints the answer to --help or --version and gives the exit status, or -1
// when the window is to run.
int AnswerInformation(const kestrane::MonitorOptions& options) {
    using Action = kestrane::MonitorOptions::Action;
    if (options.action == Action::kHelp) {
        std::fputs(kestrane::MonitorUsage(), stdout);
        return 0;
    }
    if (options.action == Action::kVersion) {
        std::printf("kestrane-monitor %s\n", kestrane::kProgramVersion);
        return 0;
    }
    if (options.action == Action::kError) {
        std::fprintf(stderr, "kestrane-monitor: %s\n%s", options.error.c_str(),
                     kestrane::MonitorUsage());
        return 2;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version answer without a display, before the toolkit
    // starts; the toolkit's own options are known only once it has taken them
    // off the line.
    const std::vector<std::string> rawArgs(argv + 1, argv + argc);
    kestrane::MonitorOptions options = kestrane::ParseMonitorOptions(rawArgs);
    if (options.action != kestrane::MonitorOptions::Action::kError) {
        if (const int status = AnswerInformation(options); status >= 0) return status;
    }

    QApplication app(argc, argv);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(kestrane::kDesktopId);
    std::vector<std::string> args;
    for (const QString& arg : QApplication::arguments().mid(1))
        args.push_back(arg.toStdString());
    options = kestrane::ParseMonitorOptions(args);
    if (const int status = AnswerInformation(options); status >= 0) return status;

    kestrane::SharedState shared;
    kestrane::CMonitorApp monitor(shared);
    std::vector<std::string> ports = std::move(options.ports);
    std::unique_ptr<kestrane::sim::SimulatorThread> simulator;
    if (options.demo) {
        std::string error;
        simulator = StartDemoController(monitor.SettingsPath(), &error);
        if (!simulator) {
            std::fprintf(stderr, "kestrane-monitor: cannot start the demo controller: %s\n",
                         error.c_str());
            return 1;
        }
        ports.insert(ports.begin(), simulator->DevicePath());
    }
    monitor.SetExtraPorts(std::move(ports));
    const std::string logDir = kestrane::LogDirectory(options.logDir);
    // The log drops lines it cannot write without a word while the window
    // runs; say once at start that none will be kept.
    if (!kestrane::IsWritableDirectory(logDir))
        std::fprintf(stderr, "kestrane-monitor: the event log cannot be written in %s\n",
                     logDir.c_str());
    monitor.SetLogDirectory(logDir);
    monitor.InitInstance();
    return 0;
}
