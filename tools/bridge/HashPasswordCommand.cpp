#include "HashPasswordCommand.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "PasswordPrompt.h"
#include "web/PasswordHash.h"

namespace kestrane::bridge {

namespace {

// The prompt on stderr when stdin is a terminal, so stdout holds the hash alone.
bool ReadPassword(const char* prompt, std::string* password) {
    if (::isatty(STDIN_FILENO) != 0) {
        std::fputs(prompt, stderr);
        std::fflush(stderr);
    }
    return ReadHiddenLine(password);
}

}  // namespace

int RunHashPassword() {
    std::string password;
    ReadPassword("Password: ", &password);
    if (password.empty()) {
        std::fputs("kestrane-bridge: the password must not be empty\n", stderr);
        return 2;
    }
    if (::isatty(STDIN_FILENO) != 0) {
        std::string again;
        ReadPassword("Again: ", &again);
        if (again != password) {
            std::fputs("kestrane-bridge: the two passwords differ\n", stderr);
            return 2;
        }
    }
    const auto hash = web::HashPassword(password);
    if (!hash) {
        std::fputs("kestrane-bridge: hashing failed\n", stderr);
        return 1;
    }
    std::printf("%s\n", hash->c_str());
    return 0;
}

}  // namespace kestrane::bridge
