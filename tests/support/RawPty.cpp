#include "support/RawPty.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace kestrane::testing {

namespace {

double NowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

bool RawPty::Open(const std::string& path) {
    Close();
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return false;
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    if (tcsetattr(fd_, TCSANOW, &tio) != 0) return false;
    tcflush(fd_, TCIOFLUSH);
    return true;
}

void RawPty::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool RawPty::Write(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, 1000) <= 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

std::vector<RawPty::Piece> RawPty::ReadPieces(int timeoutMs, int idleMs) {
    std::vector<Piece> pieces;
    const double start = NowMs();
    double last = start;
    while (true) {
        const double now = NowMs();
        const double limit = pieces.empty() ? start + timeoutMs : last + idleMs;
        if (now >= limit) break;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(limit - now) + 1) <= 0) continue;
        if (!(p.revents & POLLIN)) break;  // hung up
        uint8_t buffer[512];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0) break;
        last = NowMs();
        pieces.push_back({last - start, {buffer, buffer + n}});
    }
    return pieces;
}

std::vector<uint8_t> RawPty::ReadReply(int timeoutMs, int idleMs) {
    std::vector<uint8_t> out;
    for (const Piece& piece : ReadPieces(timeoutMs, idleMs))
        out.insert(out.end(), piece.bytes.begin(), piece.bytes.end());
    return out;
}

bool RawPty::WaitHangup(int timeoutMs) {
    const double end = NowMs() + timeoutMs;
    while (NowMs() < end) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 20) > 0) {
            if (p.revents & (POLLHUP | POLLERR)) return true;
            uint8_t buffer[256];
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n < 0 && errno == EIO) return true;
        }
    }
    return false;
}

void RawPty::Drain() {
    uint8_t buffer[512];
    while (read(fd_, buffer, sizeof buffer) > 0) {
    }
}

}  // namespace kestrane::testing
