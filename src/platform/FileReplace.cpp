#include "platform/FileReplace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "platform/SyncFolder.h"

namespace kestrane {
namespace {

constexpr std::string_view kTempInfix = ".kestrane-";
constexpr std::string_view kTempSuffixPattern = "XXXXXX";
// A temporary file removed by a cleaner between its creation and its lock is
// made again; a cleaner cannot take every one of these.
constexpr int kTempAttempts = 8;

// Where a replacement lands: the file a symbolic link points to, or path.
std::string ReplaceTarget(const std::string& path) {
    std::string target = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    return target;
}

mode_t ModeFor(const std::string& target) {
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) return existing.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Creates and locks a new temporary file beside target; -1 on failure.
int CreateLockedTemp(const std::string& target, std::string* temp) {
    for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
        *temp = target + std::string(kTempInfix) + std::string(kTempSuffixPattern);
        const int fd = ::mkostemp(temp->data(), O_CLOEXEC);
        if (fd < 0) return -1;
        // Where the file system has no locks the file goes unlocked; no
        // cleaner removes a file it cannot lock either.
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        struct stat info {};
        if (::fstat(fd, &info) == 0 && info.st_nlink > 0) return fd;
        ::close(fd);  // a cleaner took it between mkostemp and flock
    }
    return -1;
}

bool IsTempName(std::string_view name, std::string_view prefix) {
    if (name.size() != prefix.size() + kTempSuffixPattern.size() || !name.starts_with(prefix))
        return false;
    for (char c : name.substr(prefix.size())) {
        const bool alphanumeric =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alphanumeric) return false;
    }
    return true;
}

// Removes dir/name when it is a regular file of this user that nobody holds.
bool RemoveIfStale(int dirFd, const char* name) {
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    bool removed = false;
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dirFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == opened.st_dev &&
        named.st_ino == opened.st_ino) {
        removed = ::unlinkat(dirFd, name, 0) == 0;
    }
    ::close(fd);
    return removed;
}

}  // namespace

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool ReplaceFile(const std::string& path, const std::function<bool(int fd)>& write) {
    const std::string target = ReplaceTarget(path);
    const mode_t mode = ModeFor(target);
    std::string temp;
    const int fd = CreateLockedTemp(target, &temp);
    if (fd < 0) return false;
    bool ok = write(fd) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    // Renamed while still locked: an unlocked temporary file is fair game for
    // RemoveStaleReplaceFiles.
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    ::close(fd);  // write errors were reported by fsync
    // Until the folder is synced the rename may be lost with the power.
    return ok && SyncFolder(FolderOf(target)) == 0;
}

int CreateFileWhole(const std::string& path, const std::function<bool(int fd)>& write) {
    std::string temp;
    const int fd = CreateLockedTemp(path, &temp);
    if (fd < 0) return errno != 0 ? errno : EIO;
    errno = 0;
    int error = 0;
    if (!write(fd))
        error = errno != 0 ? errno : EIO;
    else if (::fsync(fd) != 0)
        error = errno;
    // A hard link, unlike a rename, never replaces an existing file, and
    // path gets the synced contents in one step.
    else if (::link(temp.c_str(), path.c_str()) != 0)
        error = errno;
    ::unlink(temp.c_str());
    ::close(fd);
    if (error == 0) error = SyncFolder(FolderOf(path));
    return error;
}

int RemoveStaleReplaceFiles(const std::string& path) {
    const std::string target = ReplaceTarget(path);
    const size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string prefix =
        (slash == std::string::npos ? target : target.substr(slash + 1)) + std::string(kTempInfix);
    DIR* listing = ::opendir(dir.c_str());
    if (listing == nullptr) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(listing)) {
        if (IsTempName(entry->d_name, prefix) && RemoveIfStale(::dirfd(listing), entry->d_name))
            ++removed;
    }
    ::closedir(listing);
    return removed;
}

}  // namespace kestrane
