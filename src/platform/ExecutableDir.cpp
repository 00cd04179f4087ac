#include "platform/ExecutableDir.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace kestrane {
namespace {

namespace fs = std::filesystem;

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

}  // namespace

bool IsWritableDirectory(const std::string& dir) {
    std::error_code ec;
    return fs::is_directory(dir, ec) && ::access(dir.c_str(), W_OK | X_OK) == 0;
}

bool IsPortableCopyDirectory(const std::string& exeDir) {
    const std::string dir = WithSlash(exeDir);
    if (dir.starts_with("/usr/")) return false;
    struct stat info {};
    return IsWritableDirectory(dir) && ::stat(dir.c_str(), &info) == 0 &&
           info.st_uid == ::geteuid();
}

std::string ExecutableDirectory() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.has_parent_path()) return "./";
    return WithSlash(exe.parent_path().string());
}

const char* HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        if (const passwd* entry = ::getpwuid(::getuid())) home = entry->pw_dir;
    }
    return home;
}

std::string UserDirectory(const char* xdgHome, const char* home, const char* homeRelative,
                          const char* subdir) {
    fs::path base;
    if (xdgHome != nullptr && xdgHome[0] == '/') {
        base = xdgHome;
    } else if (home != nullptr && home[0] == '/') {
        base = fs::path(home) / homeRelative;
    } else {
        return {};
    }
    fs::path dir = base / subdir;
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (!IsWritableDirectory(dir.string())) return {};
    return WithSlash(dir.string());
}

std::string ChooseConfigDirectory(const std::string& exeDir, const char* xdgConfigHome,
                                  const char* home) {
    if (IsPortableCopyDirectory(exeDir)) return WithSlash(exeDir);
    std::string dir = UserDirectory(xdgConfigHome, home, ".config", "kestrane");
    return dir.empty() ? WithSlash(exeDir) : dir;
}

std::string ConfigDirectory() {
    return ChooseConfigDirectory(ExecutableDirectory(), std::getenv("XDG_CONFIG_HOME"),
                                 HomeDirectory());
}

}  // namespace kestrane
