// Where the link doctor looks at the system. Tests point it at a directory
// tree of their own.
#pragma once

#include <string>
#include <vector>

namespace kestrane {

struct SystemPaths {
    std::string sysfsTty = "/sys/class/tty";
    std::string byId = "/dev/serial/by-id";
    std::string proc = "/proc";
    // UUCP-style lock files (LCK..ttyUSB0); /var/lock is often a link to /run/lock.
    std::vector<std::string> lockDirs{"/var/lock", "/run/lock"};
};

}  // namespace kestrane
