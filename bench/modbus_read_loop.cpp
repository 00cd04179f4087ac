// A plain libmodbus master for the read benchmark: reads the eight blocks of
// the read cycle from every given address, cycle after cycle, with ordinary
// libmodbus settings, and prints the cycle times on stderr as
//   cycle-time-ms min=<f> median=<f> max=<f> cycles=<n>
// A cycle is one sweep of all eight blocks over all addresses. Exits 3 when a
// block could not be read, after printing which.
#include <modbus.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "protocol/RegisterMap.h"

namespace {

constexpr size_t kCycleBlocks = 8;  // codes 0..7 of the register map

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Reads the eight blocks of the read cycle with libmodbus and times each cycle"};
    std::string port;
    int baud = 9600;
    std::vector<int> addresses{1};
    int count = 20;
    int responseTimeoutMs = 300;
    app.add_option("--port", port, "serial device")->required();
    app.add_option("--baud", baud, "line speed")->check(CLI::PositiveNumber);
    app.add_option("--address", addresses, "bus addresses, e.g. 1,2,7")
        ->delimiter(',')
        ->check(CLI::Range(1, 247));
    app.add_option("--count", count, "cycles to time")->check(CLI::PositiveNumber);
    app.add_option("--response-timeout-ms", responseTimeoutMs, "libmodbus response timeout")
        ->check(CLI::Range(1, 60000));
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    modbus_t* ctx = modbus_new_rtu(port.c_str(), baud, 'N', 8, 1);
    if (ctx == nullptr || modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "modbus_read_loop: cannot open %s: %s\n", port.c_str(),
                     modbus_strerror(errno));
        if (ctx != nullptr) modbus_free(ctx);
        return 2;
    }
    modbus_set_response_timeout(ctx, 0, static_cast<uint32_t>(responseTimeoutMs) * 1000);

    std::vector<double> cycles;
    int failures = 0;
    uint16_t words[125];
    for (int cycle = 0; cycle < count; ++cycle) {
        const auto start = std::chrono::steady_clock::now();
        for (const int address : addresses) {
            modbus_set_slave(ctx, address);
            for (size_t b = 0; b < kCycleBlocks; ++b) {
                const kestrane::ReadBlock& block = kestrane::kReadBlocks[b];
                if (modbus_read_registers(ctx, block.startRegister, block.registerCount, words) !=
                    block.registerCount) {
                    std::fprintf(stderr, "modbus_read_loop: address %d block %d: %s\n", address,
                                 block.code, modbus_strerror(errno));
                    ++failures;
                }
            }
        }
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        cycles.push_back(took.count());
    }
    modbus_close(ctx);
    modbus_free(ctx);

    std::fprintf(stderr, "cycle-time-ms min=%.3f median=%.3f max=%.3f cycles=%zu\n",
                 *std::min_element(cycles.begin(), cycles.end()), Median(cycles),
                 *std::max_element(cycles.begin(), cycles.end()), cycles.size());
    return failures == 0 ? 0 : 3;
}
