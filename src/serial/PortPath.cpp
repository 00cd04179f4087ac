#include "serial/PortPath.h"

#include <sys/stat.h>

#include <string_view>

namespace kestrane {
namespace {

constexpr std::string_view kDeviceDir = "/dev/";

bool IsExplicitlyRelative(std::string_view name) {
    return name == "." || name == ".." || name.starts_with("./") || name.starts_with("../");
}

}  // namespace

std::string PortDevicePath(const std::string& name,
                           const std::function<bool(const std::string&)>& exists) {
    if (name.empty() || name.front() == '/' || IsExplicitlyRelative(name)) return name;
    const std::string device = std::string(kDeviceDir) + name;
    if (exists(device)) return device;
    if (exists(name)) return name;
    return name.find('/') != std::string::npos ? name : device;
}

std::string PortDevicePath(const std::string& name) {
    return PortDevicePath(name, [](const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0;
    });
}

}  // namespace kestrane
