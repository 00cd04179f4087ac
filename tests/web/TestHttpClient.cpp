#include "TestHttpClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace kestrane::web::testing {

namespace {

using Clock = std::chrono::steady_clock;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Decodes a chunked body from `data`; nullopt until the last chunk is in.
std::optional<std::string> Dechunk(std::string_view data) {
    std::string body;
    size_t at = 0;
    while (true) {
        const size_t lineEnd = data.find("\r\n", at);
        if (lineEnd == std::string_view::npos) return std::nullopt;
        const size_t size = std::stoul(std::string(data.substr(at, lineEnd - at)), nullptr, 16);
        at = lineEnd + 2;
        if (size == 0) return body;
        if (data.size() < at + size + 2) return std::nullopt;
        body.append(data.substr(at, size));
        at += size + 2;
    }
}

}  // namespace

TestConnection::TestConnection(uint16_t port, const char* from) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    if (from != nullptr) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &local.sin_addr);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

TestConnection::~TestConnection() {
    if (fd_ >= 0) ::close(fd_);
}

bool TestConnection::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool TestConnection::ReadSome(std::chrono::milliseconds timeout) {
    if (closed_) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    char buffer[16384];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
        closed_ = true;
        return false;
    }
    received_.append(buffer, static_cast<size_t>(n));
    return true;
}

bool TestConnection::ReadUntil(std::string_view text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (received_.find(text) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !ReadSome(left)) return received_.find(text) != std::string::npos;
    }
    return true;
}

std::string TestConnection::StreamText() const {
    const size_t headEnd = received_.find("\r\n\r\n");
    if (headEnd == std::string::npos) return "";
    std::string text;
    size_t at = headEnd + 4;
    while (true) {
        const size_t lineEnd = received_.find("\r\n", at);
        if (lineEnd == std::string::npos) break;
        const size_t size = std::stoul(received_.substr(at, lineEnd - at), nullptr, 16);
        if (size == 0 || received_.size() < lineEnd + 2 + size) {
            text.append(received_, lineEnd + 2, size);  // a partial last chunk
            break;
        }
        text.append(received_, lineEnd + 2, size);
        at = lineEnd + 2 + size + 2;
    }
    return text;
}

bool TestConnection::ReadStreamUntil(std::string_view text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (StreamText().find(text) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !ReadSome(left))
            return StreamText().find(text) != std::string::npos;
    }
    return true;
}

bool TestConnection::WaitClosed(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    // At least one look, even when the time is already up.
    while (!closed_) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const bool gotSome = ReadSome(std::max(left, 0ms));
        if (!gotSome && left.count() <= 0) break;
    }
    return closed_;
}

std::optional<RawResponse> TestConnection::ReadResponse(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    auto left = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    };
    if (!ReadUntil("\r\n\r\n", timeout)) return std::nullopt;
    const size_t headEnd = received_.find("\r\n\r\n");
    RawResponse response;
    const std::string head = received_.substr(0, headEnd);
    size_t lineStart = head.find("\r\n");
    if (head.rfind("HTTP/1.", 0) != 0 || head.size() < 12) return std::nullopt;
    response.status = std::stoi(head.substr(9, 3));
    while (lineStart != std::string::npos) {
        lineStart += 2;
        const size_t lineEnd = head.find("\r\n", lineStart);
        const std::string line = head.substr(lineStart, lineEnd - lineStart);
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            const std::string name = Lower(line.substr(0, colon));
            std::string value = line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            if (name == "set-cookie") response.setCookies.push_back(value);
            response.headers[name] = value;
        }
        lineStart = lineEnd;
    }
    const size_t bodyStart = headEnd + 4;
    if (Lower(response.Header("transfer-encoding")).find("chunked") != std::string::npos) {
        while (true) {
            if (auto body = Dechunk(std::string_view(received_).substr(bodyStart))) {
                response.body = *body;
                break;
            }
            if (left().count() <= 0 || !ReadSome(left())) return std::nullopt;
        }
    } else if (!response.Header("content-length").empty()) {
        const size_t length = std::stoul(response.Header("content-length"));
        while (received_.size() < bodyStart + length)
            if (left().count() <= 0 || !ReadSome(left())) return std::nullopt;
        response.body = received_.substr(bodyStart, length);
    } else {
        WaitClosed(left());
        response.body = received_.substr(bodyStart);
    }
    received_.clear();
    return response;
}

std::optional<RawResponse> Request(uint16_t port, const std::string& method,
                                   const std::string& path, const std::vector<std::string>& headers,
                                   const std::string& body) {
    TestConnection connection(port);
    if (!connection.Connected()) return std::nullopt;
    std::string text = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    for (const std::string& header : headers)
        text += header + "\r\n";
    if (!body.empty() || method == "POST")
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    text += "Connection: close\r\n\r\n" + body;
    if (!connection.Send(text)) return std::nullopt;
    return connection.ReadResponse();
}

}  // namespace kestrane::web::testing
