#include "support/FakeTime.h"

#include <filesystem>
#include <system_error>

namespace kestrane::testing {

std::string FakeTimeLibrary() {
    namespace fs = std::filesystem;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/usr/lib", error)) {
        const fs::path library = entry.path() / "faketime" / "libfaketimeMT.so.1";
        if (fs::exists(library, error)) return library.string();
    }
    return {};
}

}  // namespace kestrane::testing
