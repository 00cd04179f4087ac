#include "serial/TcpLine.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace kestrane {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kScheme = "tcp://";
constexpr int kMinReplySilenceMs = 50;

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for `events` on fd until the deadline; the revents, 0 on time-out.
short WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, MillisecondsUntil(deadline));
        if (ready > 0) return p.revents;
        if (ready == 0) return 0;
        if (errno != EINTR) return POLLERR;
    }
}

bool ConnectOne(const addrinfo& ai, Clock::time_point deadline, int* fdOut, int* errOut) {
    const int fd =
        ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
    if (fd < 0) {
        *errOut = errno;
        return false;
    }
    if (::connect(fd, ai.ai_addr, ai.ai_addrlen) != 0 && errno != EINPROGRESS) {
        *errOut = errno;
        ::close(fd);
        return false;
    }
    const short revents = WaitFor(fd, POLLOUT, deadline);
    int err = 0;
    socklen_t len = sizeof err;
    if (revents == 0) {
        err = ETIMEDOUT;
    } else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) {
        err = errno;
    }
    if (err != 0) {
        *errOut = err;
        ::close(fd);
        return false;
    }
    // Requests are small and must leave at once, not wait for more to send.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    *fdOut = fd;
    return true;
}

}  // namespace

bool IsTcpPortName(const std::string& text) {
    return text.rfind(kScheme, 0) == 0;
}

bool ParseTcpAddress(const std::string& text, TcpAddress* address, std::string* error) {
    if (!IsTcpPortName(text)) {
        *error = text + ": not a tcp://host:port address";
        return false;
    }
    const std::string rest = text.substr(kScheme.size());
    size_t colon = std::string::npos;
    std::string host;
    const bool bracketed = !rest.empty() && rest.front() == '[';
    if (bracketed) {
        const size_t close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
            *error = text + ": want tcp://[address]:port";
            return false;
        }
        host = rest.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = rest.rfind(':');
        if (colon != std::string::npos) host = rest.substr(0, colon);
    }
    if (colon == std::string::npos || host.empty() || host.find('/') != std::string::npos ||
        (!bracketed && host.find(':') != std::string::npos)) {
        *error = text + ": want tcp://host:port";
        return false;
    }
    const std::string port = rest.substr(colon + 1);
    char* end = nullptr;
    const long number = port.empty() ? 0 : std::strtol(port.c_str(), &end, 10);
    if (port.empty() || *end != '\0' || number < 1 || number > 65535) {
        *error = text + ": the port must be 1..65535";
        return false;
    }
    address->host = host;
    address->port = port;
    return true;
}

TcpLine::~TcpLine() {
    Close();
}

void TcpLine::SetError(const std::string& what, int err) {
    lastErrorText_ = name_ + ": " + what + (err != 0 ? std::string(": ") + std::strerror(err) : "");
}

bool TcpLine::Connect(const std::string& portName, int timeoutMs) {
    Close();
    name_ = portName;
    hungUp_ = false;
    TcpAddress address;
    std::string error;
    if (!ParseTcpAddress(portName, &address, &error)) {
        lastErrorText_ = error;
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int rc = ::getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found);
        rc != 0) {
        lastErrorText_ = portName + ": " + ::gai_strerror(rc);
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 1));
    int err = ETIMEDOUT;
    for (const addrinfo* ai = found; ai != nullptr && fd_ < 0; ai = ai->ai_next) {
        int fd = -1;
        if (ConnectOne(*ai, deadline, &fd, &err)) fd_ = fd;
    }
    ::freeaddrinfo(found);
    if (fd_ < 0) {
        SetError("cannot connect", err);
        return false;
    }
    lastErrorText_.clear();
    return true;
}

void TcpLine::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void TcpLine::MarkGone() {
    hungUp_ = true;
    SetError("the server closed the connection", 0);
    Close();
}

bool TcpLine::Write(const uint8_t* data, size_t length, int timeoutMs) {
    if (fd_ < 0 || (data == nullptr && length > 0)) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::send(fd_, data + done, length - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            MarkGone();
            return false;
        }
        const short revents = WaitFor(fd_, POLLOUT, deadline);
        if (revents == 0) return false;
        if ((revents & POLLOUT) == 0) {
            MarkGone();
            return false;
        }
    }
    return true;
}

bool TcpLine::Read(uint8_t* buffer, size_t capacity, size_t& count) {
    const unsigned rate = std::max(baud_, 1u);
    const int silenceMs = std::max(kMinReplySilenceMs, static_cast<int>((40000 + rate - 1) / rate));
    return ReadFor(buffer, capacity, count, silenceMs);
}

bool TcpLine::ReadFor(uint8_t* buffer, size_t capacity, size_t& count, int timeoutMs) {
    count = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    if (fd_ < 0) {
        // Same time bound as an open line with nothing arriving, so a caller
        // that reads in a loop does not spin.
        const int left = MillisecondsUntil(deadline);
        if (left > 0) ::poll(nullptr, 0, left);
        return false;
    }
    if (buffer == nullptr || capacity == 0) return false;
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, capacity, MSG_DONTWAIT);
        if (n > 0) {
            count = static_cast<size_t>(n);
            return true;
        }
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            MarkGone();
            return false;
        }
        const short revents = WaitFor(fd_, POLLIN, deadline);
        if (revents == 0) return false;
    }
}

void TcpLine::DiscardInput() {
    uint8_t scratch[256];
    while (fd_ >= 0) {
        const ssize_t n = ::recv(fd_, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n > 0) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) MarkGone();
        if (n < 0 && errno == EINTR) continue;
        return;
    }
}

}  // namespace kestrane
