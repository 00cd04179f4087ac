// kestrane-monitor: the window. Options: --port PATH (repeatable) adds a port
// that discovery cannot see to the top of the port list; --demo runs against a
// simulated controller inside the process; --history [DIR] opens only the
// history window on the logs of DIR (by default the folder the log is written to).
#include <QApplication>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CMonitorApp.h"
#include "history/LogDayFiles.h"
#include "platform/LocalClock.h"
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

constexpr const char* kUsage =
    "usage: kestrane-monitor [--port PATH]... [--demo]\n"
    "       kestrane-monitor --history [DIR]\n"
    "  --port PATH  add a port that discovery cannot see (a pseudo-terminal,\n"
    "               a network serial bridge) to the top of the port list\n"
    "  --demo       run against a simulated controller inside the program\n"
    "  --history    show the charts of the daily logs in DIR (default: the\n"
    "               folder the log is written to), without the main window\n";

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::vector<std::string> ports;
    bool demo = false;
    std::optional<std::string> historyFolder;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "--port" && i + 1 < args.size()) {
            ports.push_back(args[++i].toStdString());
        } else if (arg == "--history") {
            historyFolder = kestrane::DefaultLogFolder();
            if (i + 1 < args.size() && !args[i + 1].startsWith("--"))
                historyFolder = args[++i].toStdString();
        } else if (arg == "--demo") {
            demo = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "kestrane-monitor: unknown option %s\n%s", qPrintable(arg),
                         kUsage);
            return 2;
        }
    }

    kestrane::SharedState shared;
    kestrane::CMonitorApp monitor(shared);
    if (historyFolder) {
        monitor.RunHistory(*historyFolder);
        return 0;
    }
    std::unique_ptr<kestrane::sim::SimulatorThread> simulator;
    if (demo) {
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
    monitor.InitInstance();
    return 0;
}
