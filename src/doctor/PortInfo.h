// Everything the system tells about one serial port: its by-id names, the
// USB device behind it (vendor:product, manufacturer, product and serial
// strings) and the kernel driver from sysfs, whether the user may open it,
// and who else holds it.
#pragma once

#include <string>
#include <vector>

#include "doctor/PortAccess.h"
#include "doctor/PortHolders.h"
#include "doctor/SystemPaths.h"

namespace kestrane {

struct UsbIdentity {
    std::string vendorId;   // "0403"
    std::string productId;  // "6001"
    std::string manufacturer;
    std::string product;
    std::string serial;
};

struct PortInfo {
    std::string devicePath;  // as given, e.g. /dev/ttyUSB0
    std::string realPath;    // links resolved
    bool exists = false;
    std::vector<std::string> byId;  // /dev/serial/by-id links to it
    UsbIdentity usb;                // empty fields when there is no USB device
    std::string driver;             // kernel driver, e.g. ftdi_sio; empty when none
    PortAccess access;
    PortHolders holders;
};

// The sysfs facts of the tty `name` ("ttyUSB0"): its driver and, walking up
// its device tree, the first USB device.
void ReadSysfsIdentity(const std::string& name, const SystemPaths& paths, PortInfo& info);

// The /dev/serial/by-id links that lead to `realPath`.
std::vector<std::string> ByIdLinks(const std::string& realPath, const SystemPaths& paths);

// Everything about `devicePath`; the process `ownPid` is not counted as a holder.
PortInfo DescribePort(const std::string& devicePath, int ownPid, const SystemPaths& paths = {});

// Every port discovery finds, then `extra` paths (pseudo-terminals given on
// the command line) that are not among them; ports with a by-id name first.
std::vector<PortInfo> DescribeAllPorts(const std::vector<std::string>& extra, int ownPid,
                                       const SystemPaths& paths = {});

}  // namespace kestrane
