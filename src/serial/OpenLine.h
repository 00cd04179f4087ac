// Opens the line a port name stands for: "tcp://host:port" a serial server
// over TCP, anything else a local serial device (a path, a /dev/serial/by-id/
// name, a bare name under /dev/) at `baud`, 8N1.
#pragma once

#include <memory>
#include <string>

#include "serial/SerialLine.h"

namespace kestrane {

// The open line, or nullptr with the reason in `error`. A TCP connection is
// given up after connectTimeoutMs.
std::unique_ptr<ISerialLine> OpenLine(const std::string& portName, unsigned baud,
                                      std::string* error, int connectTimeoutMs = 3000);

}  // namespace kestrane
