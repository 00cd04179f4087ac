// A fresh directory under the system's temporary directory, for settings
// files, logs and fake device trees; removed with everything in it when the
// object goes.
#pragma once

#include <filesystem>
#include <string>

namespace kestrane::testing {

class ScratchDir {
public:
    // Throws std::runtime_error when no directory can be made, which fails
    // the test that needed it.
    explicit ScratchDir(const std::string& prefix);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The path with a trailing slash, for code that appends file names.
    std::string Slashed() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};

}  // namespace kestrane::testing
