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

// How a device path given by the operator appears in the port list: a path
// under /dev/ as the shorter name Open accepts ("/dev/pts/3" as "pts/3"), so
// it fits the narrow list; any other path as it is.
std::string PortListName(const std::string& devicePath);

// The first line of a sysfs attribute file, trailing white space removed;
// empty when it cannot be read.
std::string ReadSysfsAttribute(const std::string& file);

}  // namespace kestrane
