// kestrane-bridge --hash-password: reads a password (without echo on a
// terminal, else one line of stdin) and prints its Argon2id encoded hash for
// the [web] table.
#pragma once

namespace kestrane::bridge {

// The exit status: 0 with the hash printed, 2 for an empty or mistyped
// password, 1 if hashing failed.
int RunHashPassword();

}  // namespace kestrane::bridge
