// "host:port" as the [web] listen key and WebServerOptions give it:
// "0.0.0.0:8080", "127.0.0.1:0", "[::]:8080", "localhost:8080".
#pragma once

#include <sys/socket.h>

#include <string>

namespace kestrane::web {

struct ListenAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
    bool ipv6 = false;
};

// Resolves the host (numeric or a name) to its first address; false with the
// reason in `error`.
bool ParseListenAddress(const std::string& text, ListenAddress* out, std::string* error);

// "127.0.0.1:8080" or "[::1]:8080" for the log.
std::string FormatAddress(const sockaddr* address);

}  // namespace kestrane::web
