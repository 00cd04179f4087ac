// A program running beside the test: its output read line by line as it
// comes, its errors kept in a file, stopped by a signal. Killed and reaped
// when the object goes, so a failed test leaves nothing running.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

#include "support/ScratchDir.h"

namespace kestrane::testing {

class BackgroundProgram {
public:
    // `commandLine` goes to the shell, which is replaced by the program.
    explicit BackgroundProgram(const std::string& commandLine);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    // The next line of standard output without its line break; nothing when
    // none came within `bound` or the output ended.
    std::optional<std::string> ReadLine(std::chrono::milliseconds bound = std::chrono::seconds(20));
    void Signal(int signalNumber);
    // Waits for the exit; the status, or -1 when it did not exit normally or
    // not within `bound` (it is then killed).
    int Wait(std::chrono::milliseconds bound = std::chrono::seconds(20));
    // What it wrote to standard error so far.
    std::string Errors() const;
    pid_t Pid() const { return pid_; }

private:
    ScratchDir dir_{"kestrane-program"};
    pid_t pid_ = -1;
    int out_ = -1;
    std::string pending_;
};

}  // namespace kestrane::testing
