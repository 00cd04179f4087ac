#include "doctor/PortText.h"

namespace kestrane {

std::string PortAccessText(const PortAccess& access) {
    std::string text = "access: " + std::string(access.mayOpen ? "yes" : "no") + " (" +
                       access.owner + ":" + access.group + ")";
    if (!access.mayOpen) text += "; to fix: " + access.fix;
    return text;
}

std::string PortBusyText(const PortHolders& found) {
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

std::string PortText(const PortInfo& port) {
    std::string text = port.devicePath;
    if (port.realPath != port.devicePath) text += " -> " + port.realPath;
    text += port.exists ? "\n" : "  (does not exist)\n";
    for (const std::string& link : port.byId)
        text += "    " + link + "\n";
    const UsbIdentity& usb = port.usb;
    if (!usb.vendorId.empty())
        text += "    USB " + usb.vendorId + ":" + usb.productId + "  " + usb.manufacturer + "  " +
                usb.product + "  serial " + (usb.serial.empty() ? "-" : usb.serial) + "\n";
    if (!port.driver.empty()) text += "    driver " + port.driver + "\n";
    if (!port.exists) return text;
    return text + "    " + PortAccessText(port.access) + "\n    " + PortBusyText(port.holders) +
           "\n";
}

}  // namespace kestrane
