// Which device a port name opens. The port list shows bare names ("ttyUSB0",
// and "pts/3" for a /dev/pts/3 given on the command line); the operator may
// also name a path of their own, absolute or relative.
#pragma once

#include <functional>
#include <string>

namespace kestrane {

// The path to open for name, in this order:
// - an absolute name ("/dev/ttyUSB0", "/tmp/sim-link") is that path;
// - a name that starts with "./" or "../" (or is "." or "..") is that path
//   from the current directory;
// - any other name that exists under /dev/ is that device ("ttyUSB0",
//   "pts/3", "serial/by-id/usb-..."): names from the port list mean devices,
//   even where the current directory holds a file of the same name;
// - otherwise a name that exists from the current directory is that path
//   ("regular.txt", "links/ttyX");
// - otherwise, where nothing exists: a name with a '/' as it is, a bare name
//   under /dev/, so the open fails naming the path it tried.
// exists tells whether a path names anything (following symbolic links).
// An empty name gives an empty path.
std::string PortDevicePath(const std::string& name,
                           const std::function<bool(const std::string&)>& exists);

// PortDevicePath over the file system.
std::string PortDevicePath(const std::string& name);

}  // namespace kestrane
