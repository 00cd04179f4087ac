#include "serial/PortDiscovery.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace kestrane {

std::vector<std::string> ListSerialPorts(const std::string& sysfsTtyDir) {
    std::vector<std::string> ports;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(sysfsTtyDir, error)) {
        if (std::filesystem::exists(entry.path() / "device", error)) {
            ports.push_back(entry.path().filename().string());
        }
    }
    std::sort(ports.begin(), ports.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) {
                                                return std::tolower(static_cast<unsigned char>(x)) <
                                                       std::tolower(static_cast<unsigned char>(y));
                                            });
    });
    return ports;
}

}  // namespace kestrane
