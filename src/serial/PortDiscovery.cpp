#include "serial/PortDiscovery.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace kestrane {
namespace {

namespace fs = std::filesystem;

// The 8250 driver registers a fixed number of ttyS lines whether or not a UART
// answers at their addresses; unanswered ones hang off its platform device
// (named "serial8250", or "serial8250:0.N" ports on newer kernels).
constexpr const char* kPlaceholderDevice = "serial8250";
// A "type" of 0 is the kernel's PORT_UNKNOWN: no UART was found.
constexpr const char* kUnknownUartType = "0";

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool HasRealUart(const fs::path& entry) {
    std::error_code ec;
    if (fs::exists(entry / "type", ec))
        return ReadSysfsAttribute((entry / "type").string()) != kUnknownUartType;
    // Without a type attribute, go by where the line hangs.
    fs::path device = fs::read_symlink(entry / "device", ec);
    if (!ec && StartsWith(device.filename().string(), kPlaceholderDevice)) return false;
    fs::path driver = fs::read_symlink(entry / "device" / "driver", ec);
    return ec || driver.filename() != kPlaceholderDevice;
}

bool IsSerialPort(const fs::path& entry, const std::string& name) {
    std::error_code ec;
    // Bound Bluetooth links may show no parent device while unconnected.
    if (StartsWith(name, "rfcomm")) return true;
    if (!fs::exists(entry / "device", ec)) return false;
    if (StartsWith(name, "ttyS")) return HasRealUart(entry);
    return true;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    auto lower = [](unsigned char c) { return std::tolower(c); };
    bool less = std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [&](unsigned char x, unsigned char y) { return lower(x) < lower(y); });
    bool greater = std::lexicographical_compare(
        b.begin(), b.end(), a.begin(), a.end(),
        [&](unsigned char x, unsigned char y) { return lower(x) < lower(y); });
    return less || (!greater && a < b);
}

}  // namespace

std::string ReadSysfsAttribute(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

std::vector<std::string> ListSerialPorts(const std::string& sysfsTtyDir) {
    std::vector<std::string> ports;
    std::error_code ec;
    fs::directory_iterator it(sysfsTtyDir, ec);
    if (ec) return ports;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        std::string name = it->path().filename().string();
        if (IsSerialPort(it->path(), name)) ports.push_back(name);
    }
    std::sort(ports.begin(), ports.end(), LessIgnoringCase);
    return ports;
}

std::string PortListName(const std::string& devicePath) {
    constexpr std::string_view kDevPrefix = "/dev/";
    if (devicePath.size() > kDevPrefix.size() && devicePath.starts_with(kDevPrefix))
        return devicePath.substr(kDevPrefix.size());
    return devicePath;
}

}  // namespace kestrane
