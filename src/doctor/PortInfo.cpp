#include "doctor/PortInfo.h"

#include <algorithm>
#include <filesystem>

#include "serial/PortDiscovery.h"
#include "serial/PortPath.h"

namespace kestrane {

namespace {

namespace fs = std::filesystem;

}  // namespace

void ReadSysfsIdentity(const std::string& name, const SystemPaths& paths, PortInfo& info) {
    std::error_code ec;
    const fs::path entry = fs::path(paths.sysfsTty) / name;
    const fs::path device = fs::canonical(entry / "device", ec);
    if (ec) return;
    const fs::path driver = fs::read_symlink(device / "driver", ec);
    if (!ec) info.driver = driver.filename().string();
    // A USB adapter's tty hangs below the interface, the interface below
    // the device that carries idVendor.
    for (fs::path at = device; !at.empty() && at != at.root_path(); at = at.parent_path()) {
        if (!fs::exists(at / "idVendor", ec)) continue;
        info.usb.vendorId = ReadSysfsAttribute(at / "idVendor");
        info.usb.productId = ReadSysfsAttribute(at / "idProduct");
        info.usb.manufacturer = ReadSysfsAttribute(at / "manufacturer");
        info.usb.product = ReadSysfsAttribute(at / "product");
        info.usb.serial = ReadSysfsAttribute(at / "serial");
        break;
    }
}

std::vector<std::string> ByIdLinks(const std::string& realPath, const SystemPaths& paths) {
    std::vector<std::string> links;
    std::error_code ec;
    for (fs::directory_iterator it(paths.byId, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code linkError;
        const fs::path target = fs::canonical(it->path(), linkError);
        if (!linkError && target == realPath) links.push_back(it->path().string());
    }
    std::sort(links.begin(), links.end());
    return links;
}

PortInfo DescribePort(const std::string& devicePath, int ownPid, const SystemPaths& paths) {
    PortInfo info;
    info.devicePath = devicePath;
    std::error_code ec;
    const fs::path real = fs::canonical(devicePath, ec);
    info.exists = !ec;
    info.realPath = ec ? devicePath : real.string();
    ReadSysfsIdentity(fs::path(info.realPath).filename().string(), paths, info);
    if (!info.exists) return info;
    info.byId = ByIdLinks(info.realPath, paths);
    info.access = CheckPortAccess(info.realPath);
    info.holders = FindPortHolders(info.realPath, ownPid, paths);
    return info;
}

std::vector<PortInfo> DescribeAllPorts(const std::vector<std::string>& extra, int ownPid,
                                       const SystemPaths& paths) {
    std::vector<PortInfo> ports;
    for (const std::string& name : ListSerialPorts(paths.sysfsTty))
        ports.push_back(DescribePort(PortDevicePath(name), ownPid, paths));
    std::stable_sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) {
        return !a.byId.empty() && b.byId.empty();
    });
    for (const std::string& name : extra) {
        PortInfo info = DescribePort(PortDevicePath(name), ownPid, paths);
        const bool listed = std::any_of(ports.begin(), ports.end(), [&](const PortInfo& p) {
            return p.realPath == info.realPath;
        });
        if (!listed) ports.push_back(std::move(info));
    }
    return ports;
}

}  // namespace kestrane
