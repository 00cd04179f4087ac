#include "web/ListenAddress.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cstring>

namespace kestrane::web {

bool ParseListenAddress(const std::string& text, ListenAddress* out, std::string* error) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
        *error = "listen address must be host:port, not \"" + text + "\"";
        return false;
    }
    std::string host = text.substr(0, colon);
    const std::string port = text.substr(colon + 1);
    if (host.front() == '[') {
        if (host.size() < 3 || host.back() != ']') {
            *error = "an IPv6 listen address is written [address]:port";
            return false;
        }
        host = host.substr(1, host.size() - 2);
    }
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(port) > 65535) {
        *error = "listen port must be 0..65535, not \"" + port + "\"";
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (status != 0 || found == nullptr) {
        *error = "cannot resolve listen host \"" + host + "\": " + ::gai_strerror(status);
        return false;
    }
    std::memcpy(&out->address, found->ai_addr, found->ai_addrlen);
    out->length = found->ai_addrlen;
    out->ipv6 = found->ai_family == AF_INET6;
    ::freeaddrinfo(found);
    return true;
}

std::string FormatAddress(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(in6->sin6_port));
    }
    const auto* in4 = reinterpret_cast<const sockaddr_in*>(address);
    ::inet_ntop(AF_INET, &in4->sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(in4->sin_port));
}

}  // namespace kestrane::web
