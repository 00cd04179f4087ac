#include "PasswordPrompt.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace kestrane::bridge {

bool ReadHiddenLine(std::string* line) {
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal) {
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    line->clear();
    const bool read = static_cast<bool>(std::getline(std::cin, *line));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        // The Enter the user typed was not echoed either.
        std::fputs("\n", stderr);
    }
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return read || !line->empty();
}

}  // namespace kestrane::bridge
