// The doctor's first three checks, on what the system tells about the port
// before it is opened: that the path exists, that the user may open it, and
// that no other program holds it.
#pragma once

#include <string>
#include <vector>

#include "doctor/DoctorReport.h"
#include "doctor/PortInfo.h"

namespace kestrane {

// The ports that do exist, by-id names first, for a path that does not.
std::vector<std::string> ExistingPortNames(const SystemPaths& paths);

DoctorStep CheckPath(const PortInfo& info, const std::vector<std::string>& existing);
DoctorStep CheckPermission(const PortInfo& info);
DoctorStep CheckBusy(const PortInfo& info);

}  // namespace kestrane
