#include "support/BackgroundProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

namespace kestrane::testing {

BackgroundProgram::BackgroundProgram(const std::string& commandLine) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    const std::string errPath = dir_.Slashed() + "stderr";
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (err >= 0) ::dup2(err, STDERR_FILENO);
        const std::string exec = "exec " + commandLine;
        ::execl("/bin/sh", "sh", "-c", exec.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
}

BackgroundProgram::~BackgroundProgram() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
}

std::optional<std::string> BackgroundProgram::ReadLine(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (const size_t end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0 || out_ < 0) return std::nullopt;
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char chunk[4096];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0) return std::nullopt;
        pending_.append(chunk, static_cast<size_t>(n));
    }
}

void BackgroundProgram::Signal(int signalNumber) {
    if (pid_ > 0) ::kill(pid_, signalNumber);
}

int BackgroundProgram::Wait(std::chrono::milliseconds bound) {
    if (pid_ <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + bound;
    int status = 0;
    // The exit is polled for: a child ends at a moment no descriptor reports.
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string BackgroundProgram::Errors() const {
    std::ifstream in(dir_.Slashed() + "stderr");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace kestrane::testing
