// Passwords of the web page are kept only as Argon2id encoded hashes
// ("$argon2id$v=19$m=19456,t=2,p=1$<salt>$<hash>"), made by
// `kestrane-bridge --hash-password` and written into the [web] table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrane::web {

struct HashCost {
    uint32_t timeCost = 2;           // passes
    uint32_t memoryKiB = 19 * 1024;  // 19 MiB: OWASP's floor, a fraction of a second on a Pi
    uint32_t lanes = 1;
};

// The encoded hash with a fresh random salt; nullopt if libargon2 fails.
std::optional<std::string> HashPassword(std::string_view password, const HashCost& cost = {});

// True when `password` matches `encoded`; false for a wrong password and for
// anything that is not an Argon2id encoded hash.
bool VerifyPassword(std::string_view password, const std::string& encoded);

// True when `encoded` is a well-formed Argon2id encoded hash.
bool IsArgon2idHash(const std::string& encoded);

}  // namespace kestrane::web
