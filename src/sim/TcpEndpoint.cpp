#include "sim/TcpEndpoint.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <linux/sockios.h>

namespace kestrane::sim {

namespace {

std::string Reason(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

bool TcpEndpoint::Open(std::string* error) {
    Close();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    if (inet_pton(AF_INET, host_.c_str(), &address.sin_addr) != 1) {
        *error = "--tcp-listen: " + host_ + " is not an IPv4 address";
        return false;
    }
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener_ < 0) {
        *error = Reason("socket");
        return false;
    }
    // A simulator started again on the same port must not wait for the
    // previous one's connections to time out.
    const int one = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 4) != 0) {
        *error = Reason("--tcp-listen " + host_ + ":" + std::to_string(port_));
        Close();
        return false;
    }
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    return true;
}

void TcpEndpoint::DropClient() {
    if (client_ >= 0) close(client_);
    client_ = -1;
}

void TcpEndpoint::Close() {
    DropClient();
    if (listener_ >= 0) close(listener_);
    listener_ = -1;
}

std::string TcpEndpoint::DevicePath() const {
    return "tcp://" + host_ + ":" + std::to_string(port_);
}

long TcpEndpoint::Read(uint8_t* buffer, size_t capacity) {
    if (listener_ < 0) return -1;
    if (client_ < 0) {
        client_ = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client_ >= 0) {
            const int one = 1;
            setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        }
        return 0;
    }
    const ssize_t n = recv(client_, buffer, capacity, MSG_DONTWAIT);
    if (n > 0) return n;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    DropClient();  // gone: listen for the next one
    return 0;
}

bool TcpEndpoint::Write(const uint8_t* data, size_t length, int timeoutMs) {
    size_t done = 0;
    while (done < length && client_ >= 0) {
        const ssize_t n = send(client_, data + done, length - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
        pollfd p{client_, POLLOUT, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return false;
    }
    return done == length;
}

int TcpEndpoint::PendingForClient() const {
    int pending = 0;
    if (client_ < 0 || ioctl(client_, SIOCOUTQ, &pending) != 0) return 0;
    return pending;
}

}  // namespace kestrane::sim
