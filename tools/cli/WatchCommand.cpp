// kestrane-cli watch: the live values once a second until interrupted.
#include <chrono>
#include <cstdio>

#include "Commands.h"
#include "EngineSession.h"
#include "WatchView.h"
#include "monitor/MonitorFormat.h"
#include "platform/LocalClock.h"
#include "serial/CSerialPort.h"

namespace kestrane::cli {

namespace {

void PrintFigures(const SessionFigures& figures) {
    using Seconds = std::chrono::duration<double>;
    const double elapsed = Seconds(figures.elapsed).count();
    const double cycleSeconds =
        figures.cyclesCompleted > 1
            ? Seconds(figures.lastCycleEnd - figures.firstCycleEnd).count() /
                  (figures.cyclesCompleted - 1)
            : 0.0;
    std::fprintf(stderr,
                 "elapsed_s=%.2f frames_sent=%d replies_received=%d transactions_per_s=%.2f "
                 "cycles=%u first_cycle_s=%.3f cycle_s=%.3f\n",
                 elapsed, figures.framesSent, figures.repliesReceived,
                 elapsed > 0 ? figures.repliesReceived / elapsed : 0.0, figures.cyclesCompleted,
                 Seconds(figures.firstCycleEnd).count(), cycleSeconds);
}

}  // namespace

int RunWatch(const CliOptions& options, const std::atomic<bool>& interrupted) {
    CSerialPort port;
    if (!OpenConfiguredPort(port, options)) return kExitPort;

    SharedState shared;
    SystemClock clock;
    bool hungUp = false;
    {
        EngineSession session(shared, port, options.addresses.front());
        const auto limit = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(options.seconds));
        // A device that has gone will not come back on this descriptor.
        const auto lineClosed = [&](const SessionFigures&) { return port.HasHungUp(); };
        hungUp = session.Run(lineClosed, limit, interrupted, [&] {
            const auto texts = FormatMonitorTexts(shared.data, clock.Now(), options.english);
            const CTransactionEngine& engine = session.Engine();
            std::fputs(WatchScreen(texts, engine.framesSent.load(), engine.repliesReceived.load(),
                                   options.english)
                           .c_str(),
                       stdout);
            std::fflush(stdout);
        });
        if (options.stats) PrintFigures(session.Figures());
    }
    port.Close();
    if (hungUp) {
        std::fprintf(stderr, "kestrane-cli: line closed: %s hung up\n", options.port.c_str());
        return kExitLineClosed;
    }
    return kExitDone;
}

}  // namespace kestrane::cli
