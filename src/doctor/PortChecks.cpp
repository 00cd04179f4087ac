#include "doctor/PortChecks.h"

#include "serial/PortDiscovery.h"
#include "serial/PortPath.h"

namespace kestrane {

namespace {

std::string Join(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

std::string HolderText(const PortHolder& holder) {
    const std::string name = holder.name.empty() ? "a process" : holder.name;
    std::string text = name + " (pid " + std::to_string(holder.pid) + ")";
    if (holder.how != "open") text += " by its " + holder.how;
    return text;
}

}  // namespace

std::vector<std::string> ExistingPortNames(const SystemPaths& paths) {
    std::vector<std::string> byId;
    std::vector<std::string> plain;
    for (const std::string& name : ListSerialPorts(paths.sysfsTty)) {
        const std::string device = PortDevicePath(name);
        const std::vector<std::string> links = ByIdLinks(device, paths);
        if (links.empty()) {
            plain.push_back(device);
        } else {
            byId.insert(byId.end(), links.begin(), links.end());
        }
    }
    byId.insert(byId.end(), plain.begin(), plain.end());
    return byId;
}

DoctorStep CheckPath(const PortInfo& info, const std::vector<std::string>& existing) {
    DoctorStep step{DoctorCheck::kPath, info.exists, info.devicePath, {}};
    if (info.exists) {
        if (info.realPath != info.devicePath) step.detail += " -> " + info.realPath;
        return step;
    }
    step.detail += ": no such device";
    step.hint = existing.empty()
                    ? "no serial port exists on this machine: is the adapter plugged in?"
                    : "ports that exist: " + Join(existing);
    return step;
}

DoctorStep CheckPermission(const PortInfo& info) {
    const PortAccess& access = info.access;
    DoctorStep step{DoctorCheck::kPermission, access.mayOpen, {}, {}};
    step.detail = "owned by " + access.owner + ":" + access.group;
    if (access.mayOpen) return step;
    if (access.addedSinceLogin) {
        step.detail +=
            "; you were added to " + access.group + " but this session does not have it yet";
    } else if (!access.groupMember) {
        step.detail += "; you are not in the group " + access.group;
    }
    step.hint = access.fix;
    return step;
}

DoctorStep CheckBusy(const PortInfo& info) {
    DoctorStep step{DoctorCheck::kBusy, !info.holders.Busy(), {}, {}};
    std::vector<std::string> competitors;
    std::vector<std::string> farEnds;
    for (const PortHolder& holder : info.holders.holders)
        (holder.farEnd ? farEnds : competitors).push_back(HolderText(holder));
    if (!competitors.empty()) {
        step.detail = "held by " + Join(competitors);
        step.hint = "close that program first";
        for (const PortHolder& holder : info.holders.holders) {
            if (holder.name == "ModemManager")
                step.hint =
                    "ModemManager probes serial ports: sudo systemctl stop ModemManager "
                    "(or a udev rule with ENV{ID_MM_DEVICE_IGNORE}=\"1\")";
        }
        return step;
    }
    step.detail = "free";
    if (!farEnds.empty()) step.detail += "; the other end is " + Join(farEnds);
    if (!info.holders.staleLocks.empty())
        step.detail +=
            "; stale lock file " + Join(info.holders.staleLocks) + " (its process is gone)";
    return step;
}

}  // namespace kestrane
