#include "platform/ExecutableDir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace kestrane {

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) return {};
    const std::string full(path, static_cast<size_t>(length));
    const size_t slash = full.rfind('/');
    return slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
}

std::string ConfigDirectory() {
    const std::string exeDir = ExecutableDirectory();
    if (!exeDir.empty() && ::access(exeDir.c_str(), W_OK) == 0) return exeDir;
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return exeDir;
    const std::string config = std::string(home) + "/.config/";
    ::mkdir(config.c_str(), 0755);
    const std::string dir = config + "kestrane/";
    ::mkdir(dir.c_str(), 0755);
    return dir;
}

}  // namespace kestrane
