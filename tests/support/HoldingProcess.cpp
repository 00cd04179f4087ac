#include "support/HoldingProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrane::testing {

namespace {

constexpr int kMaxDescriptor = 1024;

}  // namespace

HoldingProcess::HoldingProcess(int fd) {
    int ready[2] = {-1, -1};
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
        for (int other = 3; other < kMaxDescriptor; ++other)
            if (other != fd && other != ready[1]) ::close(other);
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(ready[1], &byte, 1);
        ::close(ready[1]);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    ::close(fd);
    // Until the child has let go of the rest, /proc shows it holding more.
    char byte = 0;
    if (pid_ > 0) [[maybe_unused]]
        const ssize_t n = ::read(ready[0], &byte, 1);
    ::close(ready[0]);
}

HoldingProcess::~HoldingProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

}  // namespace kestrane::testing
