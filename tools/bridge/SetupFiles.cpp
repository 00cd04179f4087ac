#include "SetupFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/FileReplace.h"

namespace kestrane::bridge {

namespace {

std::string Reason(const std::string& path) {
    return path + ": " + std::strerror(errno);
}

// A new empty file with `mode`, so that ReplaceFile keeps that mode; false
// when the name is taken.
bool CreateExclusive(const std::string& path, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) return false;
    ::fchmod(fd, mode);  // the umask may have taken bits away
    ::close(fd);
    return true;
}

std::string Stamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

bool MakeFolderFor(const std::string& path, std::string* error) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) return true;
    std::error_code code;
    std::filesystem::create_directories(folder, code);
    if (code) *error = folder.string() + ": " + code.message();
    return !code;
}

}  // namespace

std::string SaveBeside(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    struct stat info {};
    if (!in || ::stat(path.c_str(), &info) != 0) {
        *error = Reason(path);
        return {};
    }
    std::ostringstream old;
    old << in.rdbuf();
    const std::string base = path + "." + Stamp();
    std::string saved = base;
    for (int n = 2; !CreateExclusive(saved, info.st_mode & 0777); ++n) {
        if (errno != EEXIST || n > 99) {
            *error = Reason(saved);
            return {};
        }
        saved = base + "-" + std::to_string(n);
    }
    const std::string text = old.str();
    if (!ReplaceFile(saved, [&](int fd) { return WriteAll(fd, text); })) {
        *error = Reason(saved);
        ::unlink(saved.c_str());
        return {};
    }
    return saved;
}

bool WriteTextFile(const std::string& path, const std::string& text, std::string* error) {
    if (!MakeFolderFor(path, error)) return false;
    if (ReplaceFile(path, [&](int fd) { return WriteAll(fd, text); })) return true;
    *error = Reason(path);
    return false;
}

bool WriteSecretFile(const std::string& path, const std::string& text, std::string* error) {
    if (!MakeFolderFor(path, error)) return false;
    // ReplaceFile gives the new file the old one's bits, or those of a new
    // file under the umask: make them 0600 first either way.
    const bool created = CreateExclusive(path, 0600);
    if (!created && (errno != EEXIST || ::chmod(path.c_str(), 0600) != 0)) {
        *error = Reason(path);
        return false;
    }
    if (ReplaceFile(path, [&](int fd) { return WriteAll(fd, text); })) return true;
    *error = Reason(path);
    if (created) ::unlink(path.c_str());
    return false;
}

bool ReadFirstLine(const std::string& path, std::string* line, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = Reason(path);
        return false;
    }
    std::getline(in, *line);
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return true;
}

}  // namespace kestrane::bridge
