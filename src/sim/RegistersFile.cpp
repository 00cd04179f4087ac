#include "sim/RegistersFile.h"

#include <unistd.h>

#include <cerrno>

#include "platform/FileReplace.h"

namespace kestrane::sim {

std::string RegistersJson(const SimBus& bus, const std::vector<int>& addresses) {
    std::string json = "{\"devices\": {";
    for (size_t i = 0; i < bus.Size(); ++i) {
        json += (i == 0 ? "\"" : ", \"") + std::to_string(addresses.at(i)) + "\": {";
        bool first = true;
        for (const RegisterRange& range : kRegisterRanges) {
            if (range.access != RegisterAccess::kReadWrite) continue;
            for (int r = range.first; r < range.first + range.count; ++r) {
                json += (first ? "\"" : ", \"") + std::to_string(r) +
                        "\": " + std::to_string(bus.Device(i).Bank().Get(static_cast<uint16_t>(r)));
                first = false;
            }
        }
        json += "}";
    }
    json += "}, \"writes\": " + std::to_string(bus.Writes()) + "}\n";
    return json;
}

bool WriteRegistersFile(const std::string& path, const std::string& json) {
    return ReplaceFile(path, [&json](int fd) {
        for (size_t at = 0; at < json.size();) {
            const ssize_t n = ::write(fd, json.data() + at, json.size() - at);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            at += static_cast<size_t>(n);
        }
        return true;
    });
}

}  // namespace kestrane::sim
