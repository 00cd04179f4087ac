// The serial ports this machine has, as names CSerialPort::Open accepts.
#pragma once

#include <string>
#include <vector>

namespace kestrane {

// Entries of the kernel's tty class directory that a real device stands
// behind (USB adapters, modems, on-board and PCI UARTs, bound Bluetooth
// serial links), as bare names such as "ttyUSB0", sorted without regard to
// case. 8250 placeholders with no UART behind them are left out. Empty when
// the directory cannot be read.
std::vector<std::string> ListSerialPorts(const std::string& sysfsTtyDir = "/sys/class/tty");

}  // namespace kestrane
