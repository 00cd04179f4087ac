// kestrane-bridge: polls every configured controller on every bus and hands
// the values to the MQTT publisher, with --json-lines to stdout, and with a
// [web] table serves the web page.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "AllocatorTuning.h"
#include "BridgeLiveness.h"
#include "BridgeWeb.h"
#include "HashPasswordCommand.h"
#include "MakeMqttSink.h"
#include "ServiceNotify.h"
#include "SetupCommand.h"
#include "SetupOptions.h"
#include "bridge/BridgeBuses.h"
#include "bridge/BridgeConfig.h"
#include "bridge/BridgeLog.h"
#include "bridge/BridgeStatus.h"
#include "bridge/ClockTrust.h"
#include "bridge/CommandWaiter.h"
#include "bridge/ConfigSummary.h"
#include "bridge/DeviceBoard.h"
#include "bridge/HistoryWriter.h"
#include "bridge/JsonLinesSink.h"
#include "bridge/UpdateFanOut.h"
#include "history/HistoryStore.h"
#include "platform/BuildInfo.h"
#include "serial/TracingLine.h"

namespace {

using namespace kestrane;
using namespace kestrane::bridge;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitConfig = 2;

struct Arguments {
    std::string config;
    bool checkConfig = false;
    bool hashPassword = false;
    bool jsonLines = false;
    bool verbose = false;
};

// With -v every frame on every bus goes to the log.
LineOpener Opener(bool verbose) {
    LineOpener system = SystemLineOpener();
    if (!verbose) return system;
    return [system](const BusConfig& bus, std::string* error) -> std::unique_ptr<ISerialLine> {
        std::unique_ptr<ISerialLine> line = system(bus, error);
        if (!line) return line;
        const std::string port = bus.port;
        return std::make_unique<TracingLine>(std::move(line), [port](std::string_view frame) {
            BridgeLog(LogLevel::kDebug, port + ": " + std::string(frame));
        });
    };
}

// Blocks SIGINT and SIGTERM in every thread, then waits for one of them here.
sigset_t BlockStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    return set;
}

