#include "web/PasswordHash.h"

#include <argon2.h>

#include <regex>
#include <vector>

#include "web/Secrets.h"

namespace kestrane::web {

namespace {
constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;
// The limits keep a hostile hash in a config from asking for gigabytes.
constexpr uint32_t kMaxMemoryKiB = 1024 * 1024;
}  // namespace

std::optional<std::string> HashPassword(std::string_view password, const HashCost& cost) {
    unsigned char salt[kSaltBytes];
    RandomBytes(salt, sizeof salt);
    std::vector<char> encoded(argon2_encodedlen(cost.timeCost, cost.memoryKiB, cost.lanes,
                                                kSaltBytes, kHashBytes, Argon2_id));
    const int status = argon2id_hash_encoded(cost.timeCost, cost.memoryKiB, cost.lanes,
                                             password.data(), password.size(), salt, sizeof salt,
                                             kHashBytes, encoded.data(), encoded.size());
    if (status != ARGON2_OK) return std::nullopt;
    return std::string(encoded.data());
}

bool IsArgon2idHash(const std::string& encoded) {
    static const std::regex kForm(
        R"(\$argon2id\$v=19\$m=([0-9]{1,8}),t=([0-9]{1,4}),p=([0-9]{1,3})\$[A-Za-z0-9+/]{11,}\$[A-Za-z0-9+/]{16,})");
    std::smatch match;
    if (!std::regex_match(encoded, match, kForm)) return false;
    const unsigned long memory = std::stoul(match[1]);
    const unsigned long passes = std::stoul(match[2]);
    const unsigned long lanes = std::stoul(match[3]);
    return memory >= 8 * lanes && memory <= kMaxMemoryKiB && passes >= 1 && lanes >= 1;
}

bool VerifyPassword(std::string_view password, const std::string& encoded) {
    if (!IsArgon2idHash(encoded)) return false;
    return argon2id_verify(encoded.c_str(), password.data(), password.size()) == ARGON2_OK;
}

}  // namespace kestrane::web
