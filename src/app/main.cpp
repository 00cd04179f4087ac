// kestrane-monitor: the window. Options: --port PATH (repeatable) adds a port
// that discovery cannot see to the top of the port list; --demo runs against a
// simulated controller inside the process.
#include <QApplication>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/CMonitorApp.h"
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
    "  --port PATH  add a port that discovery cannot see (a pseudo-terminal,\n"
    "               a network serial bridge) to the top of the port list\n"
    "  --demo       run against a simulated controller inside the program\n";

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::vector<std::string> ports;
    bool demo = false;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "--port" && i + 1 < args.size()) {
            ports.push_back(args[++i].toStdString());
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
