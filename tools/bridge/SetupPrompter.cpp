#include "SetupPrompter.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <iostream>

#include "PasswordPrompt.h"

namespace kestrane::bridge {

namespace {

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

void Show(const std::string& prompt) {
    std::fputs(prompt.c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace

std::string SetupPrompter::ReadLine() {
    std::string line;
    if (!std::getline(std::cin, line)) {
        std::fputs("\n", stdout);
        throw EndOfInput();
    }
    return Trimmed(line);
}

std::string SetupPrompter::Ask(const std::string& question, const std::string& fallback) {
    Show(question + (fallback.empty() ? "" : " [" + fallback + "]") + ": ");
    const std::string answer = ReadLine();
    return answer.empty() ? fallback : answer;
}

bool SetupPrompter::AskYesNo(const std::string& question, bool fallback) {
    for (;;) {
        Show(question + (fallback ? " [Y/n]: " : " [y/N]: "));
        const std::string answer = ReadLine();
        if (answer.empty()) return fallback;
        if (answer == "y" || answer == "Y" || answer == "yes") return true;
        if (answer == "n" || answer == "N" || answer == "no") return false;
        std::puts("  please answer y or n");
    }
}

int SetupPrompter::AskNumber(const std::string& question, int fallback, int low, int high) {
    for (;;) {
        const std::string answer = Ask(question, std::to_string(fallback));
        int value = 0;
        const auto [end, error] =
            std::from_chars(answer.data(), answer.data() + answer.size(), value);
        if (error == std::errc() && end == answer.data() + answer.size() && value >= low &&
            value <= high)
            return value;
        std::printf("  a whole number from %d to %d, please\n", low, high);
    }
}

std::string SetupPrompter::AskPassword(const std::string& question) {
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    for (;;) {
        Show(question + ": ");
        std::string password;
        if (!ReadHiddenLine(&password)) throw EndOfInput();
        if (!terminal || password.empty()) return password;
        Show("Again: ");
        std::string again;
        if (!ReadHiddenLine(&again)) throw EndOfInput();
        if (again == password) return password;
        std::puts("  the two differ; once more");
    }
}

}  // namespace kestrane::bridge
