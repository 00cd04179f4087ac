// kestrane-cli ports: every serial port with what the system tells about it.
#include <unistd.h>

#include <cstdio>

#include "Commands.h"
#include "DoctorJson.h"
#include "doctor/PortInfo.h"
#include "doctor/PortText.h"

namespace kestrane::cli {

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
        std::fputs(PortText(port).c_str(), stdout);
    return kExitDone;
}

}  // namespace kestrane::cli
