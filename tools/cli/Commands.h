// The commands of kestrane-cli. Each returns the process exit status.
#pragma once

#include <atomic>

#include "CliOptions.h"

namespace kestrane {
class CSerialPort;
}

namespace kestrane::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPort = 2;
inline constexpr int kExitIncomplete = 3;
inline constexpr int kExitLineClosed = 4;

// Opens and configures the port; on failure prints the reason on one line.
bool OpenConfiguredPort(CSerialPort& port, const CliOptions& options);

int RunRead(const CliOptions& options, const std::atomic<bool>& interrupted);
int RunWatch(const CliOptions& options, const std::atomic<bool>& interrupted);
int RunPorts(const CliOptions& options);
int RunDoctor(const CliOptions& options, const std::atomic<bool>& interrupted);
int RunHistory(const CliOptions& options);

}  // namespace kestrane::cli
