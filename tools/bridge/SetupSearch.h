// The first half of kestrane-bridge setup: the serial ports listed as
// `kestrane-cli ports` lists them, the ones to search chosen, and each
// searched for controllers with the progress shown.
#pragma once

#include <string>
#include <vector>

#include "SetupOptions.h"
#include "SetupPrompter.h"
#include "doctor/BusScan.h"
#include "doctor/PortInfo.h"

namespace kestrane::bridge {

struct FoundBus {
    PortInfo port;
    std::string configPort;  // the name the config keeps: a by-id name when it has one
    BusScanResult scan;
};

// With --yes and --port only the ports given; otherwise every port
// discovery finds and those given. Printed as a numbered list.
std::vector<PortInfo> ListPorts(const SetupOptions& options);

// All by default; a person may name some by number or path.
std::vector<PortInfo> ChoosePorts(const std::vector<PortInfo>& ports, SetupPrompter& prompter);

std::vector<FoundBus> SearchPorts(const std::vector<PortInfo>& ports, const SetupOptions& options);

}  // namespace kestrane::bridge
