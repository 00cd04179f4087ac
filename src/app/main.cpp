// kestrane-monitor: the window. Options: --port PATH (repeatable) adds a port
// that discovery cannot see to the top of the port list; --demo runs against a
// simulated controller inside the process.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/CMonitorApp.h"
#include "protocol/SharedState.h"

namespace {

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
    if (demo) {
        std::fputs("kestrane-monitor: --demo is not available yet\n", stderr);
        return 1;
    }

    kestrane::SharedState shared;
    kestrane::CMonitorApp monitor(shared);
    monitor.SetExtraPorts(std::move(ports));
    monitor.InitInstance();
    return 0;
}
