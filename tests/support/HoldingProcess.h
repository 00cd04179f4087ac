// A child process that holds one open descriptor and nothing else of the
// test's, as another program holding a port would, until the object goes.
#pragma once

#include <sys/types.h>

namespace kestrane::testing {

class HoldingProcess {
public:
    // Forks; the child closes every other descriptor and waits to be killed.
    // The constructor returns once it has, and closes `fd` in the test.
    explicit HoldingProcess(int fd);
    ~HoldingProcess();
    HoldingProcess(const HoldingProcess&) = delete;
    HoldingProcess& operator=(const HoldingProcess&) = delete;

    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

}  // namespace kestrane::testing
