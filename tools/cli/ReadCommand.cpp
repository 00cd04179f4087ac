// kestrane-cli read: one full read cycle, printed as JSON.
#include <chrono>
#include <cstdio>
#include <string>

#include "Commands.h"
#include "EngineSession.h"
#include "RecordJson.h"
#include "protocol/RegisterMap.h"
#include "serial/CSerialPort.h"

namespace kestrane::cli {

namespace {

// "0 (0x0000) 4 (0x0203)": the read blocks that were never decoded.
std::string MissingBlocks(const CTransactionEngine& engine) {
    std::string names;
    for (int code = 0; code < CTransactionEngine::kReadBlockCount; ++code) {
        if (engine.ReadBlockDecodes(code) != 0) continue;
        char name[32];
        std::snprintf(name, sizeof name, "%s%d (0x%04X)", names.empty() ? "" : " ", code,
                      static_cast<unsigned>(ReadBlockFor(code)->startRegister));
        names += name;
    }
    return names;
}

}  // namespace

bool OpenConfiguredPort(CSerialPort& port, const CliOptions& options) {
    if (!port.Open(options.port)) {
        std::fprintf(stderr, "kestrane-cli: cannot open %s: %s\n", options.port.c_str(),
                     port.LastErrorText().c_str());
        return false;
    }
    if (!port.Configure(options.baud)) {
        std::fprintf(stderr, "kestrane-cli: cannot set %s to %u baud: %s\n", options.port.c_str(),
                     options.baud, port.LastErrorText().c_str());
        port.Close();
        return false;
    }
    return true;
}

int RunRead(const CliOptions& options, const std::atomic<bool>& interrupted) {
    CSerialPort port;
    if (!OpenConfiguredPort(port, options)) return kExitPort;

    SharedState shared;
    bool complete = false;
    {
        EngineSession session(shared, port, options.address);
        const auto limit = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(options.timeoutSeconds));
        complete =
            session.Run([](const SessionFigures& figures) { return figures.cyclesCompleted >= 1; },
                        limit, interrupted, {});
        if (!complete) {
            std::fprintf(stderr,
                         "kestrane-cli: no complete read from address %d on %s within %g s; "
                         "blocks never answered: %s\n",
                         options.address, options.port.c_str(), options.timeoutSeconds,
                         MissingBlocks(session.Engine()).c_str());
        }
    }
    port.Close();
    if (!complete) return kExitTimeout;
    std::fputs(RecordJson(shared.data).c_str(), stdout);
    std::fflush(stdout);
    return kExitDone;
}

}  // namespace kestrane::cli
