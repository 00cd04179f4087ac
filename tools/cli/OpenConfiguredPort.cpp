// Opening the port for every kestrane-cli command, with the reason on one
// line when it fails.
#include <cstdio>

#include "Commands.h"
#include "serial/CSerialPort.h"

namespace kestrane::cli {

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

}  // namespace kestrane::cli
