// A serial port described for a person, as `kestrane-cli ports` and
// `kestrane-bridge setup` list it: the path, its by-id names, the USB device
// behind it, the driver, whether the user may open it (and if not, the
// command that lets them in) and who else holds it.
#pragma once

#include <string>

#include "doctor/PortInfo.h"

namespace kestrane {

// "access: yes (root:dialout)", or with "; to fix: <command>" when not allowed.
std::string PortAccessText(const PortAccess& access);
// "busy: no", or the processes holding it and stale lock files.
std::string PortBusyText(const PortHolders& found);
// Several lines, each ending in a line break; all but the first indented.
std::string PortText(const PortInfo& port);

}  // namespace kestrane
