// A program the test starts and ends: its standard output and error go to a
// log file, and it is killed when the object goes.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace kestrane::testing {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(SIGKILL); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // `arguments` starts with the program's path. False when it cannot start.
    bool Start(const std::vector<std::string>& arguments, const std::string& logPath);
    // Sends `signal` and waits for the end: the exit status, or -1 when it did
    // not exit by itself (or was not running).
    int Stop(int signal);
    void Signal(int signal) const;
    // True and no more waiting once the program has ended by itself.
    bool Ended();
    bool Running() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

std::string ReadWholeFile(const std::string& path);

}  // namespace kestrane::testing
