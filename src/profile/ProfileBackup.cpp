#include "profile/ProfileBackup.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kestrane::profile {

namespace {

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return ::fsync(fd) == 0;
}

}  // namespace

std::string BackupDirectory(const char* xdgDataHome, const char* home) {
    // A relative XDG_DATA_HOME is invalid and is ignored, as the base
    // directory rules say.
    if (xdgDataHome && xdgDataHome[0] == '/') return std::string(xdgDataHome) + "/kestrane/backups";
    if (home && home[0] == '/') return std::string(home) + "/.local/share/kestrane/backups";
    return {};
}

std::string BackupName(const std::string& serial, std::time_t when) {
    std::string safe;
    for (const char c : serial) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        safe += plain ? c : '_';
    }
    if (safe.empty() || safe.find_first_not_of('.') == std::string::npos) safe = "unknown";
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return safe + "-" + stamp + ".json";
}

std::optional<std::string> WriteBackup(const std::string& directory, const std::string& name,
                                       const std::string& text, std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(directory, code);
    if (code) {
        error = "cannot make " + directory + ": " + code.message();
        return std::nullopt;
    }
    const std::string stem = name.substr(0, name.rfind(".json"));
    for (int copy = 1; copy < 1000; ++copy) {
        const std::string path =
            directory + "/" + (copy == 1 ? name : stem + "-" + std::to_string(copy) + ".json");
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) {
            error = "cannot create " + path + ": " + std::strerror(errno);
            return std::nullopt;
        }
        const bool written = WriteAll(fd, text);
        const int savedErrno = errno;
        if (::close(fd) != 0 || !written) {
            error = "cannot write " + path + ": " + std::strerror(written ? errno : savedErrno);
            ::unlink(path.c_str());
            return std::nullopt;
        }
        return path;
    }
    error = "too many backups named " + name + " in " + directory;
    return std::nullopt;
}

std::string UtcStamp(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return stamp;
}

}  // namespace kestrane::profile
