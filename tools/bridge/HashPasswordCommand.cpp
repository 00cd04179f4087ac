#include "HashPasswordCommand.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "web/PasswordHash.h"

namespace kestrane::bridge {

namespace {

// One line from stdin; on a terminal the typed characters are not shown.
bool ReadPassword(const char* prompt, std::string* password) {
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal) {
        std::fputs(prompt, stderr);
        std::fflush(stderr);
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool read = static_cast<bool>(std::getline(std::cin, *password));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    if (!password->empty() && password->back() == '\r') password->pop_back();
    return read || !password->empty();
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
