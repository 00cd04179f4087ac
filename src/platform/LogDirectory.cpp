#include "platform/LogDirectory.h"

#include <cstdlib>
#include <filesystem>

#include "platform/ExecutableDir.h"

namespace kestrane {

std::string ChooseLogDirectory(const std::string& logDirOverride, const std::string& exeDir,
                               const char* xdgDataHome, const char* home) {
    if (!logDirOverride.empty()) {
        // A folder that cannot be created shows up as lines that cannot be
        // written, which the log drops as it drops any other failed line.
        std::error_code ec;
        std::filesystem::create_directories(logDirOverride, ec);
        return logDirOverride.back() == '/' ? logDirOverride : logDirOverride + '/';
    }
    if (IsPortableCopyDirectory(exeDir)) return "./";
    std::string dir = UserDirectory(xdgDataHome, home, ".local/share", "kestrane/logs");
    return dir.empty() ? "./" : dir;
}

std::string LogDirectory(const std::string& logDirOverride) {
    return ChooseLogDirectory(logDirOverride, ExecutableDirectory(), std::getenv("XDG_DATA_HOME"),
                              HomeDirectory());
}

}  // namespace kestrane
