// kestrane-cli ports: every serial port with what the system tells about it.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "Commands.h"
#include "DoctorJson.h"
#include "doctor/PortInfo.h"

namespace kestrane::cli {

namespace {

std::string AccessText(const PortAccess& access) {
    std::string text = "access: " + std::string(access.mayOpen ? "yes" : "no") + " (" +
                       access.owner + ":" + access.group + ")";
    if (!access.mayOpen) text += "; to fix: " + access.fix;
    return text;
}

std::string BusyText(const PortHolders& found) {
    std::string text = found.Busy() ? "busy: held by" : "busy: no";
    std::string farEnd;
    for (const PortHolder& h : found.holders) {
        const std::string who = " " + (h.name.empty() ? std::string("?") : h.name) + " (pid " +
                                std::to_string(h.pid) + (h.how == "open" ? "" : ", " + h.how) + ")";
        (h.farEnd ? farEnd : text) += who;
    }
    if (!farEnd.empty()) text += "; other end:" + farEnd;
    for (const std::string& lock : found.staleLocks)
        text += "; stale lock " + lock;
    return text;
}

void PrintPort(const PortInfo& port) {
    std::printf("%s", port.devicePath.c_str());
    if (port.realPath != port.devicePath) std::printf(" -> %s", port.realPath.c_str());
    std::printf("%s\n", port.exists ? "" : "  (does not exist)");
    for (const std::string& link : port.byId)
        std::printf("    %s\n", link.c_str());
    const UsbIdentity& usb = port.usb;
    if (!usb.vendorId.empty())
        std::printf("    USB %s:%s  %s  %s  serial %s\n", usb.vendorId.c_str(),
                    usb.productId.c_str(), usb.manufacturer.c_str(), usb.product.c_str(),
                    usb.serial.empty() ? "-" : usb.serial.c_str());
    if (!port.driver.empty()) std::printf("    driver %s\n", port.driver.c_str());
    if (!port.exists) return;
    std::printf("    %s\n    %s\n", AccessText(port.access).c_str(),
                BusyText(port.holders).c_str());
}

}  // namespace

int RunPorts(const CliOptions& options) {
    const std::vector<PortInfo> ports =
        DescribeAllPorts(options.doctor.extraPorts, static_cast<int>(::getpid()));
    if (options.doctor.json) {
        nlohmann::ordered_json out = nlohmann::ordered_json::array();
        for (const PortInfo& port : ports)
            out.push_back(PortJson(port));
        std::puts(out.dump(2, ' ', true).c_str());
        return kExitDone;
    }
    if (ports.empty()) std::puts("no serial ports found");
    for (const PortInfo& port : ports)
        PrintPort(port);
    return kExitDone;
}

}  // namespace kestrane::cli
