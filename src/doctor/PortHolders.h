// Who else has a serial device: UUCP-style lock files (LCK..ttyUSB0, naming
// a process id) and the processes that hold the device open, found in /proc
// where its entries are readable.
#pragma once

#include <string>
#include <vector>

#include "doctor/SystemPaths.h"

namespace kestrane {

struct PortHolder {
    int pid = 0;
    std::string name;  // the process's command name; empty when unreadable
    // How it was found: "lock file /run/lock/LCK..ttyUSB0" or "open".
    std::string how;
    // The process holds the other end of the pseudo-terminal: it is the
    // device the program talks to (a simulator, a network bridge), not a
    // competitor for the line.
    bool farEnd = false;
};

struct PortHolders {
    std::vector<PortHolder> holders;
    std::vector<std::string> staleLocks;  // lock files whose process is gone

    // Holders other than the far end.
    bool Busy() const;
};

// `devicePath` resolved to the real device; `ownPid` is left out (the
// program itself, which may have the port open already).
PortHolders FindPortHolders(const std::string& devicePath, int ownPid,
                            const SystemPaths& paths = {});

// The pid in a lock file's text: ASCII digits (HDB style, padded with
// spaces), or a 4-byte binary number (the older style). 0 when neither.
int LockFilePid(const std::string& content);

}  // namespace kestrane
