// Random tokens and comparing secrets without leaking, through timing, how
// many leading characters were right.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrane::web {

// `bytes` random bytes from the kernel (getrandom) as lower-case hex.
// Throws std::runtime_error if the kernel gives none.
std::string RandomHex(size_t bytes);

// Fills `out` with random bytes; throws std::runtime_error on failure.
void RandomBytes(unsigned char* out, size_t size);

// Equal contents, in time that depends only on the lengths.
bool SecretsEqual(std::string_view a, std::string_view b);

}  // namespace kestrane::web
