// The serial ports of this machine, by name as the port list shows them.
#pragma once

#include <string>
#include <vector>

namespace kestrane {

// Names of the tty devices backed by a driver, sorted case-insensitively.
std::vector<std::string> ListSerialPorts(const std::string& sysfsTtyDir = "/sys/class/tty");

}  // namespace kestrane
