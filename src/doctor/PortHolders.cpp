#include "doctor/PortHolders.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace kestrane {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPtsPrefix = "/dev/pts/";

std::string ReadSmallFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string CommandName(const fs::path& procDir) {
    std::string name = ReadSmallFile(procDir / "comm");
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
        name.pop_back();
    return name;
}

bool IsNumber(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string RealPath(const std::string& path) {
    std::error_code ec;
    fs::path real = fs::canonical(path, ec);
    return ec ? path : real.string();
}

// The pseudo-terminal number of /dev/pts/N, or -1.
int PtsIndex(const std::string& devicePath) {
    if (!devicePath.starts_with(kPtsPrefix)) return -1;
    const std::string number = devicePath.substr(kPtsPrefix.size());
    return IsNumber(number) ? std::stoi(number) : -1;
}

// The pseudo-terminal a /dev/ptmx descriptor is the master of, from its
// fdinfo ("tty-index:"), or -1.
int MasterIndex(const fs::path& procDir, const std::string& fd) {
    const std::string info = ReadSmallFile(procDir / "fdinfo" / fd);
    const size_t at = info.find("tty-index:");
    if (at == std::string::npos) return -1;
    return std::atoi(info.c_str() + at + std::strlen("tty-index:"));
}

void AddLockHolders(const std::string& devicePath, const SystemPaths& paths, PortHolders& found) {
    const std::string lockName = "LCK.." + fs::path(devicePath).filename().string();
    std::set<std::string> seen;
    for (const std::string& dir : paths.lockDirs) {
        const std::string file = RealPath(dir) + "/" + lockName;
        std::error_code ec;
        if (!seen.insert(file).second || !fs::exists(file, ec)) continue;
        const int pid = LockFilePid(ReadSmallFile(file));
        const fs::path procDir = fs::path(paths.proc) / std::to_string(pid);
        if (pid <= 0 || !fs::exists(procDir, ec)) {
            found.staleLocks.push_back(file);
            continue;
        }
        found.holders.push_back({pid, CommandName(procDir), "lock file " + file, false});
    }
}

void AddOpenHolders(const std::string& devicePath, int ownPid, const SystemPaths& paths,
                    PortHolders& found) {
    const int ptsIndex = PtsIndex(devicePath);
    std::error_code ec;
    for (fs::directory_iterator proc(paths.proc, ec), end; !ec && proc != end; proc.increment(ec)) {
        const std::string pidText = proc->path().filename().string();
        if (!IsNumber(pidText) || std::stoi(pidText) == ownPid) continue;
        bool opened = false;
        bool farEnd = false;
        std::error_code fdError;
        for (fs::directory_iterator fd(proc->path() / "fd", fdError), fdEnd;
             !fdError && fd != fdEnd; fd.increment(fdError)) {
            std::error_code linkError;
            const fs::path target = fs::read_symlink(fd->path(), linkError);
            if (linkError) continue;
            if (target == devicePath) opened = true;
            if (ptsIndex >= 0 && target.filename() == "ptmx" &&
                MasterIndex(proc->path(), fd->path().filename().string()) == ptsIndex)
                farEnd = true;
        }
        if (opened || farEnd)
            found.holders.push_back(
                {std::stoi(pidText), CommandName(proc->path()), "open", farEnd});
    }
}

}  // namespace

bool PortHolders::Busy() const {
    return std::any_of(holders.begin(), holders.end(),
                       [](const PortHolder& h) { return !h.farEnd; });
}

int LockFilePid(const std::string& content) {
    const bool binary = content.size() == sizeof(int32_t) &&
                        std::any_of(content.begin(), content.end(), [](char c) {
                            return !std::isprint(static_cast<unsigned char>(c));
                        });
    if (binary) {
        int32_t pid = 0;
        std::memcpy(&pid, content.data(), sizeof pid);
        return pid > 0 ? pid : 0;
    }
    std::string digits;
    for (const char c : content) {
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else if (!digits.empty() || !std::isspace(static_cast<unsigned char>(c))) {
            break;
        }
    }
    return !digits.empty() && digits.size() < 10 ? std::stoi(digits) : 0;
}

PortHolders FindPortHolders(const std::string& devicePath, int ownPid, const SystemPaths& paths) {
    PortHolders found;
    const std::string real = RealPath(devicePath);
    AddLockHolders(real, paths, found);
    AddOpenHolders(real, ownPid, paths, found);
    // Own lock files are no competitor either.
    std::erase_if(found.holders, [ownPid](const PortHolder& h) { return h.pid == ownPid; });
    return found;
}

}  // namespace kestrane
