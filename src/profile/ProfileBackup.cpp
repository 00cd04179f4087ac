#include "profile/ProfileBackup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/FileReplace.h"
#include "platform/SyncFolder.h"

namespace kestrane::profile {

std::string BackupDirectory(const char* xdgDataHome, const char* home) {
    // A relative XDG_DATA_HOME is invalid and is ignored, as the base
    // directory rules say.
    if (xdgDataHome && xdgDataHome[0] == '/') return std::string(xdgDataHome) + "/kestrane/backups";
    if (home && home[0] == '/') return std::string(home) + "/.local/share/kestrane/backups";
    return {};
}

std::string BackupPrefix(const std::string& serial) {
    std::string safe;
    for (const char c : serial) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        safe += plain ? c : '_';
    }
    if (safe.empty() || safe.find_first_not_of('.') == std::string::npos) safe = "unknown";
    return safe + "-";
}

std::string BackupName(const std::string& serial, std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return BackupPrefix(serial) + stamp + ".json";
}

std::optional<std::time_t> BackupTime(const std::string& name, const std::string& serial) {
    const std::string prefix = BackupPrefix(serial);
    const std::string_view suffix = ".json";
    if (!name.starts_with(prefix) || !name.ends_with(suffix)) return std::nullopt;
    // "YYYYmmdd-HHMMSS", then nothing or "-<copy>".
    const std::string rest =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const auto digits = [&](size_t from, size_t count) {
        if (from + count > rest.size()) return false;
        for (size_t i = from; i < from + count; ++i)
            if (rest[i] < '0' || rest[i] > '9') return false;
        return true;
    };
    if (!digits(0, 8) || rest.size() < 15 || rest[8] != '-' || !digits(9, 6)) return std::nullopt;
    // A copy's number has one to three digits.
    if (rest.size() > 15 &&
        (rest[15] != '-' || rest.size() < 17 || rest.size() > 19 || !digits(16, rest.size() - 16)))
        return std::nullopt;
    std::tm local{};
    local.tm_year = std::stoi(rest.substr(0, 4)) - 1900;
    local.tm_mon = std::stoi(rest.substr(4, 2)) - 1;
    local.tm_mday = std::stoi(rest.substr(6, 2));
    local.tm_hour = std::stoi(rest.substr(9, 2));
    local.tm_min = std::stoi(rest.substr(11, 2));
    local.tm_sec = std::stoi(rest.substr(13, 2));
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    if (when == static_cast<std::time_t>(-1)) return std::nullopt;
    return when;
}

std::vector<BackupEntry> ListBackups(const std::string& directory, const std::string& serial) {
    std::vector<BackupEntry> entries;
    std::error_code code;
    for (const auto& entry : std::filesystem::directory_iterator(directory, code)) {
        std::error_code typeCode;
        if (!entry.is_regular_file(typeCode) || entry.is_symlink(typeCode)) continue;
        const std::string name = entry.path().filename().string();
        if (const auto when = BackupTime(name, serial)) entries.push_back({name, *when});
    }
    // Newest first; copies of one second by their number.
    std::sort(entries.begin(), entries.end(), [](const BackupEntry& a, const BackupEntry& b) {
        if (a.time != b.time) return a.time > b.time;
        if (a.name.size() != b.name.size()) return a.name.size() > b.name.size();
        return a.name > b.name;
    });
    return entries;
}

std::optional<std::string> ReadBackup(const std::string& directory, const std::string& name,
                                      const std::string& serial, size_t maxBytes) {
    if (!BackupTime(name, serial)) return std::nullopt;
    const std::string path = directory + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
              static_cast<size_t>(info.st_size) <= maxBytes;
    char buffer[8192];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
        ok = text.size() <= maxBytes;
    }
    ::close(fd);
    if (!ok) return std::nullopt;
    return text;
}

std::optional<std::string> WriteBackup(const std::string& directory, const std::string& name,
                                       const std::string& text, std::string& error) {
    std::error_code code;
    const bool made = std::filesystem::create_directories(directory, code);
    if (code) {
        error = "cannot make " + directory + ": " + code.message();
        return std::nullopt;
    }
    // A folder made here must itself survive a power cut with the backup in it.
    if (made) {
        std::filesystem::path folder = std::filesystem::path(directory).lexically_normal();
        if (!folder.has_filename()) folder = folder.parent_path();
        for (; folder.has_relative_path(); folder = folder.parent_path())
            SyncFolder(folder.parent_path().string());
    }
    const std::string stem = name.substr(0, name.rfind(".json"));
    for (int copy = 1; copy < 1000; ++copy) {
        const std::string path =
            directory + "/" + (copy == 1 ? name : stem + "-" + std::to_string(copy) + ".json");
        // Whole or absent after a crash or a power cut: a torn backup would
        // be worse than none, as it could be restored.
        const int failed = CreateFileWhole(path, [&](int fd) { return WriteAll(fd, text); });
        if (failed == EEXIST) continue;
        if (failed != 0) {
            error = "cannot write " + path + ": " + std::strerror(failed);
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
