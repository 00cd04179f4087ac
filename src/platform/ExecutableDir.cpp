#include "platform/ExecutableDir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace kestrane {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAppDirName = "kestrane";

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

bool IsWritableDirectory(const std::string& dir) {
    std::error_code ec;
    return fs::is_directory(dir, ec) && ::access(dir.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

std::string ExecutableDirectory() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.has_parent_path()) return "./";
    return WithSlash(exe.parent_path().string());
}

std::string ChooseConfigDirectory(const std::string& exeDir, const char* xdgConfigHome,
                                  const char* home) {
    if (IsWritableDirectory(exeDir)) return WithSlash(exeDir);
    fs::path base;
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        base = xdgConfigHome;
    } else if (home != nullptr && home[0] == '/') {
        base = fs::path(home) / ".config";
    } else {
        return WithSlash(exeDir);
    }
    fs::path dir = base / kAppDirName;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!IsWritableDirectory(dir.string())) return WithSlash(exeDir);
    return WithSlash(dir.string());
}

std::string ConfigDirectory() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        if (const passwd* entry = ::getpwuid(::getuid())) home = entry->pw_dir;
    }
    return ChooseConfigDirectory(ExecutableDirectory(), std::getenv("XDG_CONFIG_HOME"), home);
}

}  // namespace kestrane