int Run(const Arguments& args) {
    const ConfigLoad load = LoadBridgeConfig(args.config);
    for (const std::string& warning : load.warnings)
        BridgeLog(LogLevel::kWarning, warning);
    if (!load.config) {
        BridgeLog(LogLevel::kError, load.error);
        return kExitConfig;
    }
    const BridgeConfig& config = *load.config;
    if (args.checkConfig) {
        std::printf("%s\n", ConfigSummary(args.config, config).c_str());
        return kExitOk;
    }
    if (!config.mqtt && !args.jsonLines && !config.web && config.history.intervalS <= 0) {
        BridgeLog(LogLevel::kError, args.config +
                                        ": no [mqtt] table, no [web] table, history off and no "
                                        "--json-lines: nowhere to publish");
        return kExitConfig;
    }

    TuneAllocator();
    const sigset_t stopSignals = BlockStopSignals();
    signal(SIGPIPE, SIG_IGN);
    // Past a file-size limit a write then fails with EFBIG, which the history
    // writer reports and rides out, instead of the signal ending the bridge.
    signal(SIGXFSZ, SIG_IGN);

    UpdateFanOut fanOut;
    JsonLinesSink jsonLines(stdout);
    if (args.jsonLines) fanOut.Add(&jsonLines);
    HistoryConfig historyConfig = config.history;
    if (historyConfig.dir.empty()) historyConfig.dir = DefaultHistoryDir();
    const SystemClock localClock;
    HistoryWriter history(historyConfig, localClock, ClockSyncToHeed(config));
    if (historyConfig.intervalS > 0) {
        fanOut.Add(&history);
        BridgeLog(LogLevel::kInfo, "history: a record per controller every " +
                                       std::to_string(historyConfig.intervalS) + " s in " +
                                       historyConfig.dir);
    }
    DeviceBoard board(config);
    fanOut.Add(&board);
    BridgeBuses buses(config, fanOut, Opener(args.verbose));
    CommandWaiter waiter(buses);
    fanOut.Add(&waiter);
    std::unique_ptr<MqttPublisher> mqtt = MakeMqttSink(config, buses);
    if (config.mqtt && !mqtt) {
        if (!args.jsonLines) {
            BridgeLog(LogLevel::kError, "no MQTT client; use --json-lines");
            return kExitFailure;
        }
        BridgeLog(LogLevel::kWarning, "no MQTT client; [mqtt] is not used");
    }
    fanOut.Add(mqtt.get());

    std::unique_ptr<HistoryStore> historyStore;
    if (historyConfig.intervalS > 0)
        historyStore = std::make_unique<HistoryStore>(historyConfig.dir);
    BridgeStatusInputs status{&buses, &history, nullptr, std::chrono::steady_clock::now(),
                              config.pollIntervalS};
    if (mqtt) status.mqttConnected = [publisher = mqtt.get()] { return publisher->Connected(); };
    std::unique_ptr<BridgeWeb> web;
    if (config.web) {
        web::WebSources sources;
        sources.board = &board;
        sources.commands = &waiter;
        sources.history = historyStore.get();
        sources.backupDirectory = BackupDirBeside(historyConfig.dir);
        sources.bridgeStatus = [status] { return BridgeStatusJson(status); };
        sources.pollIntervalS = config.pollIntervalS;
        web = std::make_unique<BridgeWeb>(*config.web, std::move(sources));
        std::string error;
        if (!web->Start(&error)) {
            BridgeLog(LogLevel::kError, "web page: " + error);
            return kExitFailure;
        }
        board.SetListener([page = web.get()](const DeviceSnapshot& device, bool availability) {
            page->Feed(device, availability);
        });
        BridgeLog(LogLevel::kInfo, "web page on " + web->Address());
    }

    BridgeLog(LogLevel::kInfo, "polling " + std::to_string(DeviceCount(config)) + " device(s) on " +
                                   std::to_string(config.buses.size()) + " bus(es)");
    history.Start();
    buses.Start();
    ServiceNotify service;
    service.Ready();
    const int signalNumber =
        WaitForStopWatching(stopSignals,
                            WatchBridgeThreads(buses, mqtt.get(), web.get(),
                                               historyConfig.intervalS > 0 ? &history : nullptr),
                            service, HeapTrimmer());
    service.Stopping();
    BridgeLog(LogLevel::kInfo, std::string("stopping on ") + strsignal(signalNumber));
    // The web server first, so no browser waits on a stream that will not
    // move; then the buses: once they are joined nothing publishes any more,
    // and the publisher can say goodbye to the broker as it is destroyed.
    if (web) web->Stop();
    buses.Stop();
    history.Stop();
    mqtt.reset();
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "kestrane-bridge: publishes MPPT solar charge controllers on serial and TCP "
        "buses to MQTT and Home Assistant"};
    Arguments args;
    app.add_option("--config", args.config, "the bridge's TOML configuration file");
    app.add_flag("--hash-password", args.hashPassword,
                 "read a password (not echoed) and print its Argon2id hash for the [web] table");
    app.set_version_flag("--version", std::string("kestrane-bridge ") + kestrane::kProgramVersion);
    app.add_flag("--check-config", args.checkConfig,
                 "check the configuration, print a summary and exit (0 valid, 2 invalid)");
    app.add_flag("--json-lines", args.jsonLines,
                 "write every device state to stdout, one JSON object per line and cycle");
    app.add_flag("-v,--verbose", args.verbose, "log every frame sent and received");
    SetupOptions setup;
    const CLI::App* setupCommand = AddSetupCommand(app, setup);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? kExitOk : kExitConfig;
    }
    if (setupCommand->parsed()) return RunSetup(setup);
    if (args.hashPassword) return RunHashPassword();
    if (args.config.empty()) {
        std::fprintf(stderr, "--config is required\nRun with --help for more information.\n");
        return kExitConfig;
    }
    if (args.verbose) SetBridgeLogLevel(LogLevel::kDebug);
    return Run(args);
}
