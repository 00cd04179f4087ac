// Whether the current user may open a serial device, and when not, what
// stands in the way: the group that owns it, and whether the user belongs
// to it already (perhaps only since the last login).
#pragma once

#include <string>

namespace kestrane {

struct PortAccess {
    bool mayOpen = false;
    std::string owner;         // user owning the device
    std::string group;         // group owning the device
    bool groupMember = false;  // the running process has the group
    // The group database lists the user in the group, but this session does
    // not have it: the user was added and has not logged in again.
    bool addedSinceLogin = false;
    std::string fix;  // the command that grants access; empty when allowed
};

// Looks at `devicePath` as the running process would open it (read and write).
PortAccess CheckPortAccess(const std::string& devicePath);

}  // namespace kestrane
