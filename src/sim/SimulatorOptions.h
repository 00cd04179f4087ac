// Everything that configures the simulated controllers on one line: their bus
// addresses, the speed of their day, where the line appears, how the line is
// paced, and the faults they inject.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/SimDateTime.h"

namespace kestrane::sim {

struct SimulatorOptions {
    int address = 1;           // bus address, 1..247
    std::vector<int> devices;  // every controller on the line, `address` first; empty: `address`
    unsigned baud = 9600;      // the rate of --pace, --strict-line and the frame gap
    uint32_t seed = 1;         // weather, noise and fault decisions
    double daySeconds = 600;   // real seconds per simulated day; 0 stops the clock
    std::string linkPath;      // when set, a symlink to the pseudo-terminal
    // --tcp-listen [HOST:]PORT serves the line over TCP instead (one client at
    // a time); port 0 lets the system choose. -1: a pseudo-terminal.
    int tcpListenPort = -1;
    std::string tcpListenHost = "127.0.0.1";
    std::string tcpListen;  // as given, checked once every option is in
    SimDateTime start;      // simulated date and time at start

    // Fault injection: probabilities per request, 0..1.
    double drop = 0;            // the request is lost: no reply
    double corrupt = 0;         // reply with a bad CRC
    double exception = 0;       // exception reply (code 4) instead of acting
    double wrongEcho = 0;       // a write is acknowledged with another register
    double split = 0;           // reply sent in pieces, 10-30 ms apart
    double noise = 0;           // garbage bytes after the reply, between frames
    int delayMs = 0;            // every reply is this much late
    bool ignoreAa = false;      // the 0xAA frame gets no answer
    bool refuseWrites = false;  // every write and 0xAA frame: exception 4, nothing changes
    int faultDevice = 0;        // the only controller that injects the faults above; 0: all

    bool pace = false;        // bytes take their wire time at `baud`
    double turnaroundMs = 2;  // with `pace`: from the end of a request to its reply
    int hangupAfter = 0;      // close the line after this many requests (0 = never)

    // The line as the program on the other end set it up.
    bool strictLine = false;  // answer only at `baud` 8N1, else send what a mismatched rate makes
    bool echo = false;        // send every request back before its reply (2-wire adapter)

    // When set, the writable registers of every controller go to this file
    // as JSON after start and after every write carried out, for tests that
    // compare the settings before and after a change.
    std::string registersFile;
};

// The addresses of the controllers on the line, in the order given.
std::vector<int> BusAddresses(const SimulatorOptions& options);

// The options of one controller of the line: its address and its own seed
// (the first keeps the line's seed), and the faults only when it injects them.
SimulatorOptions DeviceOptions(const SimulatorOptions& options, size_t index);

// Parses the command line of kestrane-sim. Returns false with a message in
// `error` for a bad option; sets `help` for --help and, when given, `version`
// for --version (without it --version is an unknown option).
bool ParseSimulatorOptions(int argc, const char* const* argv, SimulatorOptions* options, bool* help,
                           std::string* error, bool* version = nullptr);

std::string SimulatorUsage();

}  // namespace kestrane::sim
