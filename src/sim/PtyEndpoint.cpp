#include "sim/PtyEndpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestrane::sim {

namespace {

bool MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

std::string Reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

bool PtyEndpoint::Open(std::string* error) {
    Close();
    const std::string& linkPath = requestedLink_;
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        *error = Reason("posix_openpt");
        return false;
    }
    char name[256];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
        *error = Reason("pseudo-terminal setup");
        Close();
        return false;
    }
    devicePath_ = name;
    slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0 || !MakeRaw(slave_) || !MakeRaw(master_)) {
        *error = Reason("pseudo-terminal raw mode");
        Close();
        return false;
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (!linkPath.empty()) {
        struct stat info {};
        if (lstat(linkPath.c_str(), &info) == 0) {
            if (!S_ISLNK(info.st_mode)) {
                *error = linkPath + " exists and is not a symlink";
                Close();
                return false;
            }
            unlink(linkPath.c_str());
        }
        if (symlink(devicePath_.c_str(), linkPath.c_str()) != 0) {
            *error = Reason(("symlink " + linkPath).c_str());
            Close();
            return false;
        }
        linkPath_ = linkPath;
    }
    return true;
}

void PtyEndpoint::Close() {
    if (!linkPath_.empty()) {
        char target[256];
        const ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n >= 0 && devicePath_ == std::string(target, static_cast<size_t>(n)))
            unlink(linkPath_.c_str());
        linkPath_.clear();
    }
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
    slave_ = master_ = -1;
}

long PtyEndpoint::Read(uint8_t* buffer, size_t capacity) {
    if (master_ < 0) return -1;
    const ssize_t n = read(master_, buffer, capacity);
    if (n > 0) return n;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    return n == 0 ? 0 : -1;
}

bool PtyEndpoint::Write(const uint8_t* data, size_t length, int timeoutMs) {
    size_t done = 0;
    while (done < length && master_ >= 0) {
        const ssize_t n = write(master_, data + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
        pollfd p{master_, POLLOUT, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return false;
    }
    return done == length;
}

int PtyEndpoint::PendingForClient() const {
    int pending = 0;
    if (slave_ < 0 || ioctl(slave_, FIONREAD, &pending) != 0) return 0;
    return pending;
}

}  // namespace kestrane::sim
